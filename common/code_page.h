#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tallivo {

// The configuration, the data and the output are bytes of the system's single-byte code page:
// the ANSI code page on Windows, Latin-1 elsewhere. This is the only place they become text or
// names and back.

std::u16string TextFromBytes(std::string_view bytes);

// Nothing when a character has no byte in the code page: it would be stored as "?" unseen.
std::optional<std::string> BytesFromText(std::u16string_view text);

// The name the system's file calls take. On Windows a name too long for the plain form gets
// the "\\?\" form, so a set-aside or stamped name longer than its delivery still opens.
std::filesystem::path PathFromBytes(std::string_view bytes);

// A name the system gave (the current folder) as the bytes a message or a path is made of; a
// character with no byte becomes "?".
std::string BytesFromPath(const std::filesystem::path& path);

// The code page as a message names it: its number on Windows ("1252"), "Latin-1" elsewhere.
std::string CodePageName();

}  // namespace tallivo
