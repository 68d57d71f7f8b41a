#include "sim/DemoGenerator.h"

namespace {
// Pauses in milliseconds: long enough for an onlooker to follow, short enough to keep the list moving.
constexpr uint32_t kBeforeStartLow = 1500;
constexpr uint32_t kBeforeStartHigh = 4000;
constexpr uint32_t kLapLow = 2500;
constexpr uint32_t kLapHigh = 7000;
constexpr uint32_t kBeforeErrorLow = 1500;
constexpr uint32_t kBeforeErrorHigh = 3000;
constexpr uint32_t kLapsLow = 3;
constexpr uint32_t kLapsHigh = 6;
}  // namespace

uint32_t DemoGenerator::Between(uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(m_random);
}

std::vector<Action> DemoGenerator::NextRound() {
    std::vector<Action> round;
    round.push_back(WaitAction(Between(kBeforeStartLow, kBeforeStartHigh)));
    round.push_back(EventAction(kKindStart, EventTime{}));

    uint64_t elapsed = 0;
    const uint32_t laps = Between(kLapsLow, kLapsHigh);
    for (uint32_t lap = 0; lap < laps; ++lap) {
        const uint32_t pause = Between(kLapLow, kLapHigh);
        elapsed += pause;
        round.push_back(WaitAction(pause));
        round.push_back(EventAction(kKindLap, EventTimeFromMilliseconds(elapsed)));
    }
    const uint32_t lastStretch = Between(kLapLow, kLapHigh);
    elapsed += lastStretch;
    round.push_back(WaitAction(lastStretch));
    round.push_back(EventAction(kKindStop, EventTimeFromMilliseconds(elapsed)));

    // A stopped stopwatch still shows its final time, and so reports it with the error.
    round.push_back(WaitAction(Between(kBeforeErrorLow, kBeforeErrorHigh)));
    round.push_back(EventAction(kKindError, EventTimeFromMilliseconds(elapsed)));
    return round;
}
