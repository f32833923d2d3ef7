#pragma once

#include <filesystem>

namespace tallivo {

enum class OutputPathCheck {
    Usable,       // created and removed again, or an existing file
    InvalidPath,  // cannot be created (missing folder, access denied, refused name) or a folder
};

// Whether a file of this name can be created. A new name is created and deleted again;
// an existing file is left untouched, so the check never empties or removes it (whether it
// may be written shows when the conversion runs).
OutputPathCheck CheckOutputPath(const std::filesystem::path& name);

}  // namespace tallivo
