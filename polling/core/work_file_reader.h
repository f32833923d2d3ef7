#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "polling/core/disk.h"

namespace tallivo {

// Streams the lines of the work file as bytes. CR LF, a lone LF and a lone CR each end a
// line; a last line without a line end is still a line; any byte, NUL included, passes
// through. Memory does not grow with the file.
class WorkFileReader {
  public:
    explicit WorkFileReader(const std::string& path);
    ~WorkFileReader();
    WorkFileReader(const WorkFileReader&) = delete;
    WorkFileReader& operator=(const WorkFileReader&) = delete;

    bool isOpen() const;
    // The next line without its line end; false at the end of the file.
    bool nextLine(std::string& line);

    // Bytes read from the file per refill; tests use a small one to reach its edges.
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;
    WorkFileReader(const std::string& path, std::size_t bufferSize);

  private:
    bool refill();

    DiskReader file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferSize_ = 0;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool endOfFile_ = false;
    // The last line ended in CR: an LF coming next belongs to that line end.
    bool skipLineFeed_ = false;
};

}  // namespace tallivo
