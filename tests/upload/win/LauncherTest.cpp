// SPDX-License-Identifier: GPL-3.0-or-later
// The uploader started through CreateProcessW under Wine, with a Windows
// stand-in (StandIn.cpp) in an Arduino folder whose path holds spaces, run in
// a working folder whose name Windows' ANSI code page cannot spell. (The
// words and the working folder that avrdude.exe gets, and its standard error
// as the log, are the whole-product run's: tests/product.)

#include "DefaultTools.h"
#include "UploaderProcess.h"
#include "UploaderWords.h"
#include "base/Program.h"
#include "base/win/WideText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using upload::UploaderProcess;

fs::path Path(const std::string &utf8)
{
    return fs::path(windows::Utf16(utf8));
}

std::string Utf8(const fs::path &path)
{
    return windows::Utf8(path.wstring());
}

std::string Read(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        base_ = fs::temp_directory_path() / ("vandrel-launcher-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(base_);
        record_ = base_ / "record";
        fs::create_directories(record_);
        ASSERT_TRUE(SetEnvironmentVariableW(L"VANDREL_STANDIN_RECORD", record_.wstring().c_str()));
        arduino_ = base_ / "Arduino 0012 folder";
        uploader_ = Path(upload::UploaderPath(Utf8(arduino_), upload::PathStyle::Windows));
        fs::create_directories(uploader_.parent_path());
        fs::copy_file(Path(program::Folder()) / "upload_standin.exe", uploader_);
        // Not there yet: the start makes it. A user's folder may hold letters
        // beyond the ANSI code page's reach.
        workDir_ = base_ / L"Zo\u00EB \u0160t\u011Bp\u00E1nek";
        log_ = workDir_ / upload::kUploadLogName;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    upload::LaunchResult Start(UploaderProcess &process, const std::vector<std::string> &words)
    {
        fs::remove(record_ / "started");
        return process.Start(Utf8(uploader_), words, Utf8(workDir_), Utf8(log_));
    }

    fs::path base_, record_, arduino_, uploader_, workDir_, log_;
};

TEST_F(Launcher, HowTheUploaderEndsIsToldApart)
{
    const std::vector<std::string> words{"-v"};
    {
        SCOPED_TRACE("an exit code of 3");
        Write(record_ / "exit", "3");
        UploaderProcess process;
        ASSERT_TRUE(Start(process, words).started);
        ASSERT_TRUE(process.WaitForEnd(20s));
        EXPECT_FALSE(process.EndedWell());
        EXPECT_FALSE(process.WasStopped());
        fs::remove(record_ / "exit");
    }
    {
        SCOPED_TRACE("stopped while it runs");
        Write(record_ / "wait", "");
        UploaderProcess process;
        ASSERT_TRUE(Start(process, words).started);
        for (int i = 0; i < 2000 && !fs::exists(record_ / "started"); ++i)
            Sleep(10);
        EXPECT_TRUE(process.Running());
        EXPECT_FALSE(process.WaitForEnd(100ms));
        process.Stop();
        EXPECT_FALSE(process.Running());
        EXPECT_TRUE(process.WasStopped());
        EXPECT_FALSE(process.EndedWell());
        EXPECT_EQ(Read(log_), "stand-in error\r\n") << "the log is complete after a stop";
        fs::remove(record_ / "wait");
    }
    {
        SCOPED_TRACE("a log that cannot be made does not stop the upload");
        UploaderProcess process;
        ASSERT_TRUE(process.Start(Utf8(uploader_), words, Utf8(workDir_), Utf8(base_ / "no folder" / "log.txt"))
                        .started);
        ASSERT_TRUE(process.WaitForEnd(20s));
        EXPECT_TRUE(process.EndedWell());
    }
    {
        SCOPED_TRACE("no uploader there");
        UploaderProcess process;
        const upload::LaunchResult launch =
            process.Start(Utf8(arduino_ / "missing.exe"), words, Utf8(workDir_), Utf8(log_));
        EXPECT_FALSE(launch.started);
        EXPECT_FALSE(launch.reason.empty());
        EXPECT_FALSE(process.Running());
        EXPECT_FALSE(process.EndedWell());
    }
}

// The program ends outright while an upload runs (ended from the Task
// Manager, or crashed: no code of it runs): the uploader ends with it. The
// program here is this test run again, told by VANDREL_AS_PROGRAM to start
// the stand-in and wait for its end.
TEST_F(Launcher, TheUploaderEndsWithTheProgram)
{
    wchar_t asProgram[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VANDREL_AS_PROGRAM", asProgram, MAX_PATH) != 0) {
        SetEnvironmentVariableW(L"VANDREL_STANDIN_RECORD", asProgram);
        UploaderProcess process;
        if (Start(process, {"-v"}).started)
            Sleep(INFINITE);
        return;
    }
    Write(record_ / "wait", "");
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=Launcher.TheUploaderEndsWithTheProgram";
    ASSERT_TRUE(SetEnvironmentVariableW(L"VANDREL_AS_PROGRAM", record_.wstring().c_str()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    const bool started = CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                        &program);
    SetEnvironmentVariableW(L"VANDREL_AS_PROGRAM", nullptr);
    ASSERT_TRUE(started);
    for (int i = 0; i < 2000 && !fs::exists(record_ / "started"); ++i)
        Sleep(10);
    HANDLE uploader = OpenProcess(SYNCHRONIZE, FALSE, DWORD(std::stoul("0" + Read(record_ / "pid"))));
    ASSERT_NE(uploader, nullptr) << "the stand-in did not start";
    TerminateProcess(program.hProcess, 9);
    WaitForSingleObject(program.hProcess, INFINITE);
    EXPECT_EQ(WaitForSingleObject(uploader, 5000), WAIT_OBJECT_0) << "the uploader outlived the program";
    Write(record_ / "go", "");
    std::error_code ignored; // the program's own folders, which it had no time to remove
    fs::remove_all(fs::temp_directory_path() / ("vandrel-launcher-" + std::to_string(program.dwProcessId)), ignored);
    CloseHandle(uploader);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    fs::remove(record_ / "wait");
}

// The installer puts the firmware into firmware\ beside the program (here,
// the test's own folder); an upload finds it in the working folder.
TEST_F(Launcher, InstalledFirmwareIsCopiedOnlyWhereNothingIsThere)
{
    const fs::path installed = Path(program::Folder()) / "firmware";
    fs::create_directories(installed);
    Write(installed / "Blink.hex", ":00000001FF\n");
    const std::string work = Utf8(workDir_);

    upload::PrepareDefaultTools("Blink", Utf8(arduino_), work);
    EXPECT_EQ(Read(workDir_ / "Blink.hex"), ":00000001FF\n") << "copied, the working folder made";
    Write(workDir_ / "Blink.hex", "the user's own");
    upload::PrepareDefaultTools("Blink", Utf8(arduino_), work);
    EXPECT_EQ(Read(workDir_ / "Blink.hex"), "the user's own") << "a file of that name is never replaced";
    upload::PrepareDefaultTools("Cadrelle", Utf8(arduino_), work);
    EXPECT_FALSE(fs::exists(workDir_ / "Cadrelle.hex")) << "none installed: nothing to copy";
    fs::remove_all(installed);
}

} // namespace
