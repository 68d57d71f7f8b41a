#include "app/SystemBridgeDriver.h"

#include "link/LinuxBridgeDriver.h"

BridgeDriver& SystemBridgeDriver() {
    static LinuxBridgeDriver driver;
    return driver;
}
