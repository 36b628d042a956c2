// SPDX-License-Identifier: GPL-3.0-or-later
// An Arduino Diecimila-class board in simavr: an ATmega168 at 16 MHz that
// starts in the Diecimila bootloader, with its UART, its latch output and its
// EEPROM reachable from the host.
#ifndef VANDREL_SIMBOARD_SIMBOARD_H
#define VANDREL_SIMBOARD_SIMBOARD_H

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct avr_t;
struct avr_irq_t;
struct avr_uart_t;

namespace simboard {

constexpr std::uint32_t kCpuHz = 16'000'000;
constexpr std::uint32_t kBootSectionStart = 0x3800; // 1024 words at the top of 16 KiB
constexpr std::uint32_t kFlashSize = 0x4000;
constexpr std::uint32_t kEepromSize = 512;

// Latch output: digital pin 8, PB0.
constexpr char kLatchPort = 'B';
constexpr int kLatchBit = 0;

class SimBoard {
public:
    SimBoard();
    ~SimBoard();
    SimBoard(const SimBoard&) = delete;
    SimBoard& operator=(const SimBoard&) = delete;

    // Loads an Intel hex file into flash at its own addresses; false with a
    // reason when it cannot be read or does not fit.
    bool LoadHex(const std::string& path, std::string& error);

    // The chip's reset line: the bootloader runs first, as after a real reset.
    // The I/O registers take their reset values; RAM and the register file
    // keep what they held, as on the chip.
    void Reset();
    // Power coming on: RAM and the register file hold whatever the cells
    // come up with (random here), then the chip starts as after a reset.
    void PowerUp();

    // Runs the chip up to the given cycle count.
    void RunUntil(std::uint64_t cycle);
    std::uint64_t Cycle() const;

    // Bytes from the host wire, at the host's line speed (bits per second).
    // They go over the line one character after the other, and the receiver
    // takes each as it is set when that character's start bit comes, not as
    // it was when the host wrote: a character that starts while the receiver
    // is off is not seen, and when the two speeds differ the chip receives
    // what its receiver samples from the host's waveform. A character that
    // ends while the receiver already holds three characters is lost, as on
    // the real chip.
    void QueueFromHost(const std::uint8_t* bytes, std::size_t n, std::uint32_t hostBaud);

    // Called with every byte the chip transmits.
    std::function<void(std::uint8_t)> onTransmit;
    // Called when the latch output changes (true = high, latch open).
    std::function<void(bool)> onLatch;
    // Called when execution first leaves the boot section after a reset.
    std::function<void()> onApplicationStart;
    // Called, with the chip's line speed, when the application (not the
    // bootloader) first turns the UART's receiver on after a reset: from then
    // on, what the host sends is read at the application's speed.
    std::function<void(std::uint32_t)> onReceiverOn;
    // Called when the simulated core stops for good (a crash, or sleeping
    // with interrupts off); the board then stays silent until the next reset.
    std::function<void(const char*)> onHalt;

    bool Latch() const { return latch_; }
    std::uint32_t ChipBaud() const;

    std::vector<std::uint8_t> Eeprom() const;
    void SetEeprom(const std::vector<std::uint8_t>& bytes);

    // Hands the character on the line to the receiver as its stop bit
    // arrives, and starts the next; run from a cycle timer.
    void FeedHostFromTimer();

private:
    void UpdateLatch();
    void SetLatchFrom(std::uint8_t port, std::uint8_t ddr);
    void StartHostCharacter(std::uint64_t startCycle);
    static void UartOutput(avr_irq_t* irq, std::uint32_t value, void* param);
    static void PortChanged(avr_irq_t* irq, std::uint32_t value, void* param);
    static void UartControlWritten(avr_t* avr, std::uint16_t address, std::uint8_t value, void* param);

    avr_t* avr_ = nullptr;
    avr_uart_t* uart_ = nullptr;
    bool latch_ = false;
    bool inBootloader_ = true;
    bool receiverReported_ = false;
    bool halted_ = false;

    struct HostByte {
        std::uint8_t value;
        std::uint32_t baud;
    };
    std::deque<HostByte> fromHost_; // written by the host, not yet on the line
    // The character on the line: what the receiver made of its start (the
    // byte, with the framing-error flag when garbled; -1 when it was not
    // seen) and the cycle at which its stop bit has arrived.
    bool onLine_ = false;
    int lineValue_ = -1;
    std::uint64_t lineEnd_ = 0;
};

} // namespace simboard

#endif
