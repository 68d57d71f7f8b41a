#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "sim/Action.h"

// The built-in demo: an operator who times a run by hand. Each round starts the stopwatch from zero,
// takes three to six laps a few seconds apart, stops it, and then the stopwatch reports one error.
// The time in every frame is the stopwatch's running time, so it agrees with the pauses between the
// frames. Rounds repeat for as long as the caller asks for them.
class DemoGenerator {
public:
    explicit DemoGenerator(uint32_t seed) : m_random(seed) {}

    std::vector<Action> NextRound();

private:
    uint32_t Between(uint32_t low, uint32_t high);

    std::mt19937 m_random;
};
