#pragma once

class BridgeDriver;

// The driver of the USB bridges attached to this machine, shared for the program's run.
BridgeDriver& SystemBridgeDriver();
