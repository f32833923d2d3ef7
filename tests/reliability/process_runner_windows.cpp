#include <windows.h>

#include <thread>

#include "process_runner.h"

namespace tallivo::testing {
namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// One argument as the C runtime of the child splits it again: quotes, and backslashes
// doubled only where they stand before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

// Our environment with the setup's variables added or replaced, as CreateProcessW takes it.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        bool replaced = false;
        for (const auto& [name, value] : changes)
            replaced = replaced || _wcsnicmp(text.c_str(), Wide(name + "=").c_str(), name.size() + 1) == 0;
        if (!replaced) block.append(text).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : changes) block.append(Wide(name + "=" + value)).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const ChildSetup& setup) {
    if (setup.fileSizeLimit) return;

    std::wstring commandLine;
    AppendQuoted(commandLine, Wide(program));
    for (const std::string& argument : setup.arguments) AppendQuoted(commandLine, Wide(argument));
    std::wstring environment = EnvironmentBlock(setup.environment);
    const std::wstring folder = setup.workingDirectory.wstring();

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE writeEnd = nullptr;
    if (setup.captureOutput) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE readEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        outputPipe_ = readEnd;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, setup.captureOutput ? TRUE : FALSE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(),
                       folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
    }
    // Only the child holds the write end now, so reading sees the end when the child ends.
    if (writeEnd != nullptr) CloseHandle(writeEnd);
}

void ChildProcess::drainOutput() {
    if (outputPipe_ == nullptr) return;
    char buffer[4096];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(outputPipe_, nullptr, 0, nullptr, &available,
                           nullptr)) {  // broken: the child ended
            CloseHandle(outputPipe_);
            outputPipe_ = nullptr;
            return;
        }
        if (available == 0) return;
        DWORD read = 0;
        if (!ReadFile(outputPipe_, buffer, sizeof buffer, &read, nullptr) || read == 0) return;
        output_.append(buffer, read);
    }
}

ChildProcess::~ChildProcess() {
    if (started() && !reaped_) killNow();
    if (process_ != nullptr) CloseHandle(process_);
    if (outputPipe_ != nullptr) CloseHandle(outputPipe_);
}

bool ChildProcess::started() const {
    return process_ != nullptr;
}

bool ChildProcess::reap(bool block) {
    if (reaped_ || !started()) return true;
    if (WaitForSingleObject(process_, block ? INFINITE : 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    status_ = static_cast<int>(code);
    reaped_ = true;
    return true;
}

bool ChildProcess::running() {
    return started() && !reap(false);
}

void ChildProcess::killNow() {
    if (!started() || reaped_) return;
    // As abrupt as SIGKILL: no handler of the child runs, open files are closed by the system.
    TerminateProcess(process_, kKilledStatus);
    reap(true);
    killed_ = true;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reap(false)) {
        drainOutput();
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    drainOutput();
    if (killed_) return std::nullopt;
    return status_;
}

}  // namespace tallivo::testing
