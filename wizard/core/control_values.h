#pragma once

#include <array>
#include <string>
#include <string_view>

#include "common/settings.h"

namespace tallivo {

// The fixed lists' texts in list order; what a list shows is what gets saved.
inline constexpr std::array<std::string_view, 4> kBaudRateItems{"2400", "4800", "9600", "19200"};
inline constexpr std::array<std::string_view, 4> kEndOfFileMessageItems{"NONE", "<EOF>", "<ETX>", "<EOT>"};

// Which option of a group a value selects; Nothing leaves the group as it stands.
enum class FramingChoice { Nothing, None, Character, String };
enum class PolicyChoice { Nothing, Check, Overwrite, Append };
enum class SideChoice { Nothing, Left, Right };

// Keep: the list keeps the entry it shows (a text the list does not hold).
inline constexpr int kKeepItem = -1;

struct FramingControls {
    FramingChoice choice = FramingChoice::Nothing;
    int listItem = 0;  // Character: the entry shown
    std::string text;  // String: the text box's text
};

// A configuration as the wizard's controls show it: list entries by index (a character
// list's entry is its code + 1, "NONE" entry 0; a length list's entry is the length,
// "VARIABLE" entry 0), options by choice.
struct ControlValues {
    std::string fileName;
    std::string folder;
    int hideDateTime = 0;  // the check box: 0 cleared, 1 ticked, 2 greyed
    FramingControls fileHeader;
    FramingControls fileTerminator;
    std::array<int, 5> separatorItems{};  // record header, barcode, quantity, date, record terminator
    bool endOfFileMessageOn = false;
    int endOfFileMessageItem = 0;
    int comPortItem = 0;
    int baudRateItem = kKeepItem;
    PolicyChoice existingFilePolicy = PolicyChoice::Nothing;
    bool deleteMemoryOnExit = false;
    bool barcodeFixedLength = false;
    bool quantityFixedLength = false;
    // Shown only with their fixed length on.
    int barcodeLengthItem = 0;
    int barcodeFillerItem = 0;
    int quantityLengthItem = 0;
    int quantityFillerItem = 0;
    SideChoice barcodeSide = SideChoice::Nothing;
    SideChoice quantitySide = SideChoice::Nothing;
};

// How much of a configuration the controls can show. Loading puts values in from the
// first on and stops at one no control can show; only the first step (the names and the
// date and time box) outlasts the "Reset Default" that follows, so only it is told apart.
enum class LoadReach {
    Nothing,    // the date and time value itself is unusable
    FirstStep,  // a later value is: the file counts as corrupted
    Everything,
};

struct LoadedControls {
    LoadReach reach = LoadReach::Nothing;
    ControlValues values;  // complete only when reach is Everything
};

// Character codes and lengths are read as polling reads them (" 9", "9.0", "+9" are 9): a
// file counts as corrupted for a value without a number, a code outside 0-255 or a value
// no list holds, never for a way of writing a number that polling takes.
LoadedControls ControlValuesFor(const Settings& settings);

}  // namespace tallivo
