// SPDX-License-Identifier: GPL-3.0-or-later
// Cadrelle on the simulated board as sold (auto-reset on DTR), through the
// controller's own code: uploads with no reset button (the Test window's
// preparation, which drops DTR, then Debian's avrdude with the Test window's
// words), the first "T" exchange after each upload (the board restarts and
// the exchange waits for it), and later "T" exchanges against the wire time
// of their bytes at 9600 baud, next to the same exchange against the
// simulated safe on the host. Then the first "T" exchange after a reset the
// port's flag shows, with each wait for the bootloader's hand-over in
// kWaits, and after a reset nothing shows (answered by the repeat). Prints
// the median, 95th percentile and maximum. Figures only: it never fails on
// time.
//
//   bench_firmware [uploads] [exchanges] [resets]
//   (default 10 uploads, 100 exchanges, 20 resets for each wait)

#include "BenchStats.h"
#include "PortLine.h"
#include "SafeExchange.h"
#include "SafeExchangeDetail.h"
#include "Settings.h"
#include "SimBoardProcess.h"
#include "TempSettingsHome.h"
#ifdef VANDREL_BENCH_SIMSAFE
#include "SimSafeProcess.h"
#endif

#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using bench::Clock;
using bench::Millis;
using bench::Percentile;

constexpr double kBaud = 9600;
constexpr double kBitsPerByte = 10; // start, 8 data, stop

// The waits after a reset tried: around the 1.33 s the simulated board's
// hand-over takes, up to the program's own kBootloaderHandOver.
constexpr std::chrono::milliseconds kWaits[] = {1350ms, 1400ms, 1450ms, 1500ms, 1600ms, 1800ms, 2000ms};

void PrintRow(const std::string &what, const std::vector<double> &ms, const std::string &note)
{
    std::printf("%-52s %9.1f %9.1f %9.1f  %s\n", what.c_str(), Percentile(ms, 50), Percentile(ms, 95),
                Percentile(ms, 100), note.c_str());
}

struct ExchangeSeries {
    std::vector<double> ms;
    int failed = 0;
    std::size_t wireBytes = 0; // command and reply, three copies each with full stops
};

ExchangeSeries TimeExchanges(int count)
{
    ExchangeSeries s;
    for (int i = 0; i < count; ++i) {
        std::string reply;
        const Clock::time_point start = Clock::now();
        const bool ok = SafeExchange("T", reply);
        s.ms.push_back(Millis(Clock::now() - start).count());
        if (!ok)
            ++s.failed;
        else
            s.wireBytes = 3 * (1 + 1) + 3 * (reply.size() + 1);
    }
    return s;
}

