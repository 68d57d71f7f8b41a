// Poll loss and latency, and window stalls: the window's poll tick against the literal tick, on a
// driver stand-in whose bytes arrive at set times and whose reads wait as the real driver's do.
// The stalls are measured on a silent line and on lines that carry noise, each followed by frames
// that the window must all receive.
#include <QAbstractItemModel>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/CDIZUravavedVKX260Dlg.h"
#include "bench/LiteralTick.h"
#include "bench/Stats.h"
#include "bench/StdoutToNull.h"
#include "bench/TemporaryStateHome.h"
#include "bench/TimedBridgeDriver.h"
#include "framework/MessageBox.h"
#include "framework/qt/QtHandles.h"
#include "framework/qt/ReportView.h"
#include "res/ResourceIds.h"
#include "sim/FrameEncoder.h"

namespace {

using Clock = TimedBridgeDriver::Clock;
using namespace std::chrono_literals;

enum class Poller { None, Ours, Literal };

const char* Name(Poller poller) {
    switch (poller) {
        case Poller::Ours:
            return "ours";
        case Poller::Literal:
            return "literal";
        case Poller::None:
            break;
    }
    return "no polling";
}

struct Scenario {
    const char* name;
    int frames;
    int burst;                // frames sent back to back; 1 for a steady rate
    Clock::duration spacing;  // between the starts of two bursts
    bool lossTarget;          // ours must not lose a frame
    bool delayTarget;         // ours must show each frame within 15 ms (99th percentile)
};

const Scenario kScenarios[] = {
    {"10 frames/s", 50, 1, 100ms, true, true},
    {"100 frames/s", 300, 1, 10ms, true, true},
    {"500 frames/s", 1000, 1, 2ms, false, false},
    {"bursts of 50, 1 s apart", 250, 50, 1000ms, true, false},
};

constexpr double kDelayTargetMs = 15.0;
constexpr double kStallTargetMs = 15.0;
constexpr double kNoiseStallTargetMs = 25.0;
constexpr auto kStallWindow = 5s;
// After the line's noise: a pause, then frames as the stopwatch sends them on events.
constexpr auto kPauseAfterNoise = 100ms;
constexpr int kFramesAfterNoise = 10;
constexpr auto kFrameSpacingAfterNoise = 100ms;
constexpr auto kNoiseBurstSpacing = 250ms;
constexpr std::size_t kNoiseBurstBytes = 100;
constexpr auto kLeadIn = 100ms;
// The stopwatch's clock runs apart from the window's timer: each run starts its frames at a random
// point of the 10 ms tick, or every frame would meet the tick at the same phase in every run.
constexpr Clock::duration kTickPeriod = 10ms;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Runs the event loop until done() holds or the deadline passes; done() is asked every 5 ms.
void RunEventLoopUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    QEventLoop loop;
    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || Clock::now() >= deadline) {
            loop.quit();
        }
    });
    check.start();
    loop.exec();
}

// One row as the poller produced it: which frame, and when.
struct Row {
    int frame;
    Clock::time_point at;
};

ReportView* ListView(const CDIZUravavedVKX260Dlg& dialog) {
    return qobject_cast<ReportView*>(ToWidget(dialog.GetDlgItem(res::IDC_TIME_LIST)));
}

// The window, or the literal tick, connected to the driver; collects the rows it produces.
class Subject {
public:
    Subject(Poller poller, TimedBridgeDriver& driver) : m_poller(poller) {
        if (poller == Poller::Ours) {
            m_dialog = std::make_unique<CDIZUravavedVKX260Dlg>(driver);
            m_connected = m_dialog->Create();
            QObject::connect(&ListView(*m_dialog)->Model(), &QAbstractItemModel::rowsInserted,
                             [this] { m_rowTimes.push_back(Clock::now()); });
            m_dialog->SendCommand(res::IDC_CONNECT);
            m_connected = m_connected && m_dialog->IsPolling();
        } else if (poller == Poller::Literal) {
            m_literal = std::make_unique<LiteralTick>(driver);
            m_literal->onRow = [this](const TimeEvent& event) {
                m_rows.push_back({event.milliseconds, Clock::now()});
            };
            m_connected = m_literal->Connect();
        }
    }

    bool Connected() const { return m_connected; }

