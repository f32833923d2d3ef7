#include "common/settings.h"

namespace tallivo {

Settings WizardDefaults() {
    Settings s;
    s.OutputFileName = "OUTPUT.TXT";
    s.FileHeaderMode = "0";
    s.FileHeaderValue = "";
    s.RecordHeaderChar = "NONE";
    s.BarcodeSeparator = "124";
    s.QuantitySeparator = "124";
    s.DateSeparator = "124";
    s.RecordTerminator = "124";
    s.FileTerminatorMode = "0";
    s.FileTerminatorValue = "";
    s.EndOfFileMessageOn = "1";
    s.EndOfFileMessage = "<EOT>";
    s.ComPort = "Com-1";
    s.BaudRate = "9600";
    s.ExistingFilePolicy = "0";
    s.DeleteMemoryOnExit = "1";
    s.BarcodeFixedLength = "0";
    s.QuantityFixedLength = "0";
    s.BarcodeLength = "VARIABLE";
    s.BarcodeFiller = "NONE";
    s.QuantityLength = "VARIABLE";
    s.QuantityFiller = "NONE";
    s.BarcodeJustify = "N";
    s.QuantityJustify = "N";
    s.SplashScreen = "0";
    s.HideDateTime = "0";
    // The form's value; saving turns an empty folder into "\".
    s.OutputFolder = "";
    return s;
}

Settings PollingDefaults() {
    Settings s = WizardDefaults();
    s.OutputFileName = "OUTPUT.POL";
    s.ExistingFilePolicy = "1";
    s.SplashScreen = "1";
    // Polling never sets these two: an empty folder means no folder is joined.
    s.HideDateTime = "";
    s.OutputFolder = "";
    return s;
}

}  // namespace tallivo
