#pragma once

#include <cstdio>
#include <string>

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

private:
    std::FILE* file_ = nullptr;
};

}  // namespace tallivo
