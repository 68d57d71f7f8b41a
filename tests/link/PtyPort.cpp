// The far end of a serial port for a test under Wine, built for the Linux host: it makes a
// pseudo-terminal, links its device as LINK (a prefix's dosdevices/comN, which Wine opens as that
// COM port), runs the test COMMAND and returns its status. While the command runs, it sends back every
// byte that comes through the port, in order, except 0x04: that hangs the line up as an unplugged
// bridge does, by closing the pseudo-terminal.
//
// Usage: vkx_pty_port LINK COMMAND [ARGUMENT...]
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

constexpr unsigned char kHangUp = 0x04;

// Sends back what came, up to a hang-up request; false once the line is to be hung up.
bool Serve(int master) {
    unsigned char bytes[256];
    const ssize_t received = ::read(master, bytes, sizeof(bytes));
    if (received <= 0) {
        return received < 0 && (errno == EINTR || errno == EAGAIN);
    }
    const unsigned char* end = std::find(bytes, bytes + received, kHangUp);
    return end == bytes + received && ::write(master, bytes, received) == received;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LINK COMMAND [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        std::perror("openpty");
        return 2;
    }
    ::unlink(argv[1]);
    if (::symlink(name, argv[1]) != 0) {
        std::perror("symlink");
        return 2;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(master);
        ::close(slave);
        ::execvp(argv[2], argv + 2);
        std::perror("execvp");
        _exit(127);
    }
    // The slave stays open here until the end: a pseudo-terminal whose slave nobody holds reads as
    // hung up, which the test must not see before it opens the port.
    int status = 0;
    bool open = true;
    while (::waitpid(child, &status, open ? WNOHANG : 0) == 0) {
        pollfd entry{master, POLLIN, 0};
        if (::poll(&entry, 1, 100) > 0 && !Serve(master)) {
            ::close(master);
            open = false;
        }
    }
    ::unlink(argv[1]);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
