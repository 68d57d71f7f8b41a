// List scale: 100,000 rows appended through the window's poll path on the fake driver, each
// scrolled into view, then saved. The first and the last 1,000 rows are also painted one by one, to
// show that neither appending nor painting a row grows with the list. Every run is a fresh
// process, so that the resident memory it adds is its own.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/CDIZUravavedVKX260Dlg.h"
#include "bench/ProcessStatus.h"
#include "bench/Stats.h"
#include "bench/StdoutToNull.h"
#include "bench/TemporaryStateHome.h"
#include "framework/CFileDialog.h"
#include "framework/MessageBox.h"
#include "res/ResourceIds.h"
#include "sim/FrameEncoder.h"
#include "tests/support/FakeBridgeDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRows = 100000;
constexpr int kEdgeRows = 1000;  // rows at the start and at the end whose times are compared
constexpr int kRuns = 5;
// In operation every row has an event-loop turn of its own, at most one every 10 ms poll period: a
// tick that appends a row may cost 1 % of that, also at the 100,000th row. The time to append all
// rows in a tight loop is a figure, not a target.
constexpr double kTickTargetUs = 100.0;
constexpr double kSaveTargetS = 0.3;
constexpr double kMemoryTargetMb = 60.0;
constexpr double kGrowthLimit = 2.0;  // time per row at the end against the start

struct Figures {
    double appendS = 0;
    double firstRowsUs = 0;   // median time of a tick that appends a row, over the first kEdgeRows
    double lastRowsUs = 0;    // the same over the last kEdgeRows
    double firstPaintUs = 0;  // median time to paint the window after such a tick, first kEdgeRows
    double lastPaintUs = 0;   // the same over the last kEdgeRows
    double saveS = 0;
    double addedMb = 0;
    bool complete = false;  // every row listed, saved, and the file holds every line
};

std::vector<uint8_t> FrameFor(FrameEncoder& encoder, int row) {
    const int ms = row * 37;
    return encoder.Encode(FrameEncoder::EventPayload(
        static_cast<uint8_t>(1 + row % 4), static_cast<uint8_t>(ms / 3600000 % 256),
        static_cast<uint8_t>(ms / 60000 % 60), static_cast<uint8_t>(ms / 1000 % 60),
        static_cast<uint16_t>(ms % 1000)));
}

bool FileHoldsEveryRow(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    int lines = 0;
    std::string last;
    while (std::getline(file, line)) {
        ++lines;
        last = line;
    }
    return lines == kRows + 1 && last.rfind(std::to_string(kRows) + ",", 0) == 0;
}

// One run, in this process: returns its figures.
Figures MeasureOnce(const std::filesystem::path& directory) {
    Figures figures;
    const std::filesystem::path file = directory / "zeiten.csv";
    int boxes = 0;
    SetMessageBoxPresenter([&](const MessageBoxRequest&) {
        ++boxes;
        return IDOK;
    });
    SetFileChooser([&](const FileDialogRequest&) { return std::optional<std::string>(file.string()); });

    FakeBridgeDriver driver;
    CDIZUravavedVKX260Dlg dialog(driver);
    if (!dialog.Create()) {
        return figures;
    }
    dialog.SendCommand(res::IDC_CONNECT);
    QApplication::processEvents();
    const std::size_t residentBefore = ResidentBytes();

    FrameEncoder encoder;
    Samples firstTicks, lastTicks, firstPaints, lastPaints;
    Clock::duration appending{};
    {
        const StdoutToNull quiet;
        for (int row = 0; row < kRows; ++row) {
            driver.Deliver(FrameFor(encoder, row));
            const Clock::time_point start = Clock::now();
            dialog.OnTimer(CDIZUravavedVKX260Dlg::kPollTimerId);
            const Clock::time_point appended = Clock::now();
            appending += appended - start;
            const bool first = row < kEdgeRows;
            const bool last = row >= kRows - kEdgeRows;
            if (first || last) {
                QApplication::processEvents();
                const double tickUs = std::chrono::duration<double, std::micro>(appended - start).count();
                const double paintUs =
                    std::chrono::duration<double, std::micro>(Clock::now() - appended).count();
                (first ? firstTicks : lastTicks).Add(tickUs);
                (first ? firstPaints : lastPaints).Add(paintUs);
            }
        }
    }
    const std::size_t residentAfter = ResidentBytes();

    const Clock::time_point saveStart = Clock::now();
    dialog.SaveListCommand();
    figures.saveS = std::chrono::duration<double>(Clock::now() - saveStart).count();

    figures.appendS = std::chrono::duration<double>(appending).count();
    figures.firstRowsUs = firstTicks.Median();
    figures.lastRowsUs = lastTicks.Median();
    figures.firstPaintUs = firstPaints.Median();
    figures.lastPaintUs = lastPaints.Median();
    figures.addedMb =
        (static_cast<double>(residentAfter) - static_cast<double>(residentBefore)) / (1024 * 1024);
    figures.complete = dialog.TimeList().GetItemCount() == kRows && !dialog.HasUnsavedRows() && boxes == 1 &&
                       FileHoldsEveryRow(file);
    return figures;
}

