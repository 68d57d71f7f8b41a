// Journal on a slow disk: the real dialog on the fake driver writes its journal through a stand-in
// whose fdatasync takes 50 ms. Paced rows (one per 10 ms tick, the event loop running between)
// give the longest tick that appends a row and the time from a row's tick to the end of the first
// sync that covers its bytes; then 100,000 rows go through the tick as fast as it takes them.
// Then two failing disks, whose fdatasync fails at once or after 300 ms: the paced rows give the
// longest tick, and the "Sicherung" box must come up once.
#include <QApplication>
#include <QDeadlineTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/CDIZUravavedVKX260Dlg.h"
#include "bench/Stats.h"
#include "bench/StdoutToNull.h"
#include "bench/TemporaryStateHome.h"
#include "framework/MessageBox.h"
#include "res/ResourceIds.h"
#include "sim/FrameEncoder.h"
#include "tests/support/FakeBridgeDriver.h"
#include "timelist/CellText.h"
#include "timelist/Journal.h"
#include "timelist/JournalFiles.h"

namespace {

using Clock = std::chrono::steady_clock;

// How the stand-in's fdatasync behaves.
struct Disk {
    std::chrono::milliseconds syncTime;
    bool fails;
};
constexpr Disk kSlowDisk{std::chrono::milliseconds(50), false};
constexpr Disk kFailingDisks[] = {{std::chrono::milliseconds(0), true},
                                  {std::chrono::milliseconds(300), true}};
constexpr int kPacedRows = 500;
constexpr int kTickMs = 10;
constexpr int kFastRows = 100000;
constexpr int kEdgeRows = 1000;  // rows at the start and at the end of the fast rows whose ticks are compared
constexpr int kRuns = 3;
constexpr double kStallTargetMs = 15.0;
constexpr double kStableTargetMs = 100.0;
// A row comes at most once a 10 ms poll period: its tick may cost 1 % of that, also at the 100,000th
// row. The time to append all rows in a tight loop is a figure, not a target.
constexpr double kTickTargetUs = 100.0;
constexpr double kGrowthLimit = 2.0;  // tick per row at the end against the start

// The real files, except that each fdatasync first takes the disk's time, and then fails on a
// failing disk; it counts the bytes written and notes for each sync how many had been written when
// it began and when it ended.
class SlowSyncFiles : public JournalFiles {
public:
    explicit SlowSyncFiles(Disk disk) : m_disk(disk) {}

    struct Sync {
        uint64_t bytesAtStart;
        Clock::time_point end;
    };

    std::ptrdiff_t Write(Handle file, const char* data, std::size_t size) override {
        const std::ptrdiff_t written = JournalFiles::Write(file, data, size);
        if (written > 0) {
            m_written += static_cast<uint64_t>(written);
        }
        return written;
    }
    int SyncData(Handle file) override {
        const uint64_t bytesAtStart = m_written;
        std::this_thread::sleep_for(m_disk.syncTime);
        const int result = m_disk.fails ? -EIO : JournalFiles::SyncData(file);
        const std::lock_guard lock(m_mutex);
        m_syncs.push_back({bytesAtStart, Clock::now()});
        return result;
    }

    uint64_t Written() const { return m_written; }
    // The end of the first sync that began once this many bytes were written.
    std::optional<Clock::time_point> StableAt(uint64_t bytes) {
        const std::lock_guard lock(m_mutex);
        std::optional<Clock::time_point> first;
        for (const Sync& sync : m_syncs) {
            if (sync.bytesAtStart >= bytes && (!first || sync.end < *first)) {
                first = sync.end;
            }
        }
        return first;
    }

private:
    const Disk m_disk;
    std::atomic<uint64_t> m_written{0};
    std::mutex m_mutex;
    std::vector<Sync> m_syncs;
};

struct Figures {
    double longestTickMs = 0;
    double stableP99Ms = 0;
    double stableWorstMs = 0;
    double appendS = 0;
    double firstTicksUs = 0;   // median tick of the first kEdgeRows fast rows
    double lastTicksUs = 0;    // the same over the last kEdgeRows
    double journalAloneS = 0;  // the same rows through the journal alone, without the window
    bool complete = false;
};

std::vector<uint8_t> FrameFor(FrameEncoder& encoder, int row) {
    const int ms = row * 37;
    return encoder.Encode(FrameEncoder::EventPayload(
        static_cast<uint8_t>(1 + row % 4), static_cast<uint8_t>(ms / 3600000 % 256),
        static_cast<uint8_t>(ms / 60000 % 60), static_cast<uint8_t>(ms / 1000 % 60),
        static_cast<uint16_t>(ms % 1000)));
}

void RunEventLoopFor(int ms) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(deadline.remainingTime()));
    }
}

