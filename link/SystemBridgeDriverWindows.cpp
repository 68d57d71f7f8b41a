#include "link/SystemBridgeDriver.h"

#include <memory>
#include <utility>
#include <vector>

#include "link/CombinedBridgeDriver.h"
#include "link/UsbXpressBridgeDriver.h"
#include "link/WindowsBridgeDriver.h"

namespace {

// The bridges bound to the maker's direct-access driver come first, where its library is installed;
// then the COM ports that a virtual-COM-port driver made.
std::vector<std::unique_ptr<BridgeDriver>> Parts() {
    std::vector<std::unique_ptr<BridgeDriver>> parts;
    if (std::unique_ptr<UsbXpressBridgeDriver> library = UsbXpressBridgeDriver::Load()) {
        parts.push_back(std::move(library));
    }
    parts.push_back(std::make_unique<WindowsBridgeDriver>());
    return parts;
}

}  // namespace

BridgeDriver& SystemBridgeDriver() {
    static CombinedBridgeDriver driver(Parts());
    return driver;
}
