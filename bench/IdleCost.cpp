// Idle cost: CPU time that the window uses in 10 s connected to a silent stopwatch, in this process
// and offscreen: on the in-memory driver stand-in (the window's own cost) and on the program's tty
// layer over a pseudo-terminal (what a real line adds); the baseline is the same window left
// disconnected. Every run is a fresh process. idle-program.sh measures the real program under the
// simulator.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "app/CDIZUravavedVKX260Dlg.h"
#include "bench/ProcessStatus.h"
#include "bench/PtyBridgeDriver.h"
#include "bench/Stats.h"
#include "bench/TimedBridgeDriver.h"
#include "framework/MessageBox.h"
#include "res/ResourceIds.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kSettle = 1s;
constexpr auto kWindow = 10s;
constexpr int kRuns = 3;
constexpr double kTargetPercent = 1.0;

enum class Driver { StandIn, Pty };

// Which driver the window runs on, and whether it connects.
struct Mode {
    const char* name;
    const char* label;
    Driver driver;
    bool connect;
};

const Mode kModes[] = {
    {"disconnected", "window disconnected (baseline)", Driver::StandIn, false},
    {"stand-in", "connected, driver stand-in", Driver::StandIn, true},
    {"pty", "connected, tty layer on a pseudo-terminal", Driver::Pty, true},
};

void RunEventLoopFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// One run, in this process: prints the CPU share in percent of one core, or fails.
int RunOnce(int argc, char** argv, const Mode& mode) {
    QApplication application(argc, argv);
    int boxes = 0;
    SetMessageBoxPresenter([&](const MessageBoxRequest&) {
        ++boxes;
        return IDOK;
    });
    TimedBridgeDriver standIn;
    PtyBridgeDriver pty;
    const std::unique_ptr<CDIZUravavedVKX260Dlg> dialog =
        mode.driver == Driver::Pty ? std::make_unique<CDIZUravavedVKX260Dlg>(pty)
                                   : std::make_unique<CDIZUravavedVKX260Dlg>(standIn);
    if (!dialog->Create()) {
        return EXIT_FAILURE;
    }
    if (mode.connect) {
        dialog->SendCommand(res::IDC_CONNECT);
        if (!dialog->IsPolling()) {
            return EXIT_FAILURE;
        }
    }
    RunEventLoopFor(kSettle);
    const auto cpuStart = ProcessCpuTime();
    const auto wallStart = std::chrono::steady_clock::now();
    RunEventLoopFor(kWindow);
    const double cpu = std::chrono::duration<double>(ProcessCpuTime() - cpuStart).count();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    // A box would mean that the connection failed or broke during the run.
    if (boxes != 0 || dialog->IsPolling() != mode.connect) {
        return EXIT_FAILURE;
    }
    std::printf("%f\n", 100.0 * cpu / wall);
    return EXIT_SUCCESS;
}

std::optional<double> MeasureInFreshProcess(const Mode& mode) {
    const std::optional<std::string> output = RunSelf({"--once", mode.name});
    double percent = 0;
    if (!output || std::sscanf(output->c_str(), "%lf", &percent) != 1) {
        return std::nullopt;
    }
    return percent;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (argc > 2 && std::strcmp(argv[1], "--once") == 0) {
        for (const Mode& mode : kModes) {
            if (std::strcmp(argv[2], mode.name) == 0) {
                return RunOnce(argc, argv, mode);
            }
        }
        return EXIT_FAILURE;
    }
    std::printf(
        "Idle cost: CPU time of the window over %lld s, in %% of one core; %d runs, each a fresh "
        "process\n",
        static_cast<long long>(kWindow.count()), kRuns);
    std::printf("%-44s %10s %10s\n", "", "median", "worst");
    bool met = true;
    for (const Mode& mode : kModes) {
        Samples percent;
        for (int run = 0; run < kRuns; ++run) {
            if (const std::optional<double> measured = MeasureInFreshProcess(mode)) {
                percent.Add(*measured);
            }
        }
        if (percent.Count() != static_cast<std::size_t>(kRuns)) {
            std::printf("%-44s FAULT: %zu of %d runs finished\n", mode.label, percent.Count(), kRuns);
            met = false;
            continue;
        }
        std::printf("%-44s %10.2f %10.2f\n", mode.label, percent.Median(), percent.Highest());
        if (mode.connect) {
            met &= Report(
                {Format("idle CPU %%, %s, worst run", mode.name), percent.Highest(), kTargetPercent, false});
        }
    }
    return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
