#include "polling/core/work_file_reader.h"

#include <algorithm>

namespace tallivo {

WorkFileReader::WorkFileReader(const std::string& path) : WorkFileReader(path, kDefaultBufferSize) {}

WorkFileReader::WorkFileReader(const std::string& path, std::size_t bufferSize)
    // A hand-over file: never read through a link planted under its name.
    : file_(path, Links::Refuse),
      buffer_(new char[bufferSize == 0 ? 1 : bufferSize]),
      bufferSize_(bufferSize == 0 ? 1 : bufferSize) {}

WorkFileReader::~WorkFileReader() = default;

bool WorkFileReader::isOpen() const {
    return file_.isOpen();
}

bool WorkFileReader::refill() {
    if (!file_.isOpen() || endOfFile_) return false;
    position_ = 0;
    end_ = file_.read(buffer_.get(), bufferSize_);
    // A read error ends the file like its end does: the lines so far are all there is.
    if (end_ == 0) endOfFile_ = true;
    return end_ != 0;
}

bool WorkFileReader::nextLine(std::string& line) {
    line.clear();
    bool readSomething = false;
    for (;;) {
        if (position_ == end_ && !refill()) return readSomething;
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
        line.append(begin, lineEnd);
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
