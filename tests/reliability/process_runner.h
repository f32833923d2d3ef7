#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tallivo::testing {

struct ChildSetup {
    std::filesystem::path workingDirectory;
    std::vector<std::string> arguments;                            // after the program name
    std::vector<std::pair<std::string, std::string>> environment;  // added to or replacing ours
    // RLIMIT_FSIZE for the child, with SIGXFSZ ignored so a write past it fails with EFBIG.
    std::optional<std::uint64_t> fileSizeLimit;
    // Standard output through a pipe (which no file size limit touches), read by output().
    bool captureOutput = false;
};

// A program started with fork and exec: the only way to give it a resource limit or kill
// it with SIGKILL at a chosen moment. Killed and reaped on destruction if still running.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const ChildSetup& setup);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    bool running();
    void killNow();  // SIGKILL and reap
    // The exit code; nothing when it has not ended in time or died of a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    const std::string& output() const { return output_; }

  private:
    bool reap(bool block);
    void drainOutput();

    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    int outputPipe_ = -1;
    std::string output_;
};

}  // namespace tallivo::testing