int RunOnce(int argc, char** argv) {
    QApplication application(argc, argv);
    const TemporaryStateHome stateHome;
    char directory[] = "/tmp/vkx-bench-list-XXXXXX";
    if (::mkdtemp(directory) == nullptr) {
        return EXIT_FAILURE;
    }
    const Figures figures = MeasureOnce(directory);
    std::filesystem::remove_all(directory);
    std::printf("%f %f %f %f %f %f %f %d\n", figures.appendS, figures.firstRowsUs, figures.lastRowsUs,
                figures.firstPaintUs, figures.lastPaintUs, figures.saveS, figures.addedMb,
                figures.complete ? 1 : 0);
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (argc > 1 && std::strcmp(argv[1], "--once") == 0) {
        return RunOnce(argc, argv);
    }
    Samples append, firstRows, lastRows, growth, firstPaints, lastPaints, paintGrowth, save, added;
    bool complete = true;
    for (int run = 0; run < kRuns; ++run) {
        const std::optional<std::string> output = RunSelf({"--once"});
        Figures figures;
        int completeFlag = 0;
        if (!output ||
            std::sscanf(output->c_str(), "%lf %lf %lf %lf %lf %lf %lf %d", &figures.appendS,
                        &figures.firstRowsUs, &figures.lastRowsUs, &figures.firstPaintUs,
                        &figures.lastPaintUs, &figures.saveS, &figures.addedMb, &completeFlag) != 8) {
            std::printf("FAULT: run %d did not finish\n", run + 1);
            return EXIT_FAILURE;
        }
        complete = complete && completeFlag == 1;
        append.Add(figures.appendS);
        firstRows.Add(figures.firstRowsUs);
        lastRows.Add(figures.lastRowsUs);
        growth.Add(figures.lastRowsUs / figures.firstRowsUs);
        firstPaints.Add(figures.firstPaintUs);
        lastPaints.Add(figures.lastPaintUs);
        paintGrowth.Add(figures.lastPaintUs / figures.firstPaintUs);
        save.Add(figures.saveS);
        added.Add(figures.addedMb);
    }

    std::printf(
        "List scale: %d rows through the poll tick (fake driver, each row scrolled into view; the first "
        "and the last 1,000 also painted offscreen), then saved; %d runs, each a fresh process\n",
        kRows, kRuns);
    std::printf("%-34s %12s %12s\n", "", "median", "worst");
    std::printf("%-34s %12.3f %12.3f\n", "append, all rows (s)", append.Median(), append.Highest());
    std::printf("%-34s %12.1f %12.1f\n", "tick per row, first 1,000 (us)", firstRows.Median(),
                firstRows.Highest());
    std::printf("%-34s %12.1f %12.1f\n", "tick per row, last 1,000 (us)", lastRows.Median(),
                lastRows.Highest());
    std::printf("%-34s %12.2f %12.2f\n", "last / first", growth.Median(), growth.Highest());
    std::printf("%-34s %12.1f %12.1f\n", "paint after a row, first 1,000 (us)", firstPaints.Median(),
                firstPaints.Highest());
    std::printf("%-34s %12.1f %12.1f\n", "paint after a row, last 1,000 (us)", lastPaints.Median(),
                lastPaints.Highest());
    std::printf("%-34s %12.2f %12.2f\n", "last / first", paintGrowth.Median(), paintGrowth.Highest());
    std::printf("%-34s %12.3f %12.3f\n", "save (s)", save.Median(), save.Highest());
    std::printf("%-34s %12.1f %12.1f\n", "resident memory added (MB)", added.Median(), added.Highest());
    if (!complete) {
        std::printf("FAULT: a run lost rows or did not save every row\n");
    }
    bool met = complete;
    met &= Report({"tick per row, last 1,000 us, worst run", lastRows.Highest(), kTickTargetUs, false});
    met &= Report({"time per row, last / first 1,000, worst run", growth.Highest(), kGrowthLimit, false});
    met &=
        Report({"paint per row, last / first 1,000, worst run", paintGrowth.Highest(), kGrowthLimit, false});
    met &= Report({"save s, worst run", save.Highest(), kSaveTargetS, false});
    met &= Report({"resident memory added MB, worst run", added.Highest(), kMemoryTargetMb, false});
    return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
