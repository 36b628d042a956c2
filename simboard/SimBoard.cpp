// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimBoard.h"

#include <simavr/avr_eeprom.h>
#include <simavr/avr_ioport.h>
#include <simavr/avr_uart.h>
#include <simavr/sim_avr.h>
#include <simavr/sim_io.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

DEFINE_FIFO(uint16_t, uart_fifo);

namespace simboard {
namespace {

// ATmega168 data-space addresses of the registers the board looks at.
constexpr unsigned kUcsr0a = 0xC0;
constexpr unsigned kUcsr0b = 0xC1;
constexpr unsigned kUbrr0l = 0xC4;
constexpr unsigned kUbrr0h = 0xC5;
constexpr unsigned kU2x0 = 1;
constexpr unsigned kRxen0 = 4;
constexpr unsigned kDdrb = 0x24;
constexpr unsigned kPortb = 0x25;

// The receiver holds two characters in its buffer and one in its shift
// register; a further one overruns.
constexpr unsigned kReceiverDepth = 3;

// Within this many percent the receiver reads the host's characters right.
constexpr double kBaudTolerance = 0.04;

void NoSleep(avr_t*, avr_cycle_count_t)
{
    // Pacing to real time is the caller's business; a sleeping core just
    // skips ahead to its next event.
}

// What a receiver at chipBaud makes of one character sent at hostBaud: it
// starts at the falling edge of the start bit and samples each of its bits in
// the middle. Only the first character it sees in the host's frame is kept.
// Returns -1 when the start bit does not hold up to the middle sample.
int Garble(std::uint8_t byte, double hostBaud, double chipBaud)
{
    auto level = [&](double t) {
        const int bit = static_cast<int>(std::floor(t * hostBaud));
        if (bit <= 0)
            return 0; // start bit
        if (bit <= 8)
            return (byte >> (bit - 1)) & 1;
        return 1; // stop bit, then idle
    };
    if (level(0.5 / chipBaud) != 0)
        return -1;
    int value = 0;
    for (int k = 1; k <= 8; ++k)
        value |= level((k + 0.5) / chipBaud) << (k - 1);
    if (level(9.5 / chipBaud) == 0)
        value |= UART_INPUT_FE;
    return value;
}

avr_cycle_count_t FeedTimer(avr_t*, avr_cycle_count_t, void* param);

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

SimBoard::SimBoard()
{
    avr_ = avr_make_mcu_by_name("atmega168");
    if (avr_ == nullptr)
        throw std::runtime_error("simavr does not know the ATmega168");
    avr_init(avr_);
    avr_->frequency = kCpuHz;
    avr_->sleep = NoSleep;
    avr_->log = LOG_ERROR;
    avr_->codeend = avr_->flashend;
    // The fuses of a Diecimila point the reset vector at the boot section.
    avr_->reset_pc = kBootSectionStart;

    for (avr_io_t* io = avr_->io_port; io != nullptr; io = io->next) {
        if (io->kind != nullptr && std::strcmp(io->kind, "uart") == 0) {
            uart_ = reinterpret_cast<avr_uart_t*>(io);
            break;
        }
    }
    if (uart_ == nullptr)
        throw std::runtime_error("simavr's ATmega168 has no UART");

    avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT),
                            &SimBoard::UartOutput, this);
    avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ(kLatchPort), IOPORT_IRQ_REG_PORT),
                            &SimBoard::PortChanged, this);
    avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ(kLatchPort), IOPORT_IRQ_DIRECTION_ALL),
                            &SimBoard::PortChanged, this);
    // Beside the UART's own handler, which stores the value.
    avr_register_io_write(avr_, kUcsr0b, &SimBoard::UartControlWritten, this);
    Reset();
}

SimBoard::~SimBoard()
{
    if (avr_ != nullptr) {
        avr_terminate(avr_);
        std::free(avr_);
    }
}

