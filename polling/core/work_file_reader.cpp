#include "polling/core/work_file_reader.h"

#include <algorithm>

namespace tallivo {

WorkFileReader::WorkFileReader(const std::string& path) : WorkFileReader(path, kDefaultBufferSize) {}

WorkFileReader::WorkFileReader(const std::string& path, std::size_t bufferSize, std::size_t longestLine)
    // A hand-over file: never read through a link planted under its name.
    : file_(path, Links::Refuse),
      buffer_(new char[bufferSize == 0 ? 1 : bufferSize]),
      bufferSize_(bufferSize == 0 ? 1 : bufferSize),
      longestLine_(longestLine) {}

WorkFileReader::~WorkFileReader() = default;

bool WorkFileReader::isOpen() const {
    return file_.isOpen();
}

bool WorkFileReader::refill() {
    if (!file_.isOpen() || endOfFile_) return false;
    position_ = 0;
    end_ = file_.read(buffer_.get(), bufferSize_);
    if (end_ == 0) {
        endOfFile_ = true;
        readFailed_ = file_.failed();
    }
    return end_ != 0;
}

bool WorkFileReader::nextLine(std::string& line) {
    line.clear();
    lineCut_ = false;
    bool readSomething = false;
    for (;;) {
        if (position_ == end_ && !refill()) return readSomething && !readFailed_;
        if (skipLineFeed_) {
            skipLineFeed_ = false;
            if (buffer_[position_] == '\n') {
                ++position_;
                continue;
            }
        }
        const char* begin = buffer_.get() + position_;
        const char* stop = buffer_.get() + end_;
        const char* lineEnd = std::find_if(begin, stop, [](char c) { return c == '\n' || c == '\r'; });
        const std::size_t room = longestLine_ - std::min(line.size(), longestLine_);
        const std::size_t found = static_cast<std::size_t>(lineEnd - begin);
        line.append(begin, std::min(found, room));
        if (found > room) lineCut_ = true;
        readSomething = true;
        position_ = static_cast<std::size_t>(lineEnd - buffer_.get());
        if (lineEnd != stop) {
            skipLineFeed_ = *lineEnd == '\r';
            ++position_;
            return true;
        }
    }
}

}  // namespace tallivo
