#pragma once

#include "link/ArrivalWatch.h"

// Serial devices plugged in, on Windows: the window registers for the COM-port interface's
// WM_DEVICECHANGE messages and calls its dialog on each arrival, so there is no descriptor to wait
// on, and a report taken is always an arrival.
class WindowsArrivalWatch : public ArrivalWatch {
public:
    int Descriptor() const override;
    bool TakeArrival() override;
};
