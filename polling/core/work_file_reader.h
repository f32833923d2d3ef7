#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "polling/core/disk.h"

namespace tallivo {

// No terminal delivers a line anywhere near this long (a record's fields are short); a longer
// one is a damaged delivery, such as a broken transfer with no line end at all. Held whole it
// would take memory without bound.
inline constexpr std::size_t kLongestLine = 1 << 20;

// Streams the lines of the work file as bytes. CR LF, a lone LF and a lone CR each end a
// line; a last line without a line end is still a line; any byte, NUL included, passes
// through. Memory grows neither with the file nor with its lines: a line longer than
// kLongestLine comes cut to that length, and lineCut() tells.
class WorkFileReader {
  public:
    explicit WorkFileReader(const std::string& path);
    ~WorkFileReader();
    WorkFileReader(const WorkFileReader&) = delete;
    WorkFileReader& operator=(const WorkFileReader&) = delete;

    bool isOpen() const;
    // The next line without its line end; false at the end of the file, and after a read
    // error (readFailed()), which never hands out the part of a line read before it.
    bool nextLine(std::string& line);
    // The last line was longer than kLongestLine; the rest of it was passed over.
    bool lineCut() const { return lineCut_; }
    // A read failed (a network share that dropped, a lock, a bad sector): the lines so far
    // are not all there is.
    bool readFailed() const { return readFailed_; }

    // Bytes read from the file per refill, and the longest line; tests use small ones to reach
    // their edges.
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;
    WorkFileReader(const std::string& path, std::size_t bufferSize, std::size_t longestLine = kLongestLine);

  private:
    bool refill();

    DiskReader file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferSize_ = 0;
    std::size_t longestLine_ = kLongestLine;
    bool lineCut_ = false;
    bool readFailed_ = false;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool endOfFile_ = false;
    // The last line ended in CR: an LF coming next belongs to that line end.
    bool skipLineFeed_ = false;
};

}  // namespace tallivo
