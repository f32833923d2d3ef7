#pragma once

#include <filesystem>

namespace tallivo {

enum class OutputPathCheck {
    Usable,       // created (or already there), or failed for a reason the user need not hear
    InvalidPath,  // the folder or the name cannot be found
};

// Whether a file of this name can be created. A new name is created and deleted again;
// an existing file is left untouched, so the check never empties or removes it.
// Failures other than a missing folder or name (access denied, a folder of that name) count
// as usable, because the output may still be written when the conversion runs.
OutputPathCheck CheckOutputPath(const std::filesystem::path& name);

}  // namespace tallivo
