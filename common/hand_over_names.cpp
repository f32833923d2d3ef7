#include "common/hand_over_names.h"

#include <algorithm>
#include <string_view>

#include "common/run_paths.h"

namespace tallivo {

namespace {

#ifdef _WIN32
constexpr bool kIgnoresCase = true;
#else
constexpr bool kIgnoresCase = false;
#endif

// ASCII only: the hand-over names are ASCII, and a byte of another code page is never one of
// their letters.
char Folded(char c) {
    return kIgnoresCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view first, std::string_view second) {
    return first.size() == second.size() && std::equal(first.begin(), first.end(), second.begin(),
                                                       [](char a, char b) { return Folded(a) == Folded(b); });
}

// The name as the system resolves it.
std::string_view ResolvedName(std::string_view path) {
    std::string_view name =
        path.substr(std::min(path.size(), path.find_last_of(kIgnoresCase ? "\\/" : "/") + 1));
#ifdef _WIN32
    // "C:~1~" is "~1~" in drive C's current folder; "~1~:stream" and "~1~::$DATA" are in the file "~1~".
    if (name.size() >= 2 && name[1] == ':' && name.size() == path.size()) name.remove_prefix(2);
    name = name.substr(0, name.find(':'));
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
#endif
    return name;
}

}  // namespace

bool IsHandOverName(const std::string& outputFileName) {
    const std::string_view name = ResolvedName(outputFileName);
    const std::string journalNew = std::string(kJournalFileName) + kJournalNewSuffix;
    for (const std::string_view handOver :
         {std::string_view(kMarkerFileName), std::string_view(kDataFileName), std::string_view(kWorkFileName),
          std::string_view(kJournalFileName), std::string_view(journalNew)}) {
        if (SameText(name, handOver)) return true;
    }
    const std::string_view prefix = kWorkbookFolderPrefix;
    return name.size() >= prefix.size() && SameText(name.substr(0, prefix.size()), prefix);
}

bool SameFileName(const std::string& first, const std::string& second) {
    return SameText(first, second);
}

}  // namespace tallivo