    std::vector<Row> Rows() const {
        if (m_poller != Poller::Ours) {
            return m_rows;
        }
        // The frame number travels in the milliseconds, the last field of the time cell.
        std::vector<Row> rows;
        const CListCtrl& list = m_dialog->TimeList();
        for (int row = 0; row < list.GetItemCount(); ++row) {
            const std::string time = list.GetItemText(row, 2);
            rows.push_back(
                {std::atoi(time.c_str() + time.rfind(':') + 1), m_rowTimes[static_cast<size_t>(row)]});
        }
        return rows;
    }

private:
    Poller m_poller;
    bool m_connected = true;
    std::unique_ptr<CDIZUravavedVKX260Dlg> m_dialog;
    std::unique_ptr<LiteralTick> m_literal;
    std::vector<Clock::time_point> m_rowTimes;
    std::vector<Row> m_rows;
};

struct PollRun {
    bool valid = false;  // connected, and every row is a frame that was sent, once
    int received = 0;
    std::size_t overflowBytes = 0;  // lost at the driver's full queue
    Samples delaysMs;
};

PollRun RunScenario(Poller poller, const Scenario& scenario, std::mt19937& random) {
    TimedBridgeDriver driver;
    Subject subject(poller, driver);
    PollRun run;
    if (!subject.Connected()) {
        return run;
    }
    FrameEncoder encoder;
    std::vector<Clock::time_point> lastBytes;
    const std::chrono::duration<double, std::milli> phase(
        std::uniform_real_distribution<double>(0, Milliseconds(kTickPeriod))(random));
    const Clock::time_point first =
        Clock::now() + kLeadIn + std::chrono::duration_cast<Clock::duration>(phase);
    Clock::time_point previousEnd = first;
    for (int k = 0; k < scenario.frames; ++k) {
        const std::vector<uint8_t> wire =
            encoder.Encode(FrameEncoder::EventPayload(3, 0, 0, 0, static_cast<uint16_t>(k)));
        const Clock::time_point start = k % scenario.burst == 0
                                            ? first + (k / scenario.burst) * scenario.spacing
                                            : previousEnd + TimedBridgeDriver::kByteTime;
        previousEnd = driver.Send(wire, start);
        lastBytes.push_back(previousEnd);
    }
    // The literal tick may still be inside a read when the last byte arrives; a full read timeout
    // later it has taken whatever it was going to take.
    const Clock::time_point settled = previousEnd + 600ms;
    if (poller == Poller::Ours) {
        RunEventLoopUntil([&] { return driver.Drained(); }, previousEnd + 15s);
    } else {
        RunEventLoopUntil([&] { return Clock::now() >= settled; }, settled);
    }

    run.overflowBytes = driver.LostBytes();
    std::vector<bool> seen(lastBytes.size(), false);
    run.valid = true;
    for (const Row& row : subject.Rows()) {
        if (row.frame < 0 || row.frame >= scenario.frames || seen[static_cast<size_t>(row.frame)]) {
            run.valid = false;
            continue;
        }
        seen[static_cast<size_t>(row.frame)] = true;
        ++run.received;
        run.delaysMs.Add(Milliseconds(row.at - lastBytes[static_cast<size_t>(row.frame)]));
    }
    return run;
}

// What the line carries during the stall window.
enum class LineNoise { Silent, Bursts, CutOffFrames, Continuous };

struct StallCase {
    const char* name;
    LineNoise noise;
};

const StallCase kStallCases[] = {
    {"silent", LineNoise::Silent},
    {"bursts of noise", LineNoise::Bursts},
    {"cut-off frames", LineNoise::CutOffFrames},
    {"continuous noise", LineNoise::Continuous},
};

std::vector<uint8_t> RandomBytes(std::size_t count, std::mt19937& random, bool startBytes) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) {
        do {
            byte = static_cast<uint8_t>(random());
        } while (!startBytes && byte == 0x02);
    }
    return bytes;
}

// Schedules the noise of the stall window from start: bursts of random bytes (any value, false start
// bytes included), the first half of an event frame, each every 250 ms, or random bytes without a
// start byte back to back at line rate for the whole window, which the receiver drops as it hunts.
void ScheduleNoise(TimedBridgeDriver& driver, LineNoise noise, Clock::time_point start,
                   std::mt19937& random) {
    const Clock::time_point end = start + kStallWindow;
    if (noise == LineNoise::Continuous) {
        driver.Send(
            RandomBytes(static_cast<std::size_t>(kStallWindow / TimedBridgeDriver::kByteTime), random, false),
            start);
        return;
    }
    FrameEncoder encoder;
    const std::vector<uint8_t> frame = encoder.Encode(FrameEncoder::EventPayload(3, 0, 0, 0, 0));
    const std::vector<uint8_t> halfFrame(frame.begin(), frame.begin() + static_cast<long>(frame.size() / 2));
    for (Clock::time_point at = start; noise != LineNoise::Silent && at < end; at += kNoiseBurstSpacing) {
        driver.Send(noise == LineNoise::Bursts ? RandomBytes(kNoiseBurstBytes, random, true) : halfFrame, at);
    }
}

