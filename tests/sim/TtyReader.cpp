// Test helper that vkx260-sim runs as its program: finds the emulated stopwatch bridges through
// libudev as the real program does, opens each as a raw 115200 8N1 line, reads it until it hangs up,
// and prints one line per bridge:
//   <device node> <idVendor> <idProduct> <product>: <bytes in hex>
// Usage: vkx_tty_reader COUNT   (reads COUNT bridges one after the other; exit status 0 when all came)

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "sim/Action.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDeadline = std::chrono::seconds(20);

struct Bridge {
    std::string node;
    std::string description;
};

std::string Attribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value != nullptr ? value : "";
}

// The first stopwatch bridge whose node is not in `seen`, if there is one.
bool FindBridge(udev* context, const std::set<std::string>& seen, Bridge& found) {
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (enumerate == nullptr || udev_enumerate_add_match_subsystem(enumerate, "tty") < 0 ||
        udev_enumerate_scan_devices(enumerate) < 0) {
        udev_enumerate_unref(enumerate);
        return false;
    }
    bool ok = false;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* tty = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (tty == nullptr) {
            continue;
        }
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
        const char* node = udev_device_get_devnode(tty);
        if (!ok && usb != nullptr && node != nullptr && seen.count(node) == 0 &&
            Attribute(usb, "idVendor") == "5f3a" && Attribute(usb, "idProduct") == "b7c4") {
            found.node = node;
            found.description = found.node + " " + Attribute(usb, "idVendor") + " " +
                                Attribute(usb, "idProduct") + " " + Attribute(usb, "product");
            ok = true;
        }
        udev_device_unref(tty);
    }
    udev_enumerate_unref(enumerate);
    return ok;
}

bool SetLine(int fd) {
    termios line{};
    if (tcgetattr(fd, &line) != 0) {
        return false;
    }
    cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cflag &= static_cast<tcflag_t>(~(CSTOPB | PARENB));
    return cfsetspeed(&line, B115200) == 0 && tcsetattr(fd, TCSANOW, &line) == 0;
}

// Reads until the line hangs up; false when the deadline passes first.
bool ReadUntilHangUp(int fd, Clock::time_point deadline, std::vector<uint8_t>& bytes) {
    while (Clock::now() < deadline) {
        pollfd line{fd, POLLIN, 0};
        const int ready = poll(&line, 1, 50);
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready <= 0) {
            continue;
        }
        if (line.revents & POLLIN) {
            uint8_t buffer[256];
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count > 0) {
                bytes.insert(bytes.end(), buffer, buffer + count);
                continue;
            }
            if (count == 0 || errno == EIO) {
                return true;
            }
            if (errno != EAGAIN && errno != EINTR) {
                return false;
            }
        } else if (line.revents & (POLLHUP | POLLERR)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vkx_tty_reader COUNT\n", stderr);
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const auto deadline = Clock::now() + kDeadline;
    udev* context = udev_new();
    if (context == nullptr) {
        std::fputs("vkx_tty_reader: no udev context\n", stderr);
        return 1;
    }
    std::set<std::string> seen;
    int status = 0;
    for (int i = 0; i < count && status == 0; ++i) {
        Bridge bridge;
        while (!FindBridge(context, seen, bridge) && Clock::now() < deadline) {
            usleep(10000);
        }
        if (bridge.node.empty()) {
            std::fprintf(stderr, "vkx_tty_reader: bridge %d did not appear\n", i + 1);
            status = 1;
            break;
        }
        seen.insert(bridge.node);
        // umockdev lists a device in sysfs a moment before its node appears in /dev.
        int fd = -1;
        while ((fd = open(bridge.node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) < 0 &&
               errno == ENOENT && Clock::now() < deadline) {
            usleep(10000);
        }
        if (fd < 0 || !SetLine(fd)) {
            std::fprintf(stderr, "vkx_tty_reader: cannot open %s: %s\n", bridge.node.c_str(),
                         std::strerror(errno));
            status = 1;
            break;
        }
        std::vector<uint8_t> bytes;
        if (!ReadUntilHangUp(fd, deadline, bytes)) {
            std::fprintf(stderr, "vkx_tty_reader: %s did not hang up\n", bridge.node.c_str());
            status = 1;
        }
        close(fd);
        std::printf("%s: %s\n", bridge.description.c_str(), HexBytes(bytes).c_str());
        std::fflush(stdout);
    }
    udev_unref(context);
    return status;
}
