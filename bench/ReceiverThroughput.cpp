// Receiver throughput: ComProtocol::Receive over an in-memory port holding 10 MB of valid frames
// back to back, with random stuffing, against the line's own rate at 115200 baud.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/MemoryCom.h"
#include "bench/Stats.h"
#include "bench/StdoutToNull.h"
#include "protocol/ComProtocol.h"
#include "sim/FrameEncoder.h"

namespace {

constexpr std::size_t kStreamBytes = 10 * 1000 * 1000;
constexpr double kLineBytesPerSecond = 11520.0;  // 115200 baud, ten bits per byte
constexpr double kTargetLineMultiple = 1000.0;
constexpr uint32_t kCapacity = 80;
constexpr int kRuns = 7;

struct Stream {
    std::vector<uint8_t> bytes;
    std::size_t frames = 0;
    std::size_t storedBytes = 0;  // what a receiver that misses nothing stores, all frames together
};

Stream MakeStream() {
    Stream stream;
    std::mt19937 random(0x5F3A);
    FrameEncoder encoder(0xB7C4);
    std::vector<uint8_t> payload;
    while (stream.bytes.size() < kStreamBytes) {
        payload.resize(1 + random() % (kCapacity - 5));
        for (uint8_t& byte : payload) {
            byte = static_cast<uint8_t>(random());
        }
        const std::vector<uint8_t> wire =
            encoder.Encode(payload, static_cast<uint8_t>(random()), FrameEncoder::Stuffing::Random);
        stream.bytes.insert(stream.bytes.end(), wire.begin(), wire.end());
        ++stream.frames;
        stream.storedBytes += payload.size() + 5;
    }
    return stream;
}

struct RunResult {
    double seconds = 0;
    std::size_t frames = 0;
    std::size_t storedBytes = 0;
};

RunResult ReceiveAll(const Stream& stream) {
    MemoryCom port(stream.bytes);
    ComProtocol receiver;
    receiver.SetCom(&port);
    uint8_t buffer[kCapacity];
    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    while (!port.AtEnd()) {
        int32_t storedCount = 0;
        if (receiver.Receive(buffer, kCapacity, storedCount, 0)) {
            ++result.frames;
            result.storedBytes += static_cast<std::size_t>(storedCount);
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

}  // namespace

int main() {
    const Stream stream = MakeStream();
    Samples seconds;
    bool complete = true;
    {
        const StdoutToNull quiet;
        for (int run = 0; run < kRuns; ++run) {
            const RunResult result = ReceiveAll(stream);
            seconds.Add(result.seconds);
            complete = complete && result.frames == stream.frames && result.storedBytes == stream.storedBytes;
        }
    }
    const double megabytes = static_cast<double>(stream.bytes.size()) / 1e6;
    // The slowest run gives the worst rate.
    const double medianRate = megabytes / seconds.Median();
    const double worstRate = megabytes / seconds.Highest();

    std::printf(
        "Receiver throughput: %.2f MB, %zu frames (payload 1-75 bytes, random stuffing), %d runs, "
        "trace lines to /dev/null\n",
        megabytes, stream.frames, kRuns);
    std::printf("%-24s %12s %12s\n", "", "median", "worst");
    std::printf("%-24s %12.1f %12.1f\n", "MB/s", medianRate, worstRate);
    std::printf("%-24s %12.0f %12.0f\n", "x line (11,520 B/s)", medianRate * 1e6 / kLineBytesPerSecond,
                worstRate * 1e6 / kLineBytesPerSecond);
    std::printf("%-24s %12.0f %12.0f\n", "ns per byte", seconds.Median() * 1e9 / stream.bytes.size(),
                seconds.Highest() * 1e9 / stream.bytes.size());
    if (!complete) {
        std::printf("FAULT: the receiver did not store every frame of the stream\n");
    }
    const bool met = Report({"receiver throughput, worst run, x line rate",
                             worstRate * 1e6 / kLineBytesPerSecond, kTargetLineMultiple, true});
    return met && complete ? EXIT_SUCCESS : EXIT_FAILURE;
}
