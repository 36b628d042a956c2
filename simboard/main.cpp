// SPDX-License-Identifier: GPL-3.0-or-later
// simboard: the safe's board without hardware. Runs an ATmega168 at 16 MHz
// from the Arduino Diecimila bootloader in simavr, held to real time, with its
// UART on a pseudo-terminal, so that avrdude can upload firmware onto it and
// the controller can talk to that firmware.
//
// The first line on standard output is the pseudo-terminal's path. Each later
// line is an event, with the seconds since the start:
//   <t> open | close          a program opened or closed the port
//   <t> reset <why>           the chip was reset (open, upload, button)
//   <t> start                 the bootloader handed over to the application
//   <t> listen <baud>         the application turned the UART's receiver on, at
//                             the speed its clock divider gives (9615 for
//                             9600): only what the port sends from now on is
//                             read at that speed. A program starts up for a
//                             while before it listens, and what comes in that
//                             time is lost, as on a real board.
//   <t> latch 1 | latch 0     the latch output went high (open) or low
//   <t> halt <why>            the simulated core stopped
//   <t> dtr drop              DTR fell by SIGUSR2 (below)
//   <t> stray                 with --stray-byte: the line carried one stray byte
// It serves until SIGTERM, SIGINT or SIGHUP (tests start it so that it also
// dies with them).
// SIGUSR1 presses the board's reset button. SIGUSR2 drops DTR as another
// program's uploader does when it leaves the port without HUPCL (it drops DTR
// itself): the next opening raises DTR and resets a board as sold, and the
// port's HUPCL flag does not show it.

#include "PtyPort.h"
#include "SimBoard.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#ifndef SIMBOARD_DEFAULT_BOOTLOADER
#define SIMBOARD_DEFAULT_BOOTLOADER \
    "/usr/share/arduino/hardware/arduino/avr/bootloaders/atmega/ATmegaBOOT_168_diecimila.hex"
#endif

#if defined(__SANITIZE_ADDRESS__)
// simavr does not free its interrupt lines when a core is torn down.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libsimavr.so\n";
}
#endif

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> gStop{false};
std::atomic<bool> gResetButton{false};
std::atomic<bool> gDtrDrop{false};

void OnStop(int) { gStop = true; }
void OnResetButton(int) { gResetButton = true; }
void OnDtrDrop(int) { gDtrDrop = true; }

// The speed the Diecimila bootloader listens at, and so avrdude's -b19200.
constexpr std::uint32_t kBootloaderBaud = 19200;

// When the simulation falls this far behind the wall clock (a loaded host),
// it does not race to catch up: that would squeeze the bootloader's wait and
// the firmware's serial timing.
constexpr auto kMaxLag = std::chrono::milliseconds(100);

enum class ResetOnOpen { Upload, Dtr, Never };

// With --stray-byte: the byte, and when it reaches the opener after the reset
// its opening caused. A real board's transmit line can carry one garbage byte
// while it settles through the reset; a moment after the opening, the opener
// has cleared its input and is waiting for a reply.
constexpr std::uint8_t kStrayByte = 0xF0;
constexpr auto kStrayAfterReset = std::chrono::milliseconds(100);

const char* const kUsage =
    "usage: simboard [--firmware FILE.hex] [--bootloader FILE.hex] [--eeprom FILE]\n"
    "                [--reset-on-open upload|dtr|never] [--stray-byte] [--link PATH]\n"
    "\n"
    "  --firmware FILE.hex   flash this program too, as if it had been uploaded\n"
    "  --bootloader FILE.hex the Diecimila bootloader (default " SIMBOARD_DEFAULT_BOOTLOADER ")\n"
    "  --eeprom FILE         EEPROM contents: read at start when the file exists,\n"
    "                        written back when simboard ends (a power cycle)\n"
    "  --reset-on-open MODE  dtr (default): a Diecimila as sold, reset by each rise\n"
    "                        of DTR: DTR rises when a program opens the port and\n"
    "                        falls when the last user closes it with HUPCL set (a\n"
    "                        freshly plugged-in port has it set);\n"
    "                        upload: auto-reset disabled; the chip is reset when a\n"
    "                        program that opened the port first writes at the\n"
    "                        bootloader's 19200 baud (the reset button pressed as\n"
    "                        an upload starts);\n"
    "                        never: no reset from the port\n"
    "  --stray-byte          a reset by the port's opening also sends the opener\n"
    "                        one byte 0xF0, 100 ms later, as the line settles\n"
    "  --link PATH           also make PATH a symbolic link to the port\n"
    "\n"
    "The first line printed is the port's path; later lines are timed events.\n"
    "Signals:\n"
    "  SIGUSR1               the reset button: resets the chip at once (event\n"
    "                        'reset button')\n"
    "  SIGUSR2               a DTR drop, as an uploader leaving the port makes it:\n"
    "                        resets nothing itself, but the next opening raises\n"
    "                        DTR and, with --reset-on-open dtr, resets the chip\n"
    "                        (event 'dtr drop')\n"
    "  SIGTERM, SIGINT, SIGHUP  end simboard (writing the --eeprom file)\n";

Clock::time_point gStart;

