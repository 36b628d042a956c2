// How long an upload of Cadrelle.hex onto the simulated board takes (Debian's
// avrdude with the Test window's words, 19200 baud through the Diecimila
// bootloader), and how long one "T" exchange through the controller's own
// exchange takes against the firmware on the board (9600 baud on the wire),
// next to the same exchange against the simulated safe on the host. Prints
// the median and 95th percentile. Figures only: it never fails on time.
//
//   bench_firmware [uploads] [exchanges]    (default 3 uploads, 100 exchanges)

#include "BenchStats.h"
#include "SafeExchange.h"
#include "Settings.h"
#include "SimBoardProcess.h"
#include "TempSettingsHome.h"
#ifdef VANDREL_BENCH_SIMSAFE
#include "SimSafeProcess.h"
#endif

#include <QCoreApplication>

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

void PrintRow(const char *what, const std::vector<double> &ms, int failed)
{
    std::printf("%-44s %10.1f %10.1f %7d\n", what, Percentile(ms, 50), Percentile(ms, 95), failed);
}

struct ExchangeSeries {
    std::vector<double> ms;
    int failed = 0;
};

ExchangeSeries TimeExchanges(const std::string &port, int count)
{
    ExchangeSeries s;
    settings::SetSerialPort(QString::fromStdString(port));
    std::string reply;
    for (int i = 0; i < count; ++i) {
        const Clock::time_point start = Clock::now();
        const bool ok = SafeExchange("T", reply);
        s.ms.push_back(Millis(Clock::now() - start).count());
        if (!ok)
            ++s.failed;
    }
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int uploads = argc > 1 ? std::atoi(argv[1]) : 3;
    const int exchanges = argc > 2 ? std::atoi(argv[2]) : 100;
    if (uploads <= 0 || exchanges <= 0) {
        std::fprintf(stderr, "usage: bench_firmware [uploads] [exchanges]\n");
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

    testsupport::SimBoardProcess board;
    if (!board.start()) {
        std::fprintf(stderr, "bench_firmware: %s\n", board.errorText().c_str());
        return 1;
    }

    std::vector<double> uploadMs;
    std::vector<double> runningMs;
    int uploadFailed = 0;
    for (int i = 0; i < uploads; ++i) {
        std::string log;
        const Clock::time_point start = Clock::now();
        const int code = testsupport::RunAvrdude(board.portPath(), "Cadrelle.hex", workDir, log);
        uploadMs.push_back(Millis(Clock::now() - start).count());
        if (code != 0 || log.find("bytes of flash verified") == std::string::npos) {
            ++uploadFailed;
            continue;
        }
        // The bootloader starts the new program once the uploader has been
        // silent for its wait; a command sent before the program listens is lost.
        if (board.waitFor("start", 5s) && board.waitFor("listen", 1s))
            runningMs.push_back(Millis(Clock::now() - start).count());
        else
            ++uploadFailed;
    }

    const ExchangeSeries firmware = TimeExchanges(board.portPath(), exchanges);
    board.stop();

    std::printf("Cadrelle.hex (%ju bytes of Intel hex) on the simulated board; %d uploads, %d \"T\" exchanges\n",
                static_cast<std::uintmax_t>(hexBytes), uploads, exchanges);
    std::printf("%-44s %10s %10s %7s\n", "", "median ms", "p95 ms", "failed");
    PrintRow("upload: avrdude writes and verifies", uploadMs, uploadFailed);
    PrintRow("upload until the firmware runs", runningMs, uploadFailed);
    PrintRow("\"T\" exchange, firmware on the simulated board", firmware.ms, firmware.failed);

    int failed = uploadFailed + firmware.failed;
#ifdef VANDREL_BENCH_SIMSAFE
    testsupport::SimSafeProcess safe;
    if (safe.start()) {
        const ExchangeSeries host = TimeExchanges(safe.portPath(), exchanges);
        PrintRow("\"T\" exchange, simulated safe on the host", host.ms, host.failed);
        failed += host.failed;
    } else {
        std::fprintf(stderr, "bench_firmware: %s\n", safe.errorText().c_str());
        ++failed;
    }
#endif
    return failed == 0 ? 0 : 1;
}
