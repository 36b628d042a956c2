// SPDX-License-Identifier: GPL-3.0-or-later
// Walks the installed Vandrel as a user would, from another Windows program,
// with the window messages a click or a keystroke leaves behind: it starts
// the program, finds each window by its caption and its controls by their
// ids, types with WM_SETTEXT, clicks with BM_CLICK in the active window
// (posted: a click that opens a modal window or a message box returns only
// when that closes), chooses in the port list as the list tells its window,
// and reads and closes the message boxes (the "#32770" windows captioned with
// the application's name, their text the static 0xFFFF).
//
//   product_driver.exe --program EXE --port COM12 --silent-port COM7 --arduino FOLDER
//                      --firmware-version TEXT --board-events FILE [--screenshots FOLDER]
//
// The way: main window; Test (FOLDER shown as the Arduino folder, as nothing
// is stored; the port chosen in the list; 'Upload Cadrelle' onto the board as
// sold, followed to "Completed upload"; once the board's log of events (FILE,
// simboard's output) shows the bootloader has handed over to Cadrelle, as a
// user reading the message gives it time to, the firmware's own answers:
// 'Test Lock', which stores both settings, 'Send' "V" and 'Get Version', whose
// answers begin with TEXT); Master (a pair for one hour, shown); Sub (locks
// the safe with it, shows the time left, unlocks, and answers the system
// while a safe that never answers holds its 'Update time'); Close. Prints
// what it saw, the start's, the upload's and one exchange's times, and the
// codes ("lock code: L...", "unlock code: U..."). With --screenshots, each
// window is also saved there as a 32-bit BMP (main-window.bmp ...). Ends with 0 when every step went as a
// user expects, 1 with the step that did not.

#include "Resource.h"
#include "base/Files.h"
#include "base/win/WideText.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using windows::Utf8;

// Generous: Wine under a loaded machine is slow to show a window.
constexpr auto kWindowWait = 30s;
// A real upload under Wine, followed to its end by the Test window: about
// 10 s, several times that on a loaded machine.
constexpr auto kUploadWait = 150s;
// Fine enough to time one exchange.
constexpr auto kPoll = 5ms;
const wchar_t kApplication[] = L"CadrelleController";
const wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageText = 0xFFFF;

struct Options {
    std::wstring program, port, silentPort, arduino, firmwareVersion, boardEvents, screenshots;
};

PROCESS_INFORMATION gProgram{};

[[noreturn]] void Fail(const std::string &what)
{
    std::printf("FAILED: %s\n", what.c_str());
    std::fflush(stdout);
    if (gProgram.hProcess)
        TerminateProcess(gProgram.hProcess, 1);
    std::exit(1);
}

// The step goes on only when `ok`; else it fails with `what`.
void Check(bool ok, const std::string &what)
{
    if (!ok)
        Fail(what);
}

void Say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

