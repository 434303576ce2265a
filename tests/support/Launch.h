// Starting a program from a test, the one way every test does it. Under load Wine's
// CreateProcess now and then fails with ERROR_INTERNAL_ERROR while it is still setting the new
// process up, before any of the program's code runs: only such a start is tried again. Every
// retry, and every rescue a test needs to end a stuck program (a second release for a move
// loop, a box answered again, a kill), is counted for the whole process and shown: the process
// prints `test-tally: retries=N rescues=M` once at its end, and a healthy run has 0 and 0.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include <windows.h>

namespace testsupport {

class Tally {
public:
    ~Tally()
    {
        std::printf("test-tally: retries=%d rescues=%d\n", retries_, rescues_);
        std::fflush(stdout);
    }
    void Retry(const std::string& what)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++retries_;
        std::printf("[tally] retry %d: %s\n", retries_, what.c_str());
        std::fflush(stdout);
    }
    void Rescue(const std::string& what)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++rescues_;
        std::printf("[tally] rescue %d: %s\n", rescues_, what.c_str());
        std::fflush(stdout);
    }
    int Retries() const { return retries_; }
    int Rescues() const { return rescues_; }

private:
    std::mutex mutex_;
    int retries_ = 0;
    int rescues_ = 0;
};

// Made at the first start or rescue, so only a test process that starts programs prints its line.
inline Tally& TheTally()
{
    static Tally tally;
    return tally;
}

inline std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

inline std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

struct StartOptions {
    std::string exe;          // empty: the first word of the command line names it
    std::string commandLine;  // empty: the quoted exe
    std::string dir;          // empty: the test's own
    bool inheritHandles = false;
    DWORD flags = 0;
    HANDLE stdIn = nullptr;  // with any of the three set, the child gets exactly these
    HANDLE stdOut = nullptr;
    HANDLE stdErr = nullptr;
};

// A started program; its handles are closed with the object.
class Process {
public:
    explicit Process(const StartOptions& options)
    {
        TheTally();
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        if (options.stdIn || options.stdOut || options.stdErr) {
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = options.stdIn;
            si.hStdOutput = options.stdOut;
            si.hStdError = options.stdErr;
        }
        const std::wstring exe = Wide(options.exe);
        std::wstring command = Wide(options.commandLine.empty() ? "\"" + options.exe + "\"" : options.commandLine);
        const std::wstring dir = Wide(options.dir);
        for (int attempt = 1;; ++attempt) {
            started_ = ::CreateProcessW(exe.empty() ? nullptr : exe.c_str(), command.data(), nullptr, nullptr,
                                        options.inheritHandles, options.flags, nullptr, dir.empty() ? nullptr : dir.c_str(),
                                        &si, &pi_) != FALSE;
            error_ = started_ ? 0 : ::GetLastError();
            if (started_ || error_ != ERROR_INTERNAL_ERROR || attempt == 3)
                break;
            TheTally().Retry("start of " + (options.exe.empty() ? options.commandLine : options.exe) + " failed with ERROR_INTERNAL_ERROR");
            ::Sleep(500);
        }
    }
    ~Process()
    {
        if (started_) {
            ::CloseHandle(pi_.hThread);
            ::CloseHandle(pi_.hProcess);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return started_; }
    DWORD StartError() const { return error_; }
    DWORD Pid() const { return pi_.dwProcessId; }
    HANDLE Handle() const { return pi_.hProcess; }
    bool Ended(DWORD timeoutMs) const { return started_ && ::WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        if (started_)
            ::GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    void Kill(UINT code) const
    {
        if (started_)
            ::TerminateProcess(pi_.hProcess, code);
    }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
    DWORD error_ = 0;
};

struct RunResult {
    bool started = false;
    DWORD startError = 0;
    bool finished = false;  // within the time; else it was killed
    DWORD exitCode = STILL_ACTIVE;
    std::string output;     // standard output and error, with captureOutput
};

// Runs a program to its end, at most timeoutMs (then it is killed and not finished); its
// standard input is `input` when given; `meanwhile` is called every few milliseconds.
inline RunResult Run(StartOptions options, DWORD timeoutMs, bool captureOutput = false, const std::string* input = nullptr,
                     const std::function<void()>& meanwhile = {})
{
    RunResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr, inRead = nullptr, inWrite = nullptr;
    if (captureOutput && ::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        options.stdOut = options.stdErr = writeEnd;
        options.inheritHandles = true;
    }
    if (input != nullptr && ::CreatePipe(&inRead, &inWrite, &inherit, static_cast<DWORD>(input->size() + 1))) {
        ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
        options.stdIn = inRead;
        options.inheritHandles = true;
    }
    {
        Process process(options);
        result.started = process.Started();
        result.startError = process.StartError();
        for (HANDLE* ours : {&writeEnd, &inRead})
            if (*ours != nullptr)
                ::CloseHandle(std::exchange(*ours, nullptr));
        if (inWrite != nullptr) {
            DWORD written = 0;
            if (result.started)
                ::WriteFile(inWrite, input->data(), static_cast<DWORD>(input->size()), &written, nullptr);
            ::CloseHandle(std::exchange(inWrite, nullptr));
        }
        const DWORD start = ::GetTickCount();
        const auto drain = [&] {
            DWORD available = 0;
            char buffer[1024];
            DWORD got = 0;
            while (readEnd != nullptr && ::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
                   ::ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0)
                result.output.append(buffer, got);
        };
        while (result.started) {
            drain();
            if (meanwhile)
                meanwhile();
            if (process.Ended(readEnd != nullptr || meanwhile ? 10 : 100)) {
                result.finished = true;
                break;
            }
            if (::GetTickCount() - start >= timeoutMs) {
                TheTally().Rescue("killed " + (options.exe.empty() ? options.commandLine : options.exe) + ", still running after " +
                                  std::to_string(timeoutMs) + " ms");
                process.Kill(0xDEAD);
                process.Ended(5000);
                break;
            }
        }
        drain();
        result.exitCode = process.ExitCode();
    }
    if (readEnd != nullptr)
        ::CloseHandle(readEnd);
    return result;
}

}  // namespace testsupport