std::string Failed(int failed)
{
    return failed == 0 ? std::string() : std::to_string(failed) + " failed";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int uploads = argc > 1 ? std::atoi(argv[1]) : 10;
    const int exchanges = argc > 2 ? std::atoi(argv[2]) : 100;
    const int resets = argc > 3 ? std::atoi(argv[3]) : 20;
    if (uploads <= 0 || exchanges <= 0 || resets <= 0) {
        std::fprintf(stderr, "usage: bench_firmware [uploads] [exchanges] [resets]\n");
        return 2;
    }
    testsupport::TempSettingsHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "bench_firmware: no temporary settings home\n");
        return 1;
    }
    const std::string workDir = home.path().toStdString();
    std::filesystem::copy_file(testsupport::FirmwarePath("Cadrelle"), workDir + "/Cadrelle.hex");
    const auto hexBytes = std::filesystem::file_size(workDir + "/Cadrelle.hex");

    // A blank board as sold, just plugged in.
    testsupport::SimBoardProcess board;
    if (!board.start({"--reset-on-open", "dtr"})) {
        std::fprintf(stderr, "bench_firmware: %s\n", board.errorText().c_str());
        return 1;
    }
    settings::SetSerialPort(board.portPath());

    std::vector<double> uploadMs;
    std::vector<double> firstMs;
    int uploaded = 0;
    int firstFailed = 0;
    for (int i = 0; i < uploads; ++i) {
        std::string log;
        const Clock::time_point start = Clock::now();
        portline::DropDtrUntilNextOpening(QString::fromStdString(board.portPath()));
        const int code = testsupport::RunAvrdude(board.portPath(), "Cadrelle.hex", workDir, log);
        uploadMs.push_back(Millis(Clock::now() - start).count());
        if (code == 0 && log.find("bytes of flash verified") != std::string::npos)
            ++uploaded;
        // At once, while the bootloader may still wait after the upload.
        const ExchangeSeries first = TimeExchanges(1);
        firstMs.push_back(first.ms.front());
        firstFailed += first.failed;
    }

    const ExchangeSeries later = TimeExchanges(exchanges);

    // Resets the port's flag shows (a program closed the port with HUPCL
    // set), each followed at once by one "T" that waits as long as given.
    struct WaitRow {
        std::chrono::milliseconds wait;
        std::vector<double> ms;
        int failed = 0;
    };
    std::vector<WaitRow> waitRows;
    for (const std::chrono::milliseconds wait : kWaits) {
        WaitRow row{wait, {}, 0};
        for (int i = 0; i < resets; ++i) {
            portline::DropDtrUntilNextOpening(QString::fromStdString(board.portPath()));
            std::string reply;
            const Clock::time_point start = Clock::now();
            const bool ok =
                safeexchange::detail::Exchange("T", reply, safeexchange::detail::ReadEnd::AtThirdStop, wait);
            row.ms.push_back(Millis(Clock::now() - start).count());
            row.failed += ok ? 0 : 1;
            // A failed exchange leaves the firmware a half command to drop.
            if (!ok)
                TimeExchanges(1);
        }
        waitRows.push_back(row);
    }
    // Resets nothing shows (DTR dropped by another program, HUPCL clear).
    ExchangeSeries unseen;
    for (int i = 0; i < resets; ++i) {
        board.waitUntilPortClosed(1s);
        board.dropDtr();
        board.waitFor("dtr drop", 1s);
        const ExchangeSeries one = TimeExchanges(1);
        unseen.ms.push_back(one.ms.front());
        unseen.failed += one.failed;
    }
    board.stop();

    std::printf("Cadrelle.hex (%ju bytes of Intel hex) on the simulated board as sold (reset on DTR)\n",
                static_cast<std::uintmax_t>(hexBytes));
    std::printf("%-52s %9s %9s %9s\n", "", "median ms", "p95 ms", "max ms");
    PrintRow("upload without a button (drop DTR, avrdude)", uploadMs,
             std::to_string(uploaded) + " of " + std::to_string(uploads) + " uploads verified");
    PrintRow("first \"T\" exchange after an upload", firstMs, Failed(firstFailed));
    PrintRow("later \"T\" exchanges", later.ms, std::to_string(exchanges) + " exchanges " + Failed(later.failed));
    std::printf("wire time of a \"T\" exchange's %zu bytes at 9600 baud: %.1f ms\n", later.wireBytes,
                double(later.wireBytes) * kBitsPerByte / kBaud * 1000.0);
    int failed = (uploads - uploaded) + firstFailed + later.failed;
    std::printf("first \"T\" after a reset, %d resets each (the program waits %lld ms):\n", resets,
                static_cast<long long>(safeexchange::kBootloaderHandOver.count()));
    for (const WaitRow &row : waitRows) {
        PrintRow("  waiting " + std::to_string(row.wait.count()) + " ms for the hand-over", row.ms,
                 std::to_string(row.failed) + " of " + std::to_string(resets) + " failed");
        if (row.wait == safeexchange::kBootloaderHandOver)
            failed += row.failed;
    }
    PrintRow("  after a reset nothing showed (by the repeat)", unseen.ms,
             std::to_string(unseen.failed) + " of " + std::to_string(resets) + " failed");
    failed += unseen.failed;
#ifdef VANDREL_BENCH_SIMSAFE
    testsupport::SimSafeProcess safe;
    if (safe.start()) {
        settings::SetSerialPort(safe.portPath());
        const ExchangeSeries host = TimeExchanges(exchanges);
        PrintRow("\"T\" exchange, simulated safe on the host", host.ms, Failed(host.failed));
        failed += host.failed;
    } else {
        std::fprintf(stderr, "bench_firmware: %s\n", safe.errorText().c_str());
        ++failed;
    }
#endif
    return failed == 0 ? 0 : 1;
}
