// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows side of starting and watching the uploader: CreateProcessW with
// the uploader's path as the program and a command line that its C runtime
// splits back into the words (WindowsCommandLine.h), no window, standard
// error to the log through an inherited handle, standard input and output
// to the NUL device, and the working folder as its current folder.
#include "UploaderProcess.h"

#include "WindowsCommandLine.h"
#include "windows/WideText.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

namespace upload {

namespace {

// Closes a handle at the end of the scope.
struct Handle {
    HANDLE h = nullptr;
    Handle() = default;
    explicit Handle(HANDLE handle) : h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle()
    {
        if (h)
            CloseHandle(h);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
};

SECURITY_ATTRIBUTES Inheritable()
{
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    return attributes;
}

// The exit code TerminateProcess gives an uploader that was stopped.
constexpr UINT kStoppedExitCode = 1;

} // namespace

struct UploaderProcess::State {
    HANDLE process = nullptr;
    bool stopped = false;

    ~State()
    {
        if (process)
            CloseHandle(process);
    }
};

UploaderProcess::UploaderProcess() : state_(std::make_unique<State>()) {}

UploaderProcess::~UploaderProcess()
{
    if (Running())
        Stop();
}

LaunchResult UploaderProcess::Start(const std::string &program, const std::vector<std::string> &words,
                                    const std::string &workDir, const std::string &logPath)
{
    LaunchResult result;
    // The working folder and any folder above it that is missing.
    const int made = SHCreateDirectoryExW(nullptr, windows::Utf16(workDir).c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
        result.reason = windows::ErrorText(DWORD(made));
        return result;
    }

    // Created or emptied, and shared for reading so that the Test window can
    // follow it while the uploader writes.
    SECURITY_ATTRIBUTES inheritable = Inheritable();
    Handle log(CreateFileW(windows::Utf16(logPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Handle nothingIn(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr));
    Handle nothingOut(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                  OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nothingIn.h;
    startup.hStdOutput = nothingOut.h;
    // Without a log the error output goes nowhere; the upload still runs.
    startup.hStdError = log.h ? log.h : nothingOut.h;

    // The program's own path comes first, quoted like the words: its C
    // runtime takes the first word of the line as its name, so every word of
    // the argument string reaches it as an argument, "-v" included.
    const std::wstring application = windows::Utf16(program);
    std::vector<std::string> line;
    line.reserve(words.size() + 1);
    line.push_back(program);
    line.insert(line.end(), words.begin(), words.end());
    std::wstring commandLine = windows::Utf16(WindowsCommandLine(line));
    const std::wstring folder = windows::Utf16(workDir);

    // No console of its own (avrdude is a console program): no window comes
    // up, and no console host shares its handles, so the log is the
    // uploader's alone and free again as soon as it ends.
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                        nullptr, folder.c_str(), &startup, &started)) {
        result.reason = windows::ErrorText(GetLastError());
        return result;
    }
    // The uploader keeps its own inherited handles; the program's are closed
    // at the end of this scope.
    CloseHandle(started.hThread);
    state_->process = started.hProcess;
    result.started = true;
    result.processId = started.dwProcessId;
    return result;
}

bool UploaderProcess::Running()
{
    return state_->process && WaitForSingleObject(state_->process, 0) == WAIT_TIMEOUT;
}

bool UploaderProcess::WaitForEnd(std::chrono::milliseconds limit)
{
    if (!state_->process)
        return true;
    const DWORD wait = DWORD(std::min<std::chrono::milliseconds::rep>(std::max<std::chrono::milliseconds::rep>(
                                                                         limit.count(), 0),
                                                                     INFINITE - 1));
    return WaitForSingleObject(state_->process, wait) != WAIT_TIMEOUT;
}

// A program with no window, and no console shared with this one, cannot be
// asked to end on Windows: it is ended outright at once.
void UploaderProcess::Stop()
{
    if (!Running())
        return;
    state_->stopped = true;
    TerminateProcess(state_->process, kStoppedExitCode);
    WaitForSingleObject(state_->process, INFINITE);
}

bool UploaderProcess::EndedWell() const
{
    DWORD code = STILL_ACTIVE;
    return state_->process && !state_->stopped && WaitForSingleObject(state_->process, 0) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(state_->process, &code) && code == 0;
}

bool UploaderProcess::WasStopped() const
{
    return state_->stopped;
}

} // namespace upload
