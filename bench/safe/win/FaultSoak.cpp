// SPDX-License-Identifier: GPL-3.0-or-later
// The fault soak on Windows: the same exchanges as the Linux soak (drawn by
// FaultSoakCore from the same seed and worker count), through the Windows
// side of SafeExchange() and COM ports, under Wine. Run by fault-soak.sh,
// which starts one simulated safe (a Linux program) per worker on the
// pseudo-terminal behind a COM port, and relays the safe's control lines
// through two files, since a Linux program started from a Windows one gives
// no handle to talk to:
//
//   bench_fault_soak.exe [exchanges] [--workers N] [--seed S] [--grace MS] [--keep-unread] --safes DIR
//
// DIR\safe<N>\ (N from 0) holds, for worker N: "port", the COM port's name;
// "control.in", to which the worker appends control lines; "control.out",
// where the safe's answers (and its announcements) arrive. Each worker is a
// process of this program, with HKEY_CURRENT_USER moved to a key of its own
// for the settings store, so that each reads its own port name.
// Figures only: it fails only on a wrong success or a worker that failed.

#include "BenchStats.h"
#include "FaultSoakCore.h"
#include "SafeExchange.h"
#include "Settings.h"
#include "base/win/WideText.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The answer to a control line comes within milliseconds; a slow machine
// gets far more.
constexpr auto kControlAnswer = 10s;

std::wstring Wide(const std::string &text)
{
    return windows::Utf16(text);
}

std::string ReadWhole(const std::string &path)
{
    std::string text;
    if (std::FILE *file = std::fopen(path.c_str(), "rb")) {
        char buffer[256];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        std::fclose(file);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// The simulated safe's control lines through the files the driver relays.
class FileControl {
public:
    bool Open(const std::string &folder)
    {
        in_ = CreateFileW(Wide(folder + "\\control.in").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        out_ = CreateFileW(Wide(folder + "\\control.out").c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        return in_ != INVALID_HANDLE_VALUE && out_ != INVALID_HANDLE_VALUE;
    }
    ~FileControl()
    {
        if (in_ != INVALID_HANDLE_VALUE)
            CloseHandle(in_);
        if (out_ != INVALID_HANDLE_VALUE)
            CloseHandle(out_);
    }

    std::string operator()(const std::string &line)
    {
        const std::string text = line + "\n";
        LARGE_INTEGER end{};
        DWORD written = 0;
        if (!SetFilePointerEx(in_, LARGE_INTEGER{}, &end, FILE_END) ||
            !WriteFile(in_, text.data(), DWORD(text.size()), &written, nullptr) || written != text.size())
            return {};
        const auto deadline = std::chrono::steady_clock::now() + kControlAnswer;
        for (;;) {
            for (std::size_t newline; (newline = pending_.find('\n')) != std::string::npos;) {
                std::string answer = pending_.substr(0, newline);
                pending_.erase(0, newline + 1);
                // The safe's own announcements: its terminal at the start and
                // after a hang-up.
                if (answer.rfind("/", 0) != 0 && answer.rfind("port ", 0) != 0)
                    return answer;
            }
            char buffer[512];
            DWORD read = 0;
            if (!ReadFile(out_, buffer, sizeof buffer, &read, nullptr))
                return {};
            if (read > 0) {
                pending_.append(buffer, read);
                continue;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return {};
            Sleep(1);
        }
    }

private:
    HANDLE in_ = INVALID_HANDLE_VALUE;
    HANDLE out_ = INVALID_HANDLE_VALUE;
    std::string pending_;
};

// The settings store is HKEY_CURRENT_USER\software\...: each worker gets a
// HKEY_CURRENT_USER of its own below the real one.
bool OwnSettingsRoot(int index)
{
    HKEY root = nullptr, software = nullptr;
    const std::wstring name = L"Software\\Vandrel\\FaultSoak\\worker" + std::to_wstring(index);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const bool made = RegCreateKeyExW(root, L"software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &software,
                                      nullptr) == ERROR_SUCCESS;
    if (software)
        RegCloseKey(software);
    const bool moved = made && RegOverridePredefKey(HKEY_CURRENT_USER, root) == ERROR_SUCCESS;
    RegCloseKey(root);
    return moved;
}

int Worker(const faultsoak::Options &options, int index, const std::string &folder)
{
    const std::string port = ReadWhole(folder + "\\port");
    FileControl control;
    if (port.empty() || !control.Open(folder)) {
        std::fprintf(stderr, "bench_fault_soak: no simulated safe in %s\n", folder.c_str());
        return 1;
    }
    if (!OwnSettingsRoot(index) || !settings::SetSerialPort(port)) {
        std::fprintf(stderr, "bench_fault_soak: the settings store did not keep the port\n");
        return 1;
    }
    std::vector<faultsoak::Record> records;
    if (!faultsoak::RunExchanges(options, index, faultsoak::WorkerShare(options, index),
                                 [&control](const std::string &line) { return control(line); }, records))
        return 1;
    if (!faultsoak::WriteRecords(folder + "\\records", records)) {
        std::fprintf(stderr, "bench_fault_soak: could not write %s\\records\n", folder.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args;
    std::string safes;
    int worker = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--safes" && i + 1 < argc)
            safes = argv[++i];
        else if (arg == "--worker" && i + 1 < argc)
            worker = std::atoi(argv[++i]);
        else
            args.push_back(arg);
    }
    faultsoak::Options options;
    if (!faultsoak::ParseOptions(args, options) || safes.empty()) {
        std::fprintf(stderr, "usage: bench_fault_soak %s --safes DIR\n", faultsoak::UsageText());
        return 2;
    }
    const auto folder = [&safes](int w) { return safes + "\\safe" + std::to_string(w); };
    if (worker >= 0)
        return Worker(options, worker, folder(worker));

    // Each worker: this program, with this command line and its number.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const bench::Clock::time_point start = bench::Clock::now();
    std::vector<HANDLE> children;
    bool workersOk = true;
    for (int w = 0; w < options.workers; ++w) {
        std::wstring line = std::wstring(GetCommandLineW()) + L" --worker " + std::to_wstring(w);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(self, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
            std::fprintf(stderr, "bench_fault_soak: could not start worker %d\n", w);
            workersOk = false;
            continue;
        }
        CloseHandle(started.hThread);
        children.push_back(started.hProcess);
    }
    for (HANDLE child : children) {
        DWORD code = 1;
        WaitForSingleObject(child, INFINITE);
        workersOk = workersOk && GetExitCodeProcess(child, &code) && code == 0;
        CloseHandle(child);
    }
    const double seconds = std::chrono::duration<double>(bench::Clock::now() - start).count();

    std::vector<faultsoak::Record> all;
    for (int w = 0; w < options.workers; ++w)
        faultsoak::AppendRecords(folder(w) + "\\records", all);
    const int wrong = faultsoak::PrintFigures(all, options, seconds, " through COM ports under Wine");
    if (!workersOk)
        std::printf("a worker failed: the figures are incomplete\n");
    return wrong == 0 && workersOk ? 0 : 1;
}
