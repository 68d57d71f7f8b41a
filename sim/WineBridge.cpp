#include "sim/WineBridge.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "sim/Log.h"

extern char** environ;

namespace {
constexpr int kFirstPort = 5;
constexpr int kLastPort = 255;
constexpr const char* kDeviceKey =
    R"(HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\USB\VID_5F3A&PID_B7C4)";
constexpr const char* kInstance = R"(USB\\VID_5F3A&PID_B7C4\\0001)";  // escaped, as a .reg string
constexpr const char* kInterfaceKey =
    R"(HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\DeviceClasses\{86e0d1e0-8089-11d0-9ce4-08003e301f73})"
    R"(\##?#USB#VID_5F3A&PID_B7C4#0001#{86e0d1e0-8089-11d0-9ce4-08003e301f73})";
constexpr const char* kSymbolicLink =
    R"(\\\\?\\USB#VID_5F3A&PID_B7C4#0001#{86e0d1e0-8089-11d0-9ce4-08003e301f73})";
constexpr const char* kPortsClass = "{4d36e978-e325-11ce-bfc1-08002be10318}";
constexpr const char* kProduct = "DIZ Uravaved VKX260";

// A REG_MULTI_SZ value of a REGEDIT4 file: the strings' 8-bit bytes, each ended by a zero, and a zero
// that ends the list.
std::string MultiString(std::initializer_list<std::string_view> strings) {
    std::string value = "hex(7):";
    char byte[4];
    const auto append = [&](unsigned char c) {
        std::snprintf(byte, sizeof byte, "%02x,", c);
        value += byte;
    };
    for (std::string_view text : strings) {
        for (char c : text) {
            append(static_cast<unsigned char>(c));
        }
        append(0);
    }
    append(0);
    value.pop_back();
    return value;
}

std::string DeviceEntries(const std::string& port) {
    return std::string("REGEDIT4\r\n\r\n") + "[" + kDeviceKey + R"(\0001])" + "\r\n" + R"("HardwareID"=)" +
           MultiString({R"(USB\VID_5F3A&PID_B7C4&REV_0100)", R"(USB\VID_5F3A&PID_B7C4)"}) + "\r\n" +
           R"("ClassGUID"=")" + kPortsClass + "\"\r\n" + R"("Class"="Ports")" + "\r\n" + R"("DeviceDesc"=")" +
           kProduct + "\"\r\n" + R"("FriendlyName"=")" + kProduct + " (" + port + ")\"\r\n\r\n" + "[" +
           kDeviceKey + R"(\0001\Device Parameters])" + "\r\n" + R"("PortName"=")" + port + "\"\r\n\r\n" +
           "[" + kInterfaceKey + "]\r\n" + R"("DeviceInstance"=")" + kInstance + "\"\r\n\r\n" + "[" +
           kInterfaceKey + "\\#]\r\n" + R"("SymbolicLink"=")" + kSymbolicLink + "\"\r\n";
}

std::string RemovedEntries() {
    return std::string("REGEDIT4\r\n\r\n[-") + kDeviceKey + "]\r\n\r\n[-" + kInterfaceKey + "]\r\n";
}

// Whether comn is free to take: nothing of that name, or a link whose target is gone (a pseudo-terminal
// of a run that ended without clearing up).
bool IsFree(const std::filesystem::path& link) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(link, error);
    if (error || !std::filesystem::exists(status)) {
        return true;
    }
    return std::filesystem::is_symlink(status) && !std::filesystem::exists(link, error);
}
}  // namespace

WineBridge::WineBridge(std::string loader, std::filesystem::path prefix, bool listed)
    : m_loader(std::move(loader)), m_prefix(std::move(prefix)), m_listed(listed) {}

WineBridge::~WineBridge() {
    if (IsPlugged()) {
        Unplug();
    }
}

bool WineBridge::Plug(std::string& error) {
    if (IsPlugged()) {
        error = m_name + " is still plugged in";
        return false;
    }
    if (m_port == 0 && !ChoosePort(error)) {
        return false;
    }
    const std::string name = "COM" + std::to_string(m_port);
    // The entries come first: importing them creates the prefix, and with it dosdevices, if need be.
    if (m_listed && !ImportRegistry(DeviceEntries(name), error)) {
        return false;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const char* slave =
        master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
    if (slave == nullptr) {
        error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) {
            close(master);
        }
        return false;
    }
    // A master reports POLLHUP only once its slave has been opened and closed again; from then on it
    // does so until the program opens the port, which is how the session knows that it did.
    const int touched = open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (touched < 0) {
        error = std::string("cannot open ") + slave + ": " + std::strerror(errno);
        close(master);
        return false;
    }
    close(touched);
    const std::filesystem::path link = m_prefix / "dosdevices" / ("com" + std::to_string(m_port));
    std::error_code linkError;
    std::filesystem::remove(link, linkError);
    std::filesystem::create_symlink(slave, link, linkError);
    if (linkError) {
        error = "cannot link " + link.string() + " to " + slave + ": " + linkError.message();
        close(master);
        return false;
    }
    m_master = master;
    m_name = name;
    return true;
}

void WineBridge::Unplug() {
    if (!IsPlugged()) {
        return;
    }
    std::string error;
    if (m_listed && !ImportRegistry(RemovedEntries(), error)) {
        LogLine(error);
    }
    std::error_code linkError;
    std::filesystem::remove(m_prefix / "dosdevices" / ("com" + std::to_string(m_port)), linkError);
    close(m_master);
    m_master = -1;
    m_name.clear();
}

bool WineBridge::ChoosePort(std::string& error) {
    const std::filesystem::path devices = m_prefix / "dosdevices";
    for (int port = kFirstPort; port <= kLastPort; ++port) {
        if (IsFree(devices / ("com" + std::to_string(port)))) {
            m_port = port;
            return true;
        }
    }
    error = "every COM port of " + devices.string() + " is taken";
    return false;
}

bool WineBridge::ImportRegistry(const std::string& text, std::string& error) const {
    const char* temporary = std::getenv("TMPDIR");
    std::string path = std::string(temporary != nullptr ? temporary : "/tmp") + "/vkx260-bridge-XXXXXX.reg";
    const int file = mkstemps(path.data(), 4);
    if (file < 0) {
        error = "cannot write the registry entries: " + std::string(std::strerror(errno));
        return false;
    }
    const bool written = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (close(file) != 0 || !written) {
        error = "cannot write the registry entries to " + path;
        unlink(path.c_str());
        return false;
    }

    // Wine's helpers print only noise; its services, started with a new wineserver, would keep any
    // pipe of ours open long after the import.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&quiet, descriptor, "/dev/null", O_RDWR, 0);
    }
    std::string loader = m_loader, reg = "reg", import = "import";
    char* argv[] = {loader.data(), reg.data(), import.data(), path.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    if (spawned == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    unlink(path.c_str());
    if (spawned != 0) {
        error = "cannot import the registry entries with " + m_loader + ": " + std::strerror(spawned);
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = m_loader + " reg import failed in " + m_prefix.string() +
                (WIFEXITED(status) ? " with status " + std::to_string(WEXITSTATUS(status)) : " by a signal");
        return false;
    }
    return true;
}