// The literal tick is measured on the silent line only: it is the baseline of the silent stall.
std::vector<Poller> StallPollers(LineNoise noise) {
    if (noise == LineNoise::Silent) {
        return {Poller::None, Poller::Ours, Poller::Literal};
    }
    return {Poller::None, Poller::Ours};
}

struct StallRun {
    double longestGapMs = -1;  // -1: could not connect
    int framesWrong = 0;  // ours: frames after the noise not listed exactly once, and rows no frame explains
};

// The longest time between two runs of a 1 ms probe timer while the line carries the case's noise
// and then the frames after it; the window must receive each of those frames once.
StallRun MeasureStall(Poller poller, LineNoise noise, std::mt19937& random) {
    TimedBridgeDriver driver;
    Subject subject(poller, driver);
    StallRun run;
    if (!subject.Connected()) {
        return run;
    }
    const Clock::time_point start = Clock::now() + kLeadIn;
    ScheduleNoise(driver, noise, start, random);
    FrameEncoder encoder;
    Clock::time_point lastByte = start;
    for (int k = 0; k < kFramesAfterNoise; ++k) {
        lastByte =
            driver.Send(encoder.Encode(FrameEncoder::EventPayload(3, 0, 0, 0, static_cast<uint16_t>(k))),
                        start + kStallWindow + kPauseAfterNoise + k * kFrameSpacingAfterNoise);
    }

    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    Clock::time_point last = Clock::now();
    Clock::duration longest{};
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
    });
    probe.start();
    // The literal tick may still sit in a read when the last byte arrives: a read timeout later it
    // is done. Ours has taken every frame once the queue is empty.
    const Clock::time_point settled = lastByte + 600ms;
    RunEventLoopUntil([&] { return Clock::now() >= settled && (poller != Poller::Ours || driver.Drained()); },
                      lastByte + 15s);
    run.longestGapMs = Milliseconds(longest);

    if (poller == Poller::Ours) {
        std::vector<int> seen(kFramesAfterNoise, 0);
        for (const Row& row : subject.Rows()) {
            if (row.frame < 0 || row.frame >= kFramesAfterNoise) {
                ++run.framesWrong;
                continue;
            }
            ++seen[static_cast<std::size_t>(row.frame)];
        }
        run.framesWrong +=
            static_cast<int>(std::count_if(seen.begin(), seen.end(), [](int n) { return n != 1; }));
    }
    return run;
}

int RunsFromArguments(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            return std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return 3;
}

struct ScenarioFigures {
    int sent = 0;
    int fewestReceived = 0;
    std::size_t mostOverflowBytes = 0;
    bool valid = true;
    Samples medianDelay;  // one per run
    Samples p99Delay;     // one per run
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    const TemporaryStateHome stateHome;
    const int runs = RunsFromArguments(argc, argv);
    int boxes = 0;
    SetMessageBoxPresenter([&](const MessageBoxRequest&) {
        ++boxes;
        return IDOK;
    });

    const Poller pollers[] = {Poller::Ours, Poller::Literal};
    std::mt19937 random(0x5F3A);
    std::vector<ScenarioFigures> figures;
    constexpr std::size_t kCases = std::size(kStallCases);
    Samples stalls[kCases][3];
    int framesWrong[kCases] = {};  // the worst run
    {
        const StdoutToNull quiet;
        for (const Scenario& scenario : kScenarios) {
            for (Poller poller : pollers) {
                ScenarioFigures entry;
                entry.sent = scenario.frames;
                entry.fewestReceived = scenario.frames;
                for (int run = 0; run < runs; ++run) {
                    const PollRun result = RunScenario(poller, scenario, random);
                    entry.valid = entry.valid && result.valid;
                    entry.fewestReceived = std::min(entry.fewestReceived, result.received);
                    entry.mostOverflowBytes = std::max(entry.mostOverflowBytes, result.overflowBytes);
                    entry.medianDelay.Add(result.delaysMs.Median());
                    entry.p99Delay.Add(result.delaysMs.Percentile(99));
                }
                figures.push_back(entry);
            }
        }
        for (std::size_t c = 0; c < kCases; ++c) {
            for (int run = 0; run < runs; ++run) {
                for (Poller poller : StallPollers(kStallCases[c].noise)) {
                    const StallRun result = MeasureStall(poller, kStallCases[c].noise, random);
                    stalls[c][static_cast<int>(poller)].Add(result.longestGapMs);
                    framesWrong[c] = std::max(framesWrong[c], result.framesWrong);
                }
            }
        }
    }

