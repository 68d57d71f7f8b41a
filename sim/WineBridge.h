#pragma once

#include <filesystem>
#include <string>

#include "sim/Bridge.h"

// The stopwatch's bridge as a Windows program under Wine finds it: a pseudo-terminal linked as the
// prefix's dosdevices/comn (Wine opens the link's target for \\.\COMn), and registry entries through
// which Wine's SetupAPI lists a USB serial port 5f3a:b7c4 named COMn: the device in class Ports with
// its hardware IDs, and its COM-port interface. The entries are written as a REGEDIT4 file (8-bit:
// under a "Version 5.00" header Wine widens an 8-bit file's multi-strings twice) and imported with
// Wine's `reg import`, which, unlike regedit, fails with a non-zero status. Unlisted, the bridge has the
// port alone, as for a program that reaches it through a stand-in of the bridge's driver library.
class WineBridge : public Bridge {
public:
    // `loader` runs Windows programs (wine64); `prefix` is the Wine prefix the program runs in;
    // `listed`: whether SetupAPI lists the port.
    WineBridge(std::string loader, std::filesystem::path prefix, bool listed = true);
    ~WineBridge() override;
    WineBridge(const WineBridge&) = delete;
    WineBridge& operator=(const WineBridge&) = delete;

    // The first time, takes the first port from COM5 on that the prefix does not use yet; a bridge
    // plugged in again gets the same port, as Windows gives a device back its number.
    bool Plug(std::string& error) override;
    // The registry entries and the link go first, then the line hangs up.
    void Unplug() override;

private:
    bool ChoosePort(std::string& error);
    bool ImportRegistry(const std::string& text, std::string& error) const;

    std::string m_loader;
    std::filesystem::path m_prefix;
    bool m_listed;
    int m_port = 0;  // the n of COMn; 0 until the first plug
};
