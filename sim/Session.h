#pragma once

#include <chrono>
#include <cstdint>

#include "sim/Action.h"
#include "sim/Bridge.h"
#include "sim/ChildProcess.h"

// Carries out the stopwatch's actions on the bridge while the program under test runs, and
// logs what happens on the line. Every operation returns false once the run is over: the program has
// ended, or the simulator was asked to stop.
//
// Bytes go out only once the program has opened the port and set the line to 115200 8N1 (or has held
// it open for a second without doing so), and not before 100 ms after that, so that the flush a
// program does right after connecting cannot swallow them. While no bridge is plugged in they are
// lost, as a real stopwatch's would be.
class Session {
public:
    Session(Bridge& bridge, ChildProcess& program) : m_bridge(bridge), m_program(program) {}

    bool Perform(const Action& action);
    // Sends at once if the program holds the port open; otherwise the bytes are lost.
    bool SendIfOpen(const Action& action);
    bool Wait(uint32_t milliseconds);
    // Waits at most `milliseconds` for something to read on `descriptor`.
    bool WaitForInput(int descriptor, uint32_t milliseconds, bool& ready);
    bool TogglePlug();
    // Runs until the program ends by itself.
    void WaitForProgram();
    // Ends the program if it still runs and returns its exit status.
    int Finish();

    // Safe in a signal handler: ends the run at the next check.
    static void RequestStop();

private:
    using Clock = std::chrono::steady_clock;

    bool Idle(Clock::time_point until, int descriptor, bool* ready);
    bool Check();
    void DrainProgramOutput();
    bool WaitUntilReady();
    bool Send(const Action& action);
    bool Unplug();
    bool Plug();

    Bridge& m_bridge;
    ChildProcess& m_program;
    bool m_portOpen = false;
    Clock::time_point m_openedAt{};
    bool m_settled = false;  // the current opening has had its 100 ms
};
