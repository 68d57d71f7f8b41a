// vkx260-sim: runs a program with an emulated stopwatch on an emulated USB bridge.

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sim/ChildProcess.h"
#include "sim/DemoGenerator.h"
#include "sim/EmulatedBridge.h"
#include "sim/InteractiveStopwatch.h"
#include "sim/Log.h"
#include "sim/ScenarioParser.h"
#include "sim/Session.h"
#include "sim/TerminalKeys.h"
#include "sim/WineBridge.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kSetupError = 1;
constexpr int kCannotStart = 127;
constexpr const char* kProgramName = "DIZUravavedVKX260";
constexpr const char* kPreload = "libumockdev-preload.so.0";
constexpr const char* kWineLoader = "/usr/lib/wine/wine64";

constexpr const char* kUsage =
    "usage: vkx260-sim [--demo | --scenario FILE | --interactive] [-- COMMAND [ARGUMENT...]]\n"
    "       vkx260-sim --wine [--demo | --scenario FILE | --interactive] -- PROGRAM.exe [ARGUMENT...]\n"
    "       vkx260-sim --wine-library [--demo | --scenario FILE | --interactive] -- PROGRAM.exe "
    "[ARGUMENT...]\n"
    "\n"
    "Emulates the stopwatch's USB bridge as /dev/ttyUSB0 and runs COMMAND with it, by default the\n"
    "program DIZUravavedVKX260 of this build tree (or from PATH). Exits with COMMAND's exit status.\n"
    "\n"
    "  --wine            the bridge as a COM port of the Wine prefix WINEPREFIX (default ~/.wine),\n"
    "                    listed by SetupAPI; PROGRAM.exe runs under WINELOADER (default wine64)\n"
    "  --wine-library    as --wine, but the COM port is listed nowhere: a stand-in SiUSBXp.dll beside\n"
    "                    PROGRAM.exe relays it, named in the program's VKX_STANDIN_PORT\n"
    "  --demo            start, laps, stop and an error, over and over (the default)\n"
    "  --scenario FILE   the actions of FILE, one a line: wait MS, event KIND H M S MS, raw HEX...,\n"
    "                    unplug, plug (see sim/README.md)\n"
    "  --interactive     keys: s start, l lap, p stop, e error, u unplug/plug, q quit\n"
    "\n"
    "What the simulator does is logged on standard error; standard output is the program's.\n";

enum class Mode { Demo, Scenario, Interactive };

struct Options {
    Mode mode = Mode::Demo;
    bool wine = false;
    bool library = false;  // under Wine, through the stand-in library rather than SetupAPI
    std::string scenarioPath;
    std::vector<std::string> command;
};

void OnStopSignal(int) { Session::RequestStop(); }

// The program built beside the simulator (app/ next to sim/ in the build tree), else the one on PATH.
std::string DefaultProgram() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path built = self.parent_path() / ".." / "app" / kProgramName;
        if (access(built.c_str(), X_OK) == 0) {
            return built.lexically_normal().string();
        }
    }
    return kProgramName;
}

std::string EnvironmentOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// Returns -1 when the options are fine, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
    bool modeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--") {
            options.command.assign(argv + i + 1, argv + argc);
            break;
        }
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--wine" || argument == "--wine-library") {
            options.wine = true;
            options.library = argument == "--wine-library";
            continue;
        }
        Mode mode = Mode::Demo;
        if (argument == "--demo") {
            mode = Mode::Demo;
        } else if (argument == "--interactive") {
            mode = Mode::Interactive;
        } else if (argument == "--scenario") {
            if (i + 1 >= argc) {
                std::fputs("vkx260-sim: --scenario needs a file\n", stderr);
                return kUsageError;
            }
            mode = Mode::Scenario;
            options.scenarioPath = argv[++i];
        } else {
            std::fprintf(stderr, "vkx260-sim: unknown option %s\n\n%s", argument.c_str(), kUsage);
            return kUsageError;
        }
        if (modeGiven) {
            std::fputs("vkx260-sim: choose one of --demo, --scenario, --interactive\n", stderr);
            return kUsageError;
        }
        modeGiven = true;
        options.mode = mode;
    }
    if (options.wine) {
        if (options.command.empty()) {
            std::fputs("vkx260-sim: --wine needs the Windows program after --\n", stderr);
            return kUsageError;
        }
        options.command.insert(options.command.begin(), EnvironmentOr("WINELOADER", kWineLoader));
    } else if (options.command.empty()) {
        options.command.push_back(DefaultProgram());
    }
    return -1;
}

