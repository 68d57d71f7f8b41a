#include "link/SystemBridgeDriver.h"

#include "link/LinuxBridgeDriver.h"

BridgeDriver& SystemBridgeDriver() {
    static LinuxBridgeDriver driver;
    return driver;
}