void Event(const char* format, ...)
{
    const double t = std::chrono::duration<double>(Clock::now() - gStart).count();
    std::printf("%.3f ", t);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace

int main(int argc, char** argv)
{
    std::string firmware;
    std::string bootloader = SIMBOARD_DEFAULT_BOOTLOADER;
    std::string eepromFile;
    std::string link;
    ResetOnOpen resetOnOpen = ResetOnOpen::Dtr;
    bool strayByte = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "simboard: %s needs a value\n%s", arg.c_str(), kUsage);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--firmware") {
            firmware = value();
        } else if (arg == "--bootloader") {
            bootloader = value();
        } else if (arg == "--eeprom") {
            eepromFile = value();
        } else if (arg == "--link") {
            link = value();
        } else if (arg == "--reset-on-open") {
            const std::string mode = value();
            if (mode == "upload") {
                resetOnOpen = ResetOnOpen::Upload;
            } else if (mode == "dtr") {
                resetOnOpen = ResetOnOpen::Dtr;
            } else if (mode == "never") {
                resetOnOpen = ResetOnOpen::Never;
            } else {
                std::fprintf(stderr, "simboard: unknown --reset-on-open mode '%s'\n%s", mode.c_str(), kUsage);
                return 2;
            }
        } else if (arg == "--stray-byte") {
            strayByte = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "simboard: unknown argument '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }

    struct sigaction stop{};
    stop.sa_handler = OnStop;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);
    struct sigaction button{};
    button.sa_handler = OnResetButton;
    sigaction(SIGUSR1, &button, nullptr);
    struct sigaction dtrDrop{};
    dtrDrop.sa_handler = OnDtrDrop;
    sigaction(SIGUSR2, &dtrDrop, nullptr);

    simboard::SimBoard board;
    std::string error;
    if (!board.LoadHex(bootloader, error)) {
        std::fprintf(stderr, "simboard: bootloader: %s\n", error.c_str());
        return 1;
    }
    if (!firmware.empty() && !board.LoadHex(firmware, error)) {
        std::fprintf(stderr, "simboard: firmware: %s\n", error.c_str());
        return 1;
    }
    if (!eepromFile.empty()) {
        std::vector<std::uint8_t> bytes;
        if (ReadFile(eepromFile, bytes))
            board.SetEeprom(bytes);
    }

    simboard::PtyPort port;
    if (!port.Create(error)) {
        std::fprintf(stderr, "simboard: %s\n", error.c_str());
        return 1;
    }
    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(port.Path().c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "simboard: cannot link %s to %s: %s\n", link.c_str(), port.Path().c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    gStart = Clock::now();
    std::printf("%s\n", port.Path().c_str());
    std::fflush(stdout);

    board.onTransmit = [&](std::uint8_t byte) { port.Write(&byte, 1); };
    board.onLatch = [](bool high) { Event("latch %d", high ? 1 : 0); };
    board.onApplicationStart = [] { Event("start"); };
    board.onReceiverOn = [](std::uint32_t baud) { Event("listen %u", static_cast<unsigned>(baud)); };
    board.onHalt = [](const char* why) { Event("halt %s", why); };

    Clock::time_point base = Clock::now();
    std::uint64_t baseCycle = board.Cycle();
    auto reset = [&](const char* why) {
        board.Reset();
        Event("reset %s", why);
        base = Clock::now();
        baseCycle = board.Cycle();
    };
    auto powerUp = [&] {
        board.PowerUp();
        Event("reset power");
        base = Clock::now();
        baseCycle = board.Cycle();
    };
    // Power-up: the chip starts in the bootloader, as a real board does,
    // with RAM as the cells come up.
    powerUp();

    bool decideOnFirstByte = false;
    bool dtrHigh = false;
    Clock::time_point strayAt = Clock::time_point::max(); // none due
    std::uint8_t buffer[256];
    while (!gStop) {
        if (gResetButton.exchange(false))
            reset("button");
        if (gDtrDrop.exchange(false)) {
            dtrHigh = false;
            Event("dtr drop");
        }

        for (simboard::PtyPort::LineChange line = port.NextChange();
             line.change != simboard::PtyPort::Change::None; line = port.NextChange()) {
            if (line.change == simboard::PtyPort::Change::Opened) {
                Event("open");
                // The board's DTR line reaches the reset pin through a
                // capacitor: only its rise resets the chip.
                if (!dtrHigh && resetOnOpen == ResetOnOpen::Dtr) {
                    reset("open");
                    if (strayByte)
                        strayAt = Clock::now() + kStrayAfterReset;
                }
                dtrHigh = true;
                decideOnFirstByte = resetOnOpen == ResetOnOpen::Upload;
            } else {
                Event("close");
                if (line.dtrDropped)
                    dtrHigh = false;
                decideOnFirstByte = false;
            }
        }

        if (Clock::now() >= strayAt) {
            strayAt = Clock::time_point::max();
            port.Write(&kStrayByte, 1);
            Event("stray");
        }

        const std::size_t n = port.Read(buffer, sizeof buffer);
        if (n > 0) {
            const std::uint32_t baud = port.HostBaud();
            // The opener has set its line speed by the time it first writes:
            // the uploader talks at the bootloader's speed, the controller at
            // the firmware's.
            if (decideOnFirstByte) {
                decideOnFirstByte = false;
                if (baud == kBootloaderBaud)
                    reset("upload");
            }
            board.QueueFromHost(buffer, n, baud);
        }
        port.Flush();

        const Clock::time_point now = Clock::now();
        if (now - base > kMaxLag && board.Cycle() < baseCycle + static_cast<std::uint64_t>(
                std::chrono::duration<double>(now - base - kMaxLag).count() * simboard::kCpuHz)) {
            base = now;
            baseCycle = board.Cycle();
        }
        const auto elapsed = std::chrono::duration<double>(now - base).count();
        board.RunUntil(baseCycle + static_cast<std::uint64_t>(elapsed * simboard::kCpuHz));
        port.Wait(1);
    }

    if (!eepromFile.empty() && !WriteFile(eepromFile, board.Eeprom()))
        std::fprintf(stderr, "simboard: cannot write the EEPROM to %s\n", eepromFile.c_str());
    if (!link.empty())
        unlink(link.c_str());
    return 0;
}