bool SimBoard::LoadHex(const std::string& path, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    // Intel hex: data records (00) at 16-bit addresses, moved by extended
    // segment (02) and linear (04) address records, up to the end record (01).
    std::vector<std::uint8_t> flash(avr_->flash, avr_->flash + kFlashSize);
    std::uint32_t base = 0;
    std::string line;
    int lineNumber = 0;
    bool ended = false;
    while (!ended && std::getline(in, line)) {
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty())
            continue;
        auto bad = [&](const char* what) {
            error = path + ":" + std::to_string(lineNumber) + ": " + what;
            return false;
        };
        if (line[0] != ':' || line.size() < 11 || line.size() % 2 == 0)
            return bad("not an Intel hex record");
        std::vector<std::uint8_t> record;
        for (std::size_t i = 1; i < line.size(); i += 2) {
            const int hi = HexValue(line[i]);
            const int lo = HexValue(line[i + 1]);
            if (hi < 0 || lo < 0)
                return bad("not a hexadecimal digit");
            record.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
        const std::size_t count = record[0];
        if (record.size() != count + 5)
            return bad("record length does not match its count");
        std::uint8_t sum = 0;
        for (std::uint8_t b : record)
            sum = static_cast<std::uint8_t>(sum + b);
        if (sum != 0)
            return bad("checksum does not match");
        const std::uint32_t offset = static_cast<std::uint32_t>(record[1] << 8 | record[2]);
        const std::uint8_t* data = record.data() + 4;
        switch (record[3]) {
        case 0x00:
            if (base + offset + count > kFlashSize)
                return bad("data beyond the ATmega168's 16 KiB of flash");
            std::copy(data, data + count, flash.begin() + base + offset);
            break;
        case 0x01:
            ended = true;
            break;
        case 0x02:
            if (count != 2)
                return bad("bad extended segment address");
            base = static_cast<std::uint32_t>(data[0] << 8 | data[1]) << 4;
            break;
        case 0x04:
            if (count != 2)
                return bad("bad extended linear address");
            base = static_cast<std::uint32_t>(data[0] << 8 | data[1]) << 16;
            break;
        case 0x03:
        case 0x05:
            break; // start addresses: the chip starts at its reset vector
        default:
            return bad("unknown record type");
        }
    }
    if (!ended) {
        error = path + ": no end record";
        return false;
    }
    std::copy(flash.begin(), flash.end(), avr_->flash);
    return true;
}

