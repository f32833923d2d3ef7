// The ANSI code page, through the system's own tables: the names reach only W calls, so a
// Cyrillic folder on a Cyrillic Windows is the folder the user typed.
#include <windows.h>

#include "common/code_page.h"

namespace tallivo {

namespace {

constexpr std::size_t kPlainNameLimit = MAX_PATH - 1;

std::wstring Wide(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

// Nothing when a character has no byte. UTF-8 as the ANSI code page takes no such check.
std::optional<std::string> Narrow(std::wstring_view wide, bool exact) {
    if (wide.empty()) return std::string();
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = exact && !utf8 ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* const check = exact && !utf8 ? &usedDefault : nullptr;
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, check);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, bytes.data(), length, nullptr, check);
    if (usedDefault) return std::nullopt;
    return bytes;
}

bool IsLongForm(const std::wstring& name) {
    return name.rfind(LR"(\\?\)", 0) == 0;
}

}  // namespace

std::u16string TextFromBytes(std::string_view bytes) {
    const std::wstring wide = Wide(bytes);
    return std::u16string(wide.begin(), wide.end());
}

std::optional<std::string> BytesFromText(std::u16string_view text) {
    return Narrow(std::wstring(text.begin(), text.end()), true);
}

std::filesystem::path PathFromBytes(std::string_view bytes) {
    std::wstring name = Wide(bytes);
    if (name.size() <= kPlainNameLimit || IsLongForm(name)) return std::filesystem::path(name);
    const DWORD length = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (length == 0) return std::filesystem::path(name);
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(name.c_str(), length, full.data(), nullptr));
    // "\\server\share\..." becomes "\\?\UNC\server\share\...".
    if (full.rfind(LR"(\\)", 0) == 0) return std::filesystem::path(LR"(\\?\UNC\)" + full.substr(2));
    return std::filesystem::path(LR"(\\?\)" + full);
}

std::string BytesFromPath(const std::filesystem::path& path) {
    return Narrow(path.native(), false).value_or(std::string());
}

std::string CodePageName() {
    return std::to_string(GetACP());
}

}  // namespace tallivo
