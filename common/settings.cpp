#include "common/settings.h"

namespace tallivo {

Settings WizardDefaults() {
    return Settings{
        .OutputFileName = "OUTPUT.TXT",
        .FileHeaderMode = "0",
        .FileHeaderValue = "",
        .RecordHeaderChar = "NONE",
        .BarcodeSeparator = "124",
        .QuantitySeparator = "124",
        .DateSeparator = "124",
        .RecordTerminator = "124",
        .FileTerminatorMode = "0",
        .FileTerminatorValue = "",
        .EndOfFileMessageOn = "1",
        .EndOfFileMessage = "<EOT>",
        .ComPort = "Com-1",
        .BaudRate = "9600",
        .ExistingFilePolicy = "0",
        .DeleteMemoryOnExit = "1",
        .BarcodeFixedLength = "0",
        .QuantityFixedLength = "0",
        .BarcodeLength = "VARIABLE",
        .BarcodeFiller = "NONE",
        .QuantityLength = "VARIABLE",
        .QuantityFiller = "NONE",
        .BarcodeJustify = "N",
        .QuantityJustify = "N",
        .SplashScreen = "0",
        .HideDateTime = "0",
        // The form's value; saving turns an empty folder into "\".
        .OutputFolder = "",
    };
}

Settings PollingDefaults() {
    Settings settings = WizardDefaults();
    settings.OutputFileName = "OUTPUT.POL";
    settings.ExistingFilePolicy = "1";
    settings.SplashScreen = "1";
    // Polling never sets these two: an empty folder means no folder is joined.
    settings.HideDateTime.clear();
    settings.OutputFolder.clear();
    return settings;
}

}  // namespace tallivo
