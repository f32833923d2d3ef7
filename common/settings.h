#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tallivo {

// The 27 values of the configuration file, in file order. Every value is held as the
// raw bytes of its text, numbers included, exactly as stored.
struct Settings {
    std::string OutputFileName;
    std::string FileHeaderMode;
    std::string FileHeaderValue;
    std::string RecordHeaderChar;
    std::string BarcodeSeparator;
    std::string QuantitySeparator;
    std::string DateSeparator;
    std::string RecordTerminator;
    std::string FileTerminatorMode;
    std::string FileTerminatorValue;
    std::string EndOfFileMessageOn;
    std::string EndOfFileMessage;
    std::string ComPort;
    std::string BaudRate;
    std::string ExistingFilePolicy;
    std::string DeleteMemoryOnExit;
    std::string BarcodeFixedLength;
    std::string QuantityFixedLength;
    std::string BarcodeLength;
    std::string BarcodeFiller;
    std::string QuantityLength;
    std::string QuantityFiller;
    std::string BarcodeJustify;
    std::string QuantityJustify;
    std::string SplashScreen;
    std::string HideDateTime;
    std::string OutputFolder;

    bool operator==(const Settings&) const = default;
};

inline constexpr std::size_t kSettingCount = 27;

struct SettingField {
    std::string_view name;
    std::string Settings::*member;
};

// File order; the reader and writer walk this table so they cannot disagree on it.
inline constexpr std::array<SettingField, kSettingCount> kSettingFields{{
    {"OutputFileName", &Settings::OutputFileName},
    {"FileHeaderMode", &Settings::FileHeaderMode},
    {"FileHeaderValue", &Settings::FileHeaderValue},
    {"RecordHeaderChar", &Settings::RecordHeaderChar},
    {"BarcodeSeparator", &Settings::BarcodeSeparator},
    {"QuantitySeparator", &Settings::QuantitySeparator},
    {"DateSeparator", &Settings::DateSeparator},
    {"RecordTerminator", &Settings::RecordTerminator},
    {"FileTerminatorMode", &Settings::FileTerminatorMode},
    {"FileTerminatorValue", &Settings::FileTerminatorValue},
    {"EndOfFileMessageOn", &Settings::EndOfFileMessageOn},
    {"EndOfFileMessage", &Settings::EndOfFileMessage},
    {"ComPort", &Settings::ComPort},
    {"BaudRate", &Settings::BaudRate},
    {"ExistingFilePolicy", &Settings::ExistingFilePolicy},
    {"DeleteMemoryOnExit", &Settings::DeleteMemoryOnExit},
    {"BarcodeFixedLength", &Settings::BarcodeFixedLength},
    {"QuantityFixedLength", &Settings::QuantityFixedLength},
    {"BarcodeLength", &Settings::BarcodeLength},
    {"BarcodeFiller", &Settings::BarcodeFiller},
    {"QuantityLength", &Settings::QuantityLength},
    {"QuantityFiller", &Settings::QuantityFiller},
    {"BarcodeJustify", &Settings::BarcodeJustify},
    {"QuantityJustify", &Settings::QuantityJustify},
    {"SplashScreen", &Settings::SplashScreen},
    {"HideDateTime", &Settings::HideDateTime},
    {"OutputFolder", &Settings::OutputFolder},
}};

// The wizard's start-up and "Reset Default" values (OutputFolder empty, written as "\").
Settings WizardDefaults();
// What polling runs on when no configuration place can be read.
Settings PollingDefaults();

}  // namespace tallivo