    std::printf("Poll loss and latency, %d runs; delay from a frame's last byte to its row, in ms\n", runs);
    std::printf("%-26s %-8s %10s %10s %14s %14s %14s %14s\n", "frames sent", "tick", "received", "overflow",
                "median, med.", "median, worst", "p99, median", "p99, worst");
    bool met = boxes == 0;
    std::size_t index = 0;
    for (const Scenario& scenario : kScenarios) {
        for (Poller poller : pollers) {
            const ScenarioFigures& entry = figures[index++];
            met = met && entry.valid;
            std::printf("%-26s %-8s %10s %10zu %14.1f %14.1f %14.1f %14.1f%s\n", scenario.name, Name(poller),
                        Format("%d/%d", entry.fewestReceived, entry.sent).c_str(), entry.mostOverflowBytes,
                        entry.medianDelay.Median(), entry.medianDelay.Highest(), entry.p99Delay.Median(),
                        entry.p99Delay.Highest(), entry.valid ? "" : "  FAULT: a row that no frame explains");
        }
    }
    std::printf(
        "(received: the worst run; overflow: bytes lost at the driver's full queue, the worst run)\n\n");
    std::printf(
        "Window stalls: longest gap between two runs of a 1 ms probe timer while the line carries %lld s "
        "of the case, then %d frames (frames after: listed once, the worst run); in ms\n",
        static_cast<long long>(kStallWindow.count()), kFramesAfterNoise);
    std::printf("%-20s %-12s %10s %10s %14s\n", "line", "tick", "median", "worst", "frames after");
    for (std::size_t c = 0; c < kCases; ++c) {
        for (Poller poller : StallPollers(kStallCases[c].noise)) {
            const Samples& gaps = stalls[c][static_cast<int>(poller)];
            const std::string frames =
                poller == Poller::Ours
                    ? Format("%d/%d", kFramesAfterNoise - std::min(framesWrong[c], kFramesAfterNoise),
                             kFramesAfterNoise)
                    : "";
            std::printf("%-20s %-12s %10.1f %10.1f %14s\n", kStallCases[c].name, Name(poller), gaps.Median(),
                        gaps.Highest(), frames.c_str());
        }
    }
    std::printf("\n");

    index = 0;
    for (const Scenario& scenario : kScenarios) {
        const ScenarioFigures& ours = figures[index];
        index += 2;
        if (scenario.lossTarget) {
            met &= Report({Format("ours, %s: frames lost, worst run", scenario.name),
                           static_cast<double>(ours.sent - ours.fewestReceived), 0, false});
        }
        if (scenario.delayTarget) {
            met &= Report({Format("ours, %s: delay p99 ms, worst run", scenario.name),
                           ours.p99Delay.Highest(), kDelayTargetMs, false});
        }
    }
    for (std::size_t c = 0; c < kCases; ++c) {
        for (Poller poller : StallPollers(kStallCases[c].noise)) {
            if (stalls[c][static_cast<int>(poller)].Lowest() < 0) {
                std::printf("FAULT: a stall run could not connect\n");
                met = false;
            }
        }
        const bool silent = kStallCases[c].noise == LineNoise::Silent;
        met &= Report({Format("ours, %s: longest event-loop gap ms, worst run", kStallCases[c].name),
                       stalls[c][static_cast<int>(Poller::Ours)].Highest(),
                       silent ? kStallTargetMs : kNoiseStallTargetMs, false});
        met &= Report({Format("ours, %s: frames after it lost or doubled, worst run", kStallCases[c].name),
                       static_cast<double>(framesWrong[c]), 0, false});
    }
    if (boxes != 0) {
        std::printf("FAULT: %d message boxes were raised\n", boxes);
    }
    return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
