// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows side of starting and watching the uploader: CreateProcessW with
// the uploader's path as the program and a command line that its C runtime
// splits back into the words (WindowsCommandLine.h), no window, standard
// error to the log through an inherited handle, standard input and output
// to the NUL device, and the working folder as its current folder.
//
// The uploader runs in a job object of its own that kills what it holds when
// its last handle closes: the program holds the only one, so however the
// program ends (closed, logged off, ended from the Task Manager, crashed),
// the uploader and anything it started end with it. It inherits only its
// three standard handles (PROC_THREAD_ATTRIBUTE_HANDLE_LIST), none of the
// program's others.
#include "UploaderProcess.h"

#include "WindowsCommandLine.h"
#include "base/win/WideText.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>
#include <vector>

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
    HANDLE job = nullptr;
    bool stopped = false;

    ~State()
    {
        if (process)
            CloseHandle(process);
        if (job)
            CloseHandle(job);
    }
};

namespace {

// A job that ends its processes when its last handle closes; null when the
// system refuses one (the uploader then runs outside any).
HANDLE KillOnCloseJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// The handles a new process may inherit, and nothing else.
class InheritOnly {
public:
    explicit InheritOnly(std::vector<HANDLE> handles) : handles_(std::move(handles))
    {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size))
            return;
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                       handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list);
            return;
        }
        list_ = list;
    }
    ~InheritOnly()
    {
        if (list_)
            DeleteProcThreadAttributeList(list_);
    }
    InheritOnly(const InheritOnly &) = delete;
    InheritOnly &operator=(const InheritOnly &) = delete;

    // Null when the system offers no such list.
    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

} // namespace

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

    STARTUPINFOEXW startupEx{};
    STARTUPINFOW &startup = startupEx.StartupInfo;
    startup.cb = sizeof startupEx;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nothingIn.h;
    startup.hStdOutput = nothingOut.h;
    // Without a log the error output goes nowhere; the upload still runs.
    startup.hStdError = log.h ? log.h : nothingOut.h;
    std::vector<HANDLE> inherited;
    for (HANDLE h : {nothingIn.h, nothingOut.h, log.h})
        if (h)
            inherited.push_back(h);
    const InheritOnly inheritOnly(inherited);
    startupEx.lpAttributeList = inheritOnly.List();
    DWORD flags = DETACHED_PROCESS | CREATE_SUSPENDED;
    if (startupEx.lpAttributeList)
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    else
        startup.cb = sizeof startup;

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
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                        folder.c_str(), &startup, &started)) {
        result.reason = windows::ErrorText(GetLastError());
        return result;
    }
    // Into its job before it runs a single instruction, so that nothing it
    // starts escapes the job.
    state_->job = KillOnCloseJob();
    if (state_->job && !AssignProcessToJobObject(state_->job, started.hProcess)) {
        CloseHandle(state_->job);
        state_->job = nullptr;
    }
    ResumeThread(started.hThread);
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
    if (!state_->job || !TerminateJobObject(state_->job, kStoppedExitCode))
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
