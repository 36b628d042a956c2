// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for avrdude.exe in the Windows launcher tests. It records, in the
// folder named by VANDREL_STANDIN_RECORD:
//   pid      its process id
//   started  written once the pid and the two lines below are out
// and writes "stand-in error" and a line end to standard error and "stand-in
// output" to standard output. When the folder holds "wait", it waits (up to
// 30 s) until the test makes "go". It exits with the number in "exit" (0
// when absent). (The words and the folder avrdude.exe is given are the
// whole-product run's.)

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

void Write(const fs::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

int wmain()
{
    wchar_t record[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VANDREL_STANDIN_RECORD", record, MAX_PATH) == 0)
        return 100;
    const fs::path folder(record);
    Write(folder / "pid", std::to_string(GetCurrentProcessId()));
    std::fputs("stand-in error\n", stderr);
    std::fflush(stderr);
    std::fputs("stand-in output\n", stdout);
    std::fflush(stdout);
    Write(folder / "started", "");

    if (fs::exists(folder / "wait")) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!fs::exists(folder / "go") && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    int code = 0;
    std::ifstream(folder / "exit") >> code;
    return code;
}
