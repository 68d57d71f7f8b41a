#pragma once

#include <string>

// The stopwatch's USB-to-UART bridge as the simulator holds it: the master end of a pseudo-terminal,
// whose slave end the program opens as its serial port. How the program finds that port (udev under
// umockdev, SetupAPI under Wine) is the business of each kind of bridge.
class Bridge {
public:
    virtual ~Bridge() = default;

    // Puts a bridge in place and announces it as the program's platform would.
    virtual bool Plug(std::string& error) = 0;
    // Takes the bridge away as a USB disconnect does: gone from the device list, then the line hangs up
    // (reads return 0 or fail, poll reports POLLHUP).
    virtual void Unplug() = 0;

    bool IsPlugged() const { return m_master >= 0; }
    // The port's name as the program knows it: ttyUSB0, COM5, ...
    const std::string& Name() const { return m_name; }
    // The master of the pseudo-terminal, non-blocking; -1 while unplugged.
    int Master() const { return m_master; }

    // Whether a program holds the port open: the master reports POLLHUP while nobody does.
    bool IsPortOpen() const;
    // Whether the program set the line as the stopwatch sends: 115200 baud, 8 data bits, no parity,
    // one stop bit.
    bool IsLineSet() const;

protected:
    int m_master = -1;
    std::string m_name;
};