long long Ms(Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

bool Until(const std::function<bool()> &done, Clock::duration timeout)
{
    for (const auto end = Clock::now() + timeout; !done(); Sleep(DWORD(Ms(kPoll))))
        if (Clock::now() > end)
            return false;
    return true;
}

bool OfTheProgram(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid == gProgram.dwProcessId;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

// Asked of the control itself: GetWindowText would give another process's
// edit box as it was made, not as it reads.
std::wstring ControlText(HWND control)
{
    std::wstring text(std::size_t(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(std::size_t(SendMessageW(control, WM_GETTEXT, WPARAM(text.size()), LPARAM(text.data()))));
    return text;
}

std::wstring ItemText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    Check(control != nullptr, "no control " + std::to_string(id));
    return ControlText(control);
}

// The first of the top-level windows (`parent` null) or of the parent's
// children that fits.
HWND FindWindowThat(HWND parent, const std::function<bool(HWND)> &fits)
{
    struct Search {
        const std::function<bool(HWND)> *fits;
        HWND found;
    } search{&fits, nullptr};
    const WNDENUMPROC visit = [](HWND window, LPARAM data) -> BOOL {
        auto *s = reinterpret_cast<Search *>(data);
        if ((*s->fits)(window))
            s->found = window;
        return s->found == nullptr;
    };
    if (parent)
        EnumChildWindows(parent, visit, reinterpret_cast<LPARAM>(&search));
    else
        EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The program's visible top-level dialog with that caption, once it shows.
HWND WaitForDialog(const std::wstring &caption, Clock::duration timeout = kWindowWait)
{
    const auto fits = [&](HWND w) {
        return IsWindowVisible(w) && OfTheProgram(w) && ClassOf(w) == kDialogClass && TextOf(w) == caption;
    };
    HWND found = nullptr;
    Check(Until([&] { return (found = FindWindowThat(nullptr, fits)) != nullptr; }, timeout),
          "no window \"" + Utf8(caption) + "\" appeared");
    return found;
}

void WaitGone(HWND window, const std::string &what)
{
    Check(Until([&] { return !IsWindow(window) || !IsWindowVisible(window); }, kWindowWait), what + " did not close");
}

void Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    Check(button && IsWindowEnabled(button), "no enabled button " + std::to_string(id));
    // A button takes the click only in the active window, as under the mouse.
    SetForegroundWindow(dialog);
    PostMessageW(button, BM_CLICK, 0, 0);
}

void Type(HWND dialog, int id, const std::wstring &text)
{
    Check(SetDlgItemTextW(dialog, id, text.c_str()), "could not type into control " + std::to_string(id));
}

// The next message box's text; it is closed with its OK button. `shown`:
// when it was found on the screen.
std::wstring ReadMessage(Clock::duration timeout = kWindowWait, Clock::time_point *shown = nullptr)
{
    HWND box = WaitForDialog(kApplication, timeout);
    if (shown)
        *shown = Clock::now();
    std::wstring text;
    // The text is set before the box shows, but read it once it is drawn.
    Until([&] { return !(text = ItemText(box, kMessageText)).empty(); }, 2s);
    // A click that came before the box took input is clicked again.
    for (int tries = 0; tries < 10; ++tries) {
        if (HWND ok = GetDlgItem(box, IDOK)) {
            SetForegroundWindow(box);
            PostMessageW(ok, BM_CLICK, 0, 0);
        }
        if (Until([&] { return !IsWindow(box); }, 3s))
            break;
    }
    WaitGone(box, "the message box \"" + Utf8(text) + "\"");
    return text;
}

void ExpectMessage(const std::wstring &expected, Clock::duration timeout = kWindowWait)
{
    const std::wstring text = ReadMessage(timeout);
    Check(text == expected, "message \"" + Utf8(text) + "\", expected \"" + Utf8(expected) + "\"");
    Say("message: " + Utf8(text));
}

// Whether the simulated board's bootloader has handed over to a program
// since its port was last closed (its "<seconds> start" and "<seconds> close"
// lines): after an upload, that Cadrelle runs.
bool StartedSinceLastClose(const std::wstring &boardEvents)
{
    std::string events;
    files::ReadFrom(Utf8(boardEvents), 0, std::string::npos, events);
    const std::size_t start = events.rfind(" start\n"), close = events.rfind(" close\n");
    return start != std::string::npos && (close == std::string::npos || start > close);
}

const wchar_t kSettingKey[] = L"Software\\Vandrel\\CadrelleController\\Setting";

void StoreSetting(const wchar_t *name, const std::wstring &value)
{
    Check(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingKey, name, REG_SZ, value.c_str(),
                          DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS,
          "could not store " + Utf8(name));
}

std::wstring StoredSetting(const wchar_t *name)
{
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingKey, name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"(none)";
    return value;
}

// The window as the screen shows it, caption and frame included, as a
// top-down 32-bit BMP.
void Capture(HWND window, const Options &options, const wchar_t *name)
{
    if (options.screenshots.empty())
        return;
    SetForegroundWindow(window);
    Sleep(700); // drawn after the last change
    RECT frame{};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    GdiFlush();
    const DWORD size = DWORD(width) * DWORD(height) * 4, offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file{0x4D42, offset + size, 0, 0, offset};
    const std::wstring path = options.screenshots + L"\\" + name + L".bmp";
    FILE *out = _wfopen(path.c_str(), L"wb");
    Check(out != nullptr, "could not write " + Utf8(path));
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    std::fwrite(bits, 1, size, out);
    std::fclose(out);
    Say("picture: " + Utf8(path));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

HWND StartProgram(const Options &options)
{
    std::wstring folder = options.program.substr(0, options.program.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + options.program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const auto started = Clock::now();
    if (!CreateProcessW(options.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &gProgram))
        Fail("could not start " + Utf8(options.program) + " (error " + std::to_string(GetLastError()) + ")");
    HWND main = WaitForDialog(L"Vandrel");
    Say("start to main window: " + std::to_string(Ms(Clock::now() - started)) + " ms");
    const std::wstring version = ItemText(main, res::main_window::VersionLine);
    Check(version.starts_with(L"Vandrel version 1 - "), "version line \"" + Utf8(version) + "\"");
    Say("main window: " + Utf8(version));
    return main;
}

// The list offers COM1 to COM9 whether or not they are there, and `port`,
// which is chosen as a click in the list chooses it.
void ChoosePort(HWND test, const std::wstring &port)
{
    HWND list = GetDlgItem(test, res::test::PortList);
    const auto find = [&](const std::wstring &name) {
        return SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(name.c_str()));
    };
    for (int n = 1; n <= 9; ++n)
        Check(find(L"COM" + std::to_wstring(n)) != CB_ERR, "the port list lacks COM" + std::to_string(n));
    const LRESULT index = find(port);
    Check(index != CB_ERR, "the port list does not offer " + Utf8(port));
    SendMessageW(list, CB_SETCURSEL, WPARAM(index), 0);
    PostMessageW(test, WM_COMMAND, MAKEWPARAM(res::test::PortList, CBN_SELCHANGE), LPARAM(list));
}

void WalkTestWindow(HWND main, const Options &options)
{
    Click(main, res::main_window::TestSafe);
    HWND test = WaitForDialog(L"Test");
    // The guide as the installer laid it out, in docs\ beside the program.
    std::wstring guide = L"file:///";
    for (const wchar_t c : options.program.substr(0, options.program.find_last_of(L'\\')))
        guide += c == L'\\' ? L"/" : c == L' ' ? L"%20" : std::wstring(1, c);
    guide += L"/docs/board-setup.md";
    const std::wstring lead = L"You must follow the instructions at: ";
    HWND instructions = FindWindowThat(test, [&](HWND child) { return ControlText(child).starts_with(lead); });
    const std::wstring shown = instructions ? ControlText(instructions) : L"";
    Check(shown == lead + guide, "the Test window points to the guide as \"" + Utf8(shown) + "\"");
    const std::wstring arduino = ItemText(test, res::test::ArduinoFolder);
    Check(arduino == options.arduino, "the Arduino folder shown is \"" + Utf8(arduino) + "\"");
    ChoosePort(test, options.port);

    // The board as sold holds only its bootloader: Cadrelle first.
    const auto uploadClicked = Clock::now();
    Click(test, res::test::UploadCadrelle);
    ExpectMessage(L"Completed upload", kUploadWait);
    Say("Upload Cadrelle: \"Completed upload\" " + std::to_string(Ms(Clock::now() - uploadClicked) / 1000) +
        " s after the click");
    // The bootloader waits about a second after the upload before it starts
    // Cadrelle, and what comes in meanwhile is lost.
    Check(Until([&] { return StartedSinceLastClose(options.boardEvents); }, kWindowWait),
          "Cadrelle did not start after the upload");

    // One exchange, from the click to its answer on the screen.
    const auto clicked = Clock::now();
    Clock::time_point answered;
    Click(test, res::test::TestLock);
    const std::wstring locked = ReadMessage(kWindowWait, &answered);
    const long long exchange = Ms(answered - clicked);
    Check(locked == L"Lock succeeded", "'Test Lock' said \"" + Utf8(locked) + "\"");
    Say("Test Lock: \"Lock succeeded\" " + std::to_string(exchange) + " ms after the click");
    Check(StoredSetting(L"SerialPort") == options.port && StoredSetting(L"ArduinoPath") == options.arduino,
          "the settings stored are SerialPort=" + Utf8(StoredSetting(L"SerialPort")) +
              ", ArduinoPath=" + Utf8(StoredSetting(L"ArduinoPath")));
    Say("stored: SerialPort=" + Utf8(options.port) + ", ArduinoPath=" + Utf8(options.arduino));

    Type(test, res::test::CommandText, L"V");
    Click(test, res::test::Send);
    const std::wstring answer = ReadMessage();
    Check(answer.starts_with(options.firmwareVersion), "'Send' \"V\" said \"" + Utf8(answer) + "\"");
    Say("Send V: " + Utf8(answer));

    Click(test, res::test::GetVersion);
    HWND version = WaitForDialog(L"Version");
    const std::wstring software = ItemText(version, res::version::SoftwareVersion);
    const std::wstring firmware = ItemText(version, res::version::FirmwareVersion);
    Check(software.starts_with(L"Software version: 1 - ") && firmware == answer,
          "Version window: \"" + Utf8(software) + "\", \"" + Utf8(firmware) + "\"");
    Say("Version window: " + Utf8(software) + " / " + Utf8(firmware));
    Capture(version, options, L"version-window");
    Click(version, res::version::Done);
    WaitGone(version, "the Version window");
    Capture(test, options, L"test-window");

    Click(test, IDCANCEL);
    WaitGone(test, "the Test window");
}

struct CodePair {
    std::wstring lock, unlock;
};

CodePair WalkMasterWindow(HWND main, const Options &options)
{
    Click(main, res::main_window::Master);
    HWND master = WaitForDialog(L"Master");
    Click(master, res::master::LockForTime);
    Check(Until([&] { return IsWindowEnabled(GetDlgItem(master, res::master::Hours)) != FALSE; }, 10s),
          "the duration boxes stay disabled after 'Lock until this time has passed:'");
    for (const int box : {res::master::Days, res::master::Hours, res::master::Minutes, res::master::Seconds})
        Type(master, box, box == res::master::Hours ? L"1" : L"0");
    Click(master, res::master::GenerateKeyCode);
    CodePair codes;
    const bool made = Until(
        [&] {
            codes.lock = ItemText(master, res::master::LockCode);
            codes.unlock = ItemText(master, res::master::UnlockCode);
            return codes.lock.size() == 21 && codes.lock[0] == L'L' && codes.unlock.size() == 13 &&
                   codes.unlock[0] == L'U';
        },
        10s);
    Check(made, "no code pair: \"" + Utf8(codes.lock) + "\", \"" + Utf8(codes.unlock) + "\"");
    Say("lock code: " + Utf8(codes.lock));
    Say("unlock code: " + Utf8(codes.unlock));
    Capture(master, options, L"master-window");
    Click(master, IDCANCEL);
    WaitGone(master, "the Master window");
    return codes;
}

std::wstring WaitForStatus(HWND sub, const std::function<bool(const std::wstring &)> &fits, const char *what)
{
    std::wstring status;
    // Read first: the message shows the last status seen.
    const bool shown = Until([&] { return fits(status = ItemText(sub, res::sub::Status)); }, kWindowWait);
    Check(shown, std::string("the Sub window's status line does not show ") + what + ": \"" + Utf8(status) + "\"");
    Say("Sub status: " + Utf8(status));
    return status;
}

void WalkSubWindow(HWND main, const CodePair &codes, const Options &options)
{
    Click(main, res::main_window::Sub);
    HWND sub = WaitForDialog(L"Sub");
    const auto openNow = [](const std::wstring &s) {
        return s.starts_with(L"0 days 0 hours 0 minutes 0 seconds remaining, open at ");
    };
    WaitForStatus(sub, openNow, "an open safe");

    Type(sub, res::sub::Code, codes.lock);
    Click(sub, res::sub::ApplyCode);
    ExpectMessage(L"Lock code GOOD, sending to safe");
    ExpectMessage(L"Safe locked for 3600 seconds");
    // The hour just begun: 59 minutes and some seconds, or the whole hour.
    WaitForStatus(
        sub,
        [](const std::wstring &s) {
            return (s.starts_with(L"0 days 0 hours 59 minutes ") ||
                    s.starts_with(L"0 days 1 hours 0 minutes 0 seconds ")) &&
                   s.find(L" remaining, open at ") != std::wstring::npos;
        },
        "the hour left");
    Capture(sub, options, L"sub-window");

    Type(sub, res::sub::Code, codes.unlock);
    Click(sub, res::sub::ApplyCode);
    ExpectMessage(L"Unlock code GOOD, sending to safe");
    ExpectMessage(L"Safe unlocked");
    WaitForStatus(sub, openNow, "the safe open again");

    // The port of a safe that never answers: Enter on 'Update time' starts an
    // exchange of some 5 s. 1.0 s on, the window answers the system's hang
    // check (WM_NULL) within 1 s; the failure shows once the exchange ends.
    StoreSetting(L"SerialPort", options.silentPort);
    HWND update = GetDlgItem(sub, res::sub::UpdateTime);
    SetForegroundWindow(sub);
    SendMessageW(sub, WM_NEXTDLGCTL, WPARAM(update), TRUE);
    PostMessageW(update, WM_KEYDOWN, VK_RETURN, 0);
    Sleep(1000);
    const auto asked = Clock::now();
    DWORD_PTR result = 0;
    Check(SendMessageTimeoutW(sub, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result),
          "the Sub window did not answer WM_NULL within 1 s, 1.0 s after Enter on 'Update time' with a silent safe");
    const long long answered = Ms(Clock::now() - asked);
    Say("silent safe: the Sub window answered WM_NULL in " + std::to_string(answered) +
        " ms, 1.0 s after Enter on 'Update time'");
    WaitForStatus(
        sub, [](const std::wstring &s) { return s == L"Problem connecting to safe!"; }, "the failed exchange");
    StoreSetting(L"SerialPort", options.port);
    Click(sub, IDCANCEL);
    WaitGone(sub, "the Sub window");
}

bool ParseOptions(int argc, wchar_t **argv, Options &options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i];
        std::wstring *field = name == L"--program"            ? &options.program
                              : name == L"--port"             ? &options.port
                              : name == L"--silent-port"      ? &options.silentPort
                              : name == L"--arduino"          ? &options.arduino
                              : name == L"--firmware-version" ? &options.firmwareVersion
                              : name == L"--board-events"     ? &options.boardEvents
                              : name == L"--screenshots"      ? &options.screenshots
                                                              : nullptr;
        if (!field)
            return false;
        *field = argv[i + 1];
    }
    return !options.program.empty() && !options.port.empty() && !options.silentPort.empty() &&
           !options.arduino.empty() && !options.firmwareVersion.empty() && !options.boardEvents.empty();
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs("usage: product_driver --program EXE --port COMn --silent-port COMn --arduino FOLDER "
                   "--firmware-version TEXT --board-events FILE [--screenshots FOLDER]\n",
                   stderr);
        return 2;
    }
    HWND main = StartProgram(options);
    WalkTestWindow(main, options);
    const CodePair codes = WalkMasterWindow(main, options);
    WalkSubWindow(main, codes, options);
    // Active again, as after any working window.
    Capture(main, options, L"main-window");

    Click(main, IDCANCEL);
    Check(WaitForSingleObject(gProgram.hProcess, 30000) == WAIT_OBJECT_0, "the program did not end after 'Close'");
    DWORD code = 0;
    GetExitCodeProcess(gProgram.hProcess, &code);
    Say("the program ended with " + std::to_string(code));
    CloseHandle(gProgram.hThread);
    CloseHandle(gProgram.hProcess);
    return 0;
}
