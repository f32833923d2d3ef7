#include "common/config_places.h"

#include <cstdlib>
#include <string>

#include "common/config_file.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace tallivo {

namespace {

#ifndef _WIN32
// The user's configuration folder as the XDG base directory rules give it: a relative
// $XDG_CONFIG_HOME is to be ignored, and $HOME may be unset for a service account.
std::optional<std::filesystem::path> UserConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg);
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0') return std::nullopt;
    return std::filesystem::path(home) / ".config";
}
#endif

}  // namespace

std::vector<std::filesystem::path> DefaultConfigPlaces() {
#ifdef _WIN32
    return {kConfigFileName, "C:\\orvwizard.cfg", "C:\\windows\\orvwizard.cfg",
            "C:\\windows\\system\\orvwizard.cfg"};
#else
    std::vector<std::filesystem::path> places{kConfigFileName};
    if (const auto folder = UserConfigFolder()) places.push_back(*folder / "tallivo" / kConfigFileName);
    places.push_back(std::filesystem::path("/etc/xdg/tallivo") / kConfigFileName);
    places.push_back(std::filesystem::path("/etc/tallivo") / kConfigFileName);
    return places;
#endif
}

PlacedSettings ReadFirstReadablePlace(const std::vector<std::filesystem::path>& places) {
    for (const std::filesystem::path& place : places) {
        if (std::optional<Settings> settings = ReadConfigurationFile(place)) {
            return {std::move(*settings), place};
        }
    }
    return {PollingDefaults(), std::nullopt};
}

}  // namespace tallivo
