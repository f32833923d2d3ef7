#pragma once

#include <string>
#include <string_view>

#include "polling/core/output_writer.h"

namespace tallivo {

enum class OpenMode {
    Create,     // create, or empty an existing file
    Append,     // create when missing, write at the end
    CreateNew,  // create; fails, leaving it alone, when something stands under the name
};

// Opens `path`, writes all of `bytes` and closes it again, checking every step: a record
// counts as written only when the close succeeded too.
WriteStatus WriteBytes(const std::string& path, std::string_view bytes, OpenMode mode);

}  // namespace tallivo