void SimBoard::Reset()
{
    avr_reset(avr_);
    avr_->pc = avr_->reset_pc;
    avr_->state = cpu_Running;
    // simavr's UART sleeps on every poll of an empty receiver, which slows
    // the bootloader's wait loop to a crawl, and echoes lines to the console.
    std::uint32_t flags = 0;
    avr_ioctl(avr_, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
    flags &= ~static_cast<std::uint32_t>(AVR_UART_FLAG_POLL_SLEEP | AVR_UART_FLAG_STDIO);
    avr_ioctl(avr_, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
    inBootloader_ = true;
    receiverReported_ = false;
    halted_ = false;
    // The reset clears the receiver, so the character on the line is lost;
    // the host goes on sending. A reset clears every cycle timer, the host's
    // feed included.
    if (onLine_) {
        lineValue_ = -1;
        avr_cycle_timer_register(avr_, lineEnd_ > avr_->cycle ? lineEnd_ - avr_->cycle : 1, FeedTimer, this);
    }
    UpdateLatch();
}

void SimBoard::PowerUp()
{
    // simavr clears RAM only when it makes the core; its reset, like the
    // chip's, leaves RAM alone.
    std::random_device seed;
    std::mt19937 cells(seed());
    for (std::uint32_t address = 0; address <= avr_->ramend; ++address) {
        if (address < 0x20 || address >= 0x100)
            avr_->data[address] = static_cast<std::uint8_t>(cells());
    }
    Reset();
}

std::uint64_t SimBoard::Cycle() const
{
    return avr_->cycle;
}

void SimBoard::RunUntil(std::uint64_t cycle)
{
    while (avr_->cycle < cycle) {
        if (halted_) {
            avr_->cycle = cycle;
            return;
        }
        avr_run(avr_);
        if (inBootloader_ && avr_->pc < kBootSectionStart) {
            inBootloader_ = false;
            if (onApplicationStart)
                onApplicationStart();
        }
        if (avr_->state == cpu_Done || avr_->state == cpu_Crashed) {
            halted_ = true;
            fromHost_.clear();
            onLine_ = false;
            if (onHalt)
                onHalt(avr_->state == cpu_Done ? "asleep with interrupts off" : "crashed");
        }
    }
}

std::uint32_t SimBoard::ChipBaud() const
{
    const unsigned ubrr = avr_->data[kUbrr0l] | ((avr_->data[kUbrr0h] & 0x0Fu) << 8);
    const unsigned divisor = (avr_->data[kUcsr0a] & (1u << kU2x0)) ? 8u : 16u;
    return kCpuHz / (divisor * (ubrr + 1));
}

void SimBoard::QueueFromHost(const std::uint8_t* bytes, std::size_t n, std::uint32_t hostBaud)
{
    if (halted_ || hostBaud == 0)
        return;
    for (std::size_t i = 0; i < n; ++i)
        fromHost_.push_back(HostByte{bytes[i], hostBaud});
    if (!onLine_)
        StartHostCharacter(avr_->cycle);
}

namespace {

avr_cycle_count_t FeedTimer(avr_t*, avr_cycle_count_t, void* param)
{
    static_cast<SimBoard*>(param)->FeedHostFromTimer();
    return 0;
}

} // namespace

void SimBoard::StartHostCharacter(std::uint64_t startCycle)
{
    onLine_ = !fromHost_.empty();
    if (!onLine_)
        return;
    const HostByte b = fromHost_.front();
    fromHost_.pop_front();
    // The receiver sees the start bit with the settings it has now: a
    // program that has only just set its speed receives at that speed.
    lineValue_ = -1;
    if (avr_->data[kUcsr0b] & (1u << kRxen0)) {
        const double chipBaud = ChipBaud();
        lineValue_ = b.value;
        if (std::fabs(chipBaud - b.baud) > kBaudTolerance * b.baud)
            lineValue_ = Garble(b.value, b.baud, chipBaud);
    }
    // simavr's receiver takes a character no faster than its own character
    // time (eleven bit times); characters handed over faster would pile up
    // in its queue and count as an overrun here.
    const std::uint64_t charCycles =
        std::max<std::uint64_t>(10ull * kCpuHz / b.baud, uart_->cycles_per_byte);
    lineEnd_ = startCycle + charCycles;
    avr_cycle_timer_register(avr_, lineEnd_ > avr_->cycle ? lineEnd_ - avr_->cycle : 1, FeedTimer, this);
}

void SimBoard::FeedHostFromTimer()
{
    if (!onLine_)
        return;
    const bool receiving = avr_->data[kUcsr0b] & (1u << kRxen0);
    avr_irq_t* input = avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    if (lineValue_ >= 0 && receiving && uart_fifo_get_read_size(&uart_->input) < kReceiverDepth)
        avr_raise_irq(input, static_cast<std::uint32_t>(lineValue_));
    // The host's next character follows at once.
    StartHostCharacter(lineEnd_);
}

void SimBoard::UartControlWritten(avr_t*, std::uint16_t, std::uint8_t value, void* param)
{
    auto* self = static_cast<SimBoard*>(param);
    if (self->inBootloader_ || self->receiverReported_ || (value & (1u << kRxen0)) == 0)
        return;
    self->receiverReported_ = true;
    if (self->onReceiverOn)
        self->onReceiverOn(self->ChipBaud());
}

void SimBoard::UartOutput(avr_irq_t*, std::uint32_t value, void* param)
{
    auto* self = static_cast<SimBoard*>(param);
    if (self->onTransmit)
        self->onTransmit(static_cast<std::uint8_t>(value));
}

void SimBoard::PortChanged(avr_irq_t* irq, std::uint32_t value, void* param)
{
    auto* self = static_cast<SimBoard*>(param);
    // The notification comes before the register is stored, so take the new
    // value from it and the other register from memory.
    std::uint8_t port = self->avr_->data[kPortb];
    std::uint8_t ddr = self->avr_->data[kDdrb];
    if (irq->irq == IOPORT_IRQ_REG_PORT)
        port = static_cast<std::uint8_t>(value);
    else
        ddr = static_cast<std::uint8_t>(value);
    self->SetLatchFrom(port, ddr);
}

void SimBoard::UpdateLatch()
{
    SetLatchFrom(avr_->data[kPortb], avr_->data[kDdrb]);
}

void SimBoard::SetLatchFrom(std::uint8_t port, std::uint8_t ddr)
{
    // An input pin floats and the driver's pull-down keeps the latch shut,
    // whatever the pull-up setting in the port register.
    const bool high = (ddr & port & (1u << kLatchBit)) != 0;
    if (high != latch_) {
        latch_ = high;
        if (onLatch)
            onLatch(high);
    }
}

std::vector<std::uint8_t> SimBoard::Eeprom() const
{
    avr_eeprom_desc_t desc{};
    desc.offset = 0;
    desc.size = kEepromSize;
    avr_ioctl(avr_, AVR_IOCTL_EEPROM_GET, &desc);
    if (desc.ee == nullptr)
        return {};
    return std::vector<std::uint8_t>(desc.ee, desc.ee + kEepromSize);
}

void SimBoard::SetEeprom(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> copy(bytes);
    copy.resize(kEepromSize, 0xFF);
    avr_eeprom_desc_t desc{};
    desc.ee = copy.data();
    desc.offset = 0;
    desc.size = kEepromSize;
    avr_ioctl(avr_, AVR_IOCTL_EEPROM_SET, &desc);
}

} // namespace simboard
