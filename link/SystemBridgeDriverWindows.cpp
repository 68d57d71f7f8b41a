#include "link/SystemBridgeDriver.h"

#include "link/WindowsBridgeDriver.h"

BridgeDriver& SystemBridgeDriver() {
    static WindowsBridgeDriver driver;
    return driver;
}
