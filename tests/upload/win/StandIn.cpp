// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for avrdude.exe in the Windows launcher tests. It records, in the
// folder named by VANDREL_STANDIN_RECORD:
//   line     its command line as Windows handed it over (UTF-8)
//   words    each argument as its C runtime read it back (without its own
//            name), each followed by a NUL
//   cwd      its current folder
//   pid      its process id
//   started  written once all of the above and the two lines below are out
// and writes "stand-in error" and a line end to standard error (or, when the
// folder holds "replay", an avrdude log to play back: that file) and "stand-in
// output" to standard output. When the folder holds "wait", it waits (up to
// 30 s) until the test makes "go". It exits with the number in "exit" (0
// when absent).

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string Utf8(const std::wstring &text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

void Write(const fs::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    wchar_t record[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VANDREL_STANDIN_RECORD", record, MAX_PATH) == 0)
        return 100;
    const fs::path folder(record);
    Write(folder / "line", Utf8(GetCommandLineW()));
    std::string words;
    for (int i = 1; i < argc; ++i)
        words += Utf8(argv[i]) + '\0';
    Write(folder / "words", words);
    Write(folder / "cwd", Utf8(fs::current_path().wstring()));
    Write(folder / "pid", std::to_string(GetCurrentProcessId()));
    if (std::ifstream replay(folder / "replay", std::ios::binary); replay)
        std::fputs(std::string(std::istreambuf_iterator<char>(replay), {}).c_str(), stderr);
    else
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
