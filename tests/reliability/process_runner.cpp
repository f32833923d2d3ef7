#include "process_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <thread>

extern char** environ;

namespace tallivo::testing {

ChildProcess::ChildProcess(const std::string& program, const ChildSetup& setup) {
    // Everything the child needs is built before fork: after it only async-signal-safe calls.
    std::vector<std::string> argumentText{program};
    argumentText.insert(argumentText.end(), setup.arguments.begin(), setup.arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argumentText) argv.push_back(text.data());
    argv.push_back(nullptr);

    std::vector<std::string> environmentText;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        bool replaced = false;
        for (const auto& [name, value] : setup.environment)
            replaced = replaced || text.rfind(name + "=", 0) == 0;
        if (!replaced) environmentText.push_back(text);
    }
    for (const auto& [name, value] : setup.environment) environmentText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : environmentText) envp.push_back(text.data());
    envp.push_back(nullptr);

    const std::string folder = setup.workingDirectory.string();
    const bool limited = setup.fileSizeLimit.has_value();
    const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit.value_or(0)),
                       static_cast<rlim_t>(setup.fileSizeLimit.value_or(0))};

    int pipeEnds[2] = {-1, -1};
    if (setup.captureOutput && pipe(pipeEnds) != 0) return;

    pid_ = fork();
    if (pid_ == 0) {
        if (setup.captureOutput) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
        }
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
        if (limited) {
            std::signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (setup.captureOutput) {
        close(pipeEnds[1]);
        outputPipe_ = pipeEnds[0];
        fcntl(outputPipe_, F_SETFL, fcntl(outputPipe_, F_GETFL) | O_NONBLOCK);
    }
}

void ChildProcess::drainOutput() {
    if (outputPipe_ < 0) return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(outputPipe_, buffer, sizeof buffer);
        if (n > 0) {
            output_.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {  // the child and everything it started have closed it
            close(outputPipe_);
            outputPipe_ = -1;
        }
        return;
    }
}

ChildProcess::~ChildProcess() {
    if (started() && !reaped_) killNow();
    if (outputPipe_ >= 0) close(outputPipe_);
}

bool ChildProcess::reap(bool block) {
    if (reaped_ || !started()) return true;
    const pid_t result = waitpid(pid_, &status_, block ? 0 : WNOHANG);
    if (result == pid_) reaped_ = true;
    return reaped_;
}

bool ChildProcess::started() const {
    return pid_ > 0;
}

bool ChildProcess::running() {
    return started() && !reap(false);
}

void ChildProcess::killNow() {
    if (!started() || reaped_) return;
    ::kill(pid_, SIGKILL);
    reap(true);
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reap(false)) {
        drainOutput();
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    drainOutput();
    if (!WIFEXITED(status_)) return std::nullopt;
    return WEXITSTATUS(status_);
}

}  // namespace tallivo::testing