Figures MeasureOnce(const Disk& disk) {
    Figures figures;
    int boxes = 0;
    SetMessageBoxPresenter([&](const MessageBoxRequest& request) {
        if (request.style == MB_YESNOCANCEL) {
            return IDNO;  // the unsaved-data question at the end
        }
        ++boxes;
        return IDOK;
    });
    SlowSyncFiles files(disk);
    FakeBridgeDriver driver;
    auto dialog = std::make_unique<CDIZUravavedVKX260Dlg>(driver, files);
    if (!dialog->Create()) {
        return figures;
    }
    dialog->SendCommand(res::IDC_CONNECT);
    dialog->StopPolling();  // the benchmark ticks itself
    FrameEncoder encoder;
    const StdoutToNull quiet;

    struct Row {
        Clock::time_point tick;
        uint64_t bytes;
    };
    std::vector<Row> rows;
    Samples ticks;
    for (int row = 0; row < kPacedRows; ++row) {
        driver.Deliver(FrameFor(encoder, row));
        const Clock::time_point start = Clock::now();
        dialog->OnTimer(CDIZUravavedVKX260Dlg::kPollTimerId);
        ticks.Add(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        rows.push_back({start, files.Written()});
        RunEventLoopFor(kTickMs);
    }
    figures.longestTickMs = ticks.Highest();
    if (disk.fails) {
        figures.complete = boxes == 1 && dialog->TimeList().GetItemCount() == kPacedRows;
        dialog->SendCommand(IDCANCEL);
        SetMessageBoxPresenter({});
        return figures;
    }
    RunEventLoopFor(static_cast<int>(2 * disk.syncTime.count()) + kTickMs);
    Samples stable;
    bool complete = true;
    for (const Row& row : rows) {
        const std::optional<Clock::time_point> at = files.StableAt(row.bytes);
        complete = complete && at.has_value();
        if (at) {
            stable.Add(std::chrono::duration<double, std::milli>(*at - row.tick).count());
        }
    }

    dialog->SendCommand(res::IDC_CLEAR_LIST);
    Clock::duration appending{};
    Samples firstTicks, lastTicks;
    for (int row = 0; row < kFastRows; ++row) {
        driver.Deliver(FrameFor(encoder, row));
        const Clock::time_point start = Clock::now();
        dialog->OnTimer(CDIZUravavedVKX260Dlg::kPollTimerId);
        const Clock::duration tick = Clock::now() - start;
        appending += tick;
        if (row < kEdgeRows || row >= kFastRows - kEdgeRows) {
            (row < kEdgeRows ? firstTicks : lastTicks)
                .Add(std::chrono::duration<double, std::micro>(tick).count());
        }
    }
    const std::string journal = dialog->JournalPath();
    figures.complete = complete && boxes == 0 && dialog->TimeList().GetItemCount() == kFastRows &&
                       std::filesystem::file_size(journal) > kFastRows * 20u;
    dialog->SendCommand(IDCANCEL);  // "Nein" at the question: a normal end
    figures.complete = figures.complete && !std::filesystem::exists(journal);
    {
        Journal alone(JournalFolder(), files);
        const Clock::time_point start = Clock::now();
        for (int row = 0; row < kFastRows; ++row) {
            alone.Append(IndexText(row + 1), "Lap", "01:02:03:456");
        }
        figures.journalAloneS = std::chrono::duration<double>(Clock::now() - start).count();
        alone.Remove();
    }
    figures.stableP99Ms = stable.Percentile(99);
    figures.stableWorstMs = stable.Highest();
    figures.appendS = std::chrono::duration<double>(appending).count();
    figures.firstTicksUs = firstTicks.Median();
    figures.lastTicksUs = lastTicks.Median();
    SetMessageBoxPresenter({});
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const TemporaryStateHome stateHome;
    QApplication application(argc, argv);
    Samples longest, p99, worst, append, firstTicks, lastTicks, growth, alone;
    bool complete = true;
    for (int run = 0; run < kRuns; ++run) {
        const Figures figures = MeasureOnce(kSlowDisk);
        complete = complete && figures.complete;
        longest.Add(figures.longestTickMs);
        p99.Add(figures.stableP99Ms);
        worst.Add(figures.stableWorstMs);
        append.Add(figures.appendS);
        firstTicks.Add(figures.firstTicksUs);
        lastTicks.Add(figures.lastTicksUs);
        growth.Add(figures.lastTicksUs / figures.firstTicksUs);
        alone.Add(figures.journalAloneS);
    }

    std::printf(
        "Journal on a disk whose fdatasync takes 50 ms: %d rows one per 10 ms tick, then %d rows as fast "
        "as the tick takes them (fake driver, offscreen); %d runs\n",
        kPacedRows, kFastRows, kRuns);
    std::printf("%-44s %12s %12s\n", "", "median", "worst");
    std::printf("%-44s %12.2f %12.2f\n", "longest tick that appends a row (ms)", longest.Median(),
                longest.Highest());
    std::printf("%-44s %12.1f %12.1f\n", "row's tick to stable storage, p99 (ms)", p99.Median(),
                p99.Highest());
    std::printf("%-44s %12.1f %12.1f\n", "row's tick to stable storage, worst (ms)", worst.Median(),
                worst.Highest());
    std::printf("%-44s %12.3f %12.3f\n", "append 100,000 rows (s)", append.Median(), append.Highest());
    std::printf("%-44s %12.1f %12.1f\n", "tick per row, first 1,000 (us)", firstTicks.Median(),
                firstTicks.Highest());
    std::printf("%-44s %12.1f %12.1f\n", "tick per row, last 1,000 (us)", lastTicks.Median(),
                lastTicks.Highest());
    std::printf("%-44s %12.2f %12.2f\n", "last / first", growth.Median(), growth.Highest());
    std::printf("%-44s %12.3f %12.3f\n", "the same rows, journal alone (s)", alone.Median(), alone.Highest());
    if (!complete) {
        std::printf("FAULT: a row never reached a sync, a box came up, or the journal was left\n");
    }
    Samples failing[std::size(kFailingDisks)];
    bool told = true;
    for (int run = 0; run < kRuns; ++run) {
        for (std::size_t disk = 0; disk < std::size(kFailingDisks); ++disk) {
            const Figures figures = MeasureOnce(kFailingDisks[disk]);
            told = told && figures.complete;
            failing[disk].Add(figures.longestTickMs);
        }
    }
    std::printf("\nThe same %d paced rows on a disk whose fdatasync fails\n", kPacedRows);
    std::printf("%-44s %12.2f %12.2f\n", "at once: longest tick (ms)", failing[0].Median(),
                failing[0].Highest());
    std::printf("%-44s %12.2f %12.2f\n", "after 300 ms: longest tick (ms)", failing[1].Median(),
                failing[1].Highest());
    if (!told) {
        std::printf("FAULT: a failing disk was not told in one box\n");
    }
    bool met = complete && told;
    met &= Report({"longest tick ms, worst run", longest.Highest(), kStallTargetMs, false});
    met &= Report({"tick to stable storage p99 ms, worst run", p99.Highest(), kStableTargetMs, false});
    met &= Report({"tick per row, last 1,000 us, worst run", lastTicks.Highest(), kTickTargetUs, false});
    met &= Report({"tick per row, last / first 1,000, worst run", growth.Highest(), kGrowthLimit, false});
    met &= Report({"failing sync: longest tick ms, worst run", failing[0].Highest(), kStallTargetMs, false});
    met &= Report(
        {"slow failing sync: longest tick ms, worst run", failing[1].Highest(), kStallTargetMs, false});
    return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
