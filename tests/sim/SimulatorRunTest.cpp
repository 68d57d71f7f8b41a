// Runs the real vkx260-sim with an emulated bridge and a small reader in place of the program.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/Crc16.h"
#include "tests/sim/FrameDecoder.h"

namespace {

struct Outcome {
    int status = -1;  // exit status, -1 when killed at the deadline
    std::string out;
    std::string err;
};

Outcome RunProcess(std::vector<std::string> argv, std::chrono::seconds limit = std::chrono::seconds(30)) {
    Outcome outcome;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        close(outPipe[0]);
        close(errPipe[0]);
        return outcome;
    }

    const auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd streams[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* texts[2] = {&outcome.out, &outcome.err};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (poll(streams, 2, static_cast<int>(left.count())) < 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd >= 0 && (streams[i].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                const ssize_t count = read(streams[i].fd, buffer, sizeof buffer);
                if (count > 0) {
                    texts[i]->append(buffer, static_cast<std::size_t>(count));
                } else {
                    close(streams[i].fd);
                    streams[i].fd = -1;
                    --open;
                }
            }
        }
    }
    for (const pollfd& stream : streams) {
        if (stream.fd >= 0) {
            close(stream.fd);
        }
    }
    int waitStatus = 0;
    waitpid(pid, &waitStatus, 0);
    EXPECT_FALSE(killed) << argv[0] << " still ran at the deadline; its log:\n" << outcome.err;
    outcome.status = !killed && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    return outcome;
}

std::string WriteScenario(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream file(path, std::ios::binary);
    file << text;
    return path;
}

std::vector<uint8_t> FromHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Noise, events (one with 0x10 in its payload), a frame with a wrong CRC, then an unplug and a second
// bridge: the reader must get every byte as written, on the node that libudev shows for 5f3a:b7c4.
TEST(Simulator, BytesArriveUnchangedAcrossUnplugAndPlug) {
    const std::string scenario = WriteScenario("sim-run.txt",
                                               "# noise first\n"
                                               "raw FF 00 13\n"
                                               "event start 0 0 0 0\n"
                                               "event lap 0 0 16 500\n"
                                               "raw 02 00 01 00 41 00 00   # wrong CRC\n"
                                               "event 200 1 2 3 4\n"
                                               "wait 300\n"
                                               "unplug\n"
                                               "plug\n"
                                               "event stop 0 1 2 3\n"
                                               "wait 300\n"
                                               "unplug\n");
    const std::string start = "02 00 06 00 01 00 00 00 00 00 7C FE";
    const std::string lap = "02 00 06 00 03 00 00 10 90 01 F4 5A 33";
    const std::string other = "02 00 06 00 C8 01 02 03 00 04 E5 EE";
    const std::string stop = "02 00 06 00 02 00 01 02 00 03 5E 62";
    for (const std::string& frame : {start, lap, other, stop}) {
        EXPECT_EQ(DecodeFrame(FromHex(frame)).error, "") << "expected frame " << frame;
    }

    const Outcome outcome = RunProcess({VKX_SIM, "--scenario", scenario, "--", VKX_TTY_READER, "2"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "/dev/ttyUSB0 5f3a b7c4 DIZ Uravaved VKX260: FF 00 13 " + start + " " + lap +
                               " 02 00 01 00 41 00 00 " + other +
                               "\n"
                               "/dev/ttyUSB1 5f3a b7c4 DIZ Uravaved VKX260: " +
                               stop + "\n")
        << outcome.err;
    EXPECT_NE(outcome.err.find("ttyUSB0 sent lap 00:00:16.500: " + lap), std::string::npos) << outcome.err;
}

TEST(Simulator, ExitsWithTheProgramsStatusOrItsOwnError) {
    const std::string empty = WriteScenario("sim-empty.txt", "# nothing\n");
    const std::string broken = WriteScenario("sim-broken.txt", "wait 1\nevent lap 0 0 0\n");
    struct Case {
        std::vector<std::string> argv;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {{VKX_SIM, "--scenario", empty, "--", "sh", "-c", "exit 7"}, 7, "the program ended with status 7"},
        {{VKX_SIM, "--scenario", empty, "--", "sh", "-c",
          "test -n \"$UMOCKDEV_DIR\" && test -e /dev/ttyUSB0"},
         0,
         "started sh"},
        {{VKX_SIM, "--scenario", empty, "--", "/nonexistent/program"},
         127,
         "cannot start /nonexistent/program"},
        {{VKX_SIM, "--scenario", broken, "--", "true"}, 2, "line 2: event needs KIND H M S MS"},
        {{VKX_SIM, "--bogus"}, 2, "unknown option --bogus"},
        {{VKX_SIM, "--demo", "--interactive", "--", "true"}, 2, "choose one of"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = RunProcess(c.argv);
        EXPECT_EQ(outcome.status, c.status) << c.argv.back() << "\n" << outcome.err;
        EXPECT_NE(outcome.err.find(c.err), std::string::npos) << c.argv.back() << "\n" << outcome.err;
    }
}

}  // namespace
