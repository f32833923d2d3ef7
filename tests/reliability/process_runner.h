#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

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
    // Windows has no such limit: a child asked for one is not started there.
    std::optional<std::uint64_t> fileSizeLimit;
    // Standard output through a pipe (which no file size limit touches), read by output().
    bool captureOutput = false;
};

// A program started with fork and exec (CreateProcess on Windows), so that it can be given a
// resource limit or killed outright (SIGKILL, TerminateProcess) at a chosen moment. Killed
// and reaped on destruction if still running.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const ChildSetup& setup);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    bool running();
    void killNow();  // SIGKILL or TerminateProcess, and reap
    // The exit code; nothing when it has not ended in time or died of a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    const std::string& output() const { return output_; }

  private:
    bool reap(bool block);
    void drainOutput();

#ifdef _WIN32
    static constexpr unsigned kKilledStatus = 137;
    void* process_ = nullptr;     // HANDLE
    void* outputPipe_ = nullptr;  // HANDLE, read end
    bool killed_ = false;
#else
    pid_t pid_ = -1;
    int outputPipe_ = -1;
#endif
    bool reaped_ = false;
    int status_ = 0;
    std::string output_;
};

}  // namespace tallivo::testing
