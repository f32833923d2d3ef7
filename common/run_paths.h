#pragma once

#include <string>

#include "common/settings.h"

namespace tallivo {

inline constexpr const char* kMarkerFileName = "~1~";
inline constexpr const char* kDataFileName = "~dati.txt";
inline constexpr const char* kWorkFileName = "~~dati.txt";
inline constexpr const char* kJournalFileName = "~~dati.journal";
// The journal is written under this name first and then renamed over the old one.
inline constexpr const char* kJournalNewSuffix = ".new";
// A workbook is made in a folder of its own, this prefix and a random part, beside the output.
inline constexpr const char* kWorkbookFolderPrefix = "~~workbook-";

// Byte strings, joined with the platform's separator.
struct RunPaths {
    std::string OutputPath;
    std::string MarkerPath;
    std::string DataPath;
    std::string WorkPath;
    bool operator==(const RunPaths&) const = default;
};

// OutputFolder exactly "\" means no folder: the four names are bare (current folder).
// An empty OutputFolder (only a hand-edited file has one) is taken the same way, never as
// the root folder. Otherwise one separator is added unless the folder already ends in one
// ("\" or "/" on Windows, "/" elsewhere).
RunPaths MakeRunPaths(const Settings& settings);

// The file name after the last separator the platform knows (on Windows also a drive's
// colon), as bytes: a name in another code page than Latin-1 is never taken apart as text.
std::string FileNamePart(const std::string& path);

// True when the folder check is to be made and fails: OutputFolder is neither "\" nor
// empty and does not name an existing folder.
bool OutputFolderMissing(const Settings& settings);

}  // namespace tallivo
