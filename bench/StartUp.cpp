// Start-up: from the start of the process to the main window's first paint, offscreen. The program's
// own start path runs (application object, Qt application, main dialog built and shown modally);
// the baseline is a bare Qt dialog. Every run is a fresh process; the time is taken by the parent
// just before it starts the child and by the child at the first paint, on the shared monotonic
// clock.
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "app/CDIZUravavedVKX260App.h"
#include "bench/ProcessStatus.h"
#include "bench/Stats.h"
#include "res/ResourceIds.h"
#include "res/Templates.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 10;
constexpr double kTargetS = 0.5;

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

QString MainDialogCaption() {
    return QString::fromUtf8(res::FindDialogTemplate(res::IDD_MAIN_DIALOG)->caption);
}

// Prints the time of the first paint of a window's content, then closes that window.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(bool mainDialogOnly) : m_mainDialogOnly(mainDialogOnly) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (m_seen || event->type() != QEvent::Paint || widget == nullptr) {
            return false;
        }
        QWidget* window = widget->window();
        if (m_mainDialogOnly && window->windowTitle() != MainDialogCaption()) {
            return false;
        }
        m_seen = true;
        std::printf("%lld\n", NowNs());
        std::fflush(stdout);
        // The main dialog takes the close box's way out, which ends it as "Beenden" does.
        QTimer::singleShot(0, window, [window] { window->close(); });
        return false;
    }

private:
    bool m_mainDialogOnly;
    bool m_seen = false;
};

// The program's application, with a watch for the main window's first paint.
class WatchedApp : public CDIZUravavedVKX260App {
protected:
    bool StartUp() override {
        FirstPaint watch(true);
        QApplication::instance()->installEventFilter(&watch);
        return CDIZUravavedVKX260App::StartUp();
    }
};

int RunBare(int argc, char** argv) {
    QApplication application(argc, argv);
    FirstPaint watch(false);
    application.installEventFilter(&watch);
    QDialog dialog;
    dialog.resize(640, 480);
    dialog.show();
    return application.exec();
}

std::optional<double> StartUpSeconds(const char* mode) {
    const long long start = NowNs();
    const std::optional<std::string> output = RunSelf({"--child", mode});
    long long painted = 0;
    if (!output || std::sscanf(output->c_str(), "%lld", &painted) != 1) {
        return std::nullopt;
    }
    return static_cast<double>(painted - start) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0) {
        if (std::strcmp(argv[2], "bare") == 0) {
            return RunBare(argc, argv);
        }
        WatchedApp app;
        return app.Run(argc, argv);
    }
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    std::printf("Start-up: process start to the first paint of the window, offscreen, in s; %d runs\n",
                kRuns);
    std::printf("%-36s %10s %10s %10s\n", "", "median", "worst", "best");
    bool met = true;
    for (const char* mode : {"bare", "app"}) {
        Samples seconds;
        for (int run = 0; run < kRuns; ++run) {
            if (const std::optional<double> measured = StartUpSeconds(mode)) {
                seconds.Add(*measured);
            }
        }
        const char* label = std::strcmp(mode, "app") == 0 ? "main window (the program's start path)"
                                                          : "bare Qt dialog (baseline)";
        if (seconds.Count() != kRuns) {
            std::printf("%-36s FAULT: %zu of %d runs finished\n", label, seconds.Count(), kRuns);
            met = false;
            continue;
        }
        std::printf("%-36s %10.3f %10.3f %10.3f\n", label, seconds.Median(), seconds.Highest(),
                    seconds.Lowest());
        if (std::strcmp(mode, "app") == 0) {
            met &= Report({"start-up to main window shown s, worst run", seconds.Highest(), kTargetS, false});
        }
    }
    return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
