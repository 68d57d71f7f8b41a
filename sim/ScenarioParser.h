#pragma once

// Scenario files for vkx260-sim: one action per line, carried out from top to bottom.
//
//   wait MS               let MS milliseconds pass (0 to 4294967295)
//   event KIND H M S MS   send one event frame. KIND is start, stop, lap, error (sent as kind 4) or a
//                         number from 0 to 255; H, M and S run from 0 to 255 and MS from 0 to 65535, so
//                         times that no clock shows (minute 75) can be sent on purpose
//   raw HEX...            send bytes exactly as given, for noise and broken frames: hex pairs, apart or
//                         together ("02 00 01" and "020001" are the same three bytes)
//   unplug                pull the bridge out, as a USB disconnect looks to the program
//   plug                  plug a bridge in again; it appears under the next name (ttyUSB1, ttyUSB2, ...)
//
// Words are lower case and separated by blanks; numbers are decimal. A # starts a comment that runs
// to the end of its line; blank lines do nothing. Frames and raw bytes go out once the program has
// opened the port; while no bridge is plugged in they are lost, as a real stopwatch's would be.
//
// Example:
//   wait 500
//   event start 0 0 0 0
//   wait 1500
//   event lap 0 0 1 500
//   raw 02 00 01 00 41 00 00   # a frame with a wrong CRC
//   event stop 0 0 3 250
//   wait 200
//   unplug

#include <string>
#include <string_view>
#include <vector>

#include "sim/Action.h"

struct ScenarioResult {
    std::vector<Action> actions;
    std::string error;  // empty when the whole text was understood; otherwise "line N: what is wrong"

    bool Ok() const { return error.empty(); }
};

ScenarioResult ParseScenario(std::string_view text);
ScenarioResult LoadScenario(const std::string& path);