// The testbed names devices in its uevents by their /sys paths, which only the preload leads into the
// testbed; so the simulator runs under the preload just as the program does, and the program inherits
// it. Returns only when the preload is in place, or when starting afresh under it failed.
void EnsurePreload(char** argv) {
    const char* current = std::getenv("LD_PRELOAD");
    const std::string preload = current != nullptr ? current : "";
    if (preload.find("libumockdev-preload.so") != std::string::npos) {
        return;
    }
    const std::string wanted = preload.empty() ? kPreload : preload + ":" + kPreload;
    if (setenv("LD_PRELOAD", wanted.c_str(), 1) != 0) {
        std::perror("vkx260-sim: setenv");
        return;
    }
    execv("/proc/self/exe", argv);
    std::perror("vkx260-sim: cannot start afresh under the umockdev preload");
}

uint64_t SteadyMilliseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

void RunDemo(Session& session) {
    DemoGenerator demo(std::random_device{}());
    while (true) {
        for (const Action& action : demo.NextRound()) {
            if (!session.Perform(action)) {
                return;
            }
        }
    }
}

void RunScenario(Session& session, const std::vector<Action>& actions) {
    for (const Action& action : actions) {
        if (!session.Perform(action)) {
            return;
        }
    }
    LogLine("scenario done; the bridge stays until the program ends");
    session.WaitForProgram();
}

void RunInteractive(Session& session, TerminalKeys& keys) {
    LogLine(InteractiveStopwatch::Help());
    InteractiveStopwatch stopwatch;
    while (true) {
        bool ready = false;
        if (!session.WaitForInput(keys.Descriptor(), 1000, ready)) {
            return;
        }
        if (!ready) {
            continue;
        }
        const auto key = keys.Read();
        if (!key) {
            LogLine("the terminal is gone");
            return;
        }
        const InteractiveStopwatch::Reaction reaction = stopwatch.OnKey(*key, SteadyMilliseconds());
        bool going = true;
        switch (reaction.command) {
            case InteractiveStopwatch::Command::None:
                break;
            case InteractiveStopwatch::Command::Send:
                going = session.SendIfOpen(reaction.action);
                break;
            case InteractiveStopwatch::Command::TogglePlug:
                going = session.TogglePlug();
                break;
            case InteractiveStopwatch::Command::Quit:
                going = false;
                break;
        }
        if (!going) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = ParseOptions(argc, argv, options); status >= 0) {
        return status;
    }

    if (!options.wine) {
        EnsurePreload(argv);
    }

    std::vector<Action> scenario;
    if (options.mode == Mode::Scenario) {
        ScenarioResult loaded = LoadScenario(options.scenarioPath);
        if (!loaded.Ok()) {
            std::fprintf(stderr, "vkx260-sim: %s: %s\n", options.scenarioPath.c_str(), loaded.error.c_str());
            return kUsageError;
        }
        scenario = std::move(loaded.actions);
    }
    TerminalKeys keys;
    if (options.mode == Mode::Interactive) {
        std::string error;
        if (!keys.Open(error)) {
            std::fprintf(stderr, "vkx260-sim: %s\n", error.c_str());
            return kUsageError;
        }
    }

    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigaction(signal, &stop, nullptr) != 0) {
            std::perror("vkx260-sim: sigaction");
            return kSetupError;
        }
    }

    std::unique_ptr<Bridge> bridge;
    std::vector<std::pair<std::string, std::string>> defaults;
    if (options.wine) {
        const std::string home = EnvironmentOr("HOME", "/");
        bridge = std::make_unique<WineBridge>(options.command.front(),
                                              EnvironmentOr("WINEPREFIX", home + "/.wine"), !options.library);
    } else {
        bridge = std::make_unique<EmulatedBridge>();
        // Under the preload, ioctls on the host's real device nodes may fail, so keep the program away
        // from the GPU unless the caller decided otherwise.
        defaults = {{"QT_XCB_GL_INTEGRATION", "none"}, {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    }
    std::string error;
    if (!bridge->Plug(error)) {
        std::fprintf(stderr, "vkx260-sim: %s\n", error.c_str());
        return kSetupError;
    }
    if (options.library) {
        defaults.emplace_back("VKX_STANDIN_PORT", bridge->Name());
    }
    LogLine(options.wine
                ? "bridge 5f3a:b7c4 at " + bridge->Name() +
                      (options.library ? ", relayed by the stand-in library" : ", listed by SetupAPI")
                : "emulated bridge 5f3a:b7c4 at /dev/" + bridge->Name());

    ChildProcess program;
    if (!program.Start(options.command, defaults, error)) {
        std::fprintf(stderr, "vkx260-sim: %s\n", error.c_str());
        return kCannotStart;
    }
    LogLine("started " +
            (options.wine ? options.command[1] + " under " + options.command[0] : options.command[0]));

    Session session(*bridge, program);
    switch (options.mode) {
        case Mode::Demo:
            RunDemo(session);
            break;
        case Mode::Scenario:
            RunScenario(session, scenario);
            break;
        case Mode::Interactive:
            RunInteractive(session, keys);
            break;
    }
    return session.Finish();
}
