#pragma once

#include <cstdint>
#include <memory>

#include "link/ArrivalWatch.h"
#include "link/UdevPtr.h"

// Serial devices plugged in, as udev announces them once its rules have set the device node up:
// a monitor on the tty subsystem. It costs nothing while nothing is plugged in, since the caller
// waits on its descriptor.
class UdevArrivalWatch : public ArrivalWatch {
public:
    // Starts a watch; on failure `watch` stays empty and the result says why.
    static uint32_t Start(std::unique_ptr<ArrivalWatch>& watch);

    int Descriptor() const override;
    bool TakeArrival() override;

private:
    UdevArrivalWatch(UdevPtr<udev> context, UdevPtr<udev_monitor> monitor);

    UdevPtr<udev> m_context;
    UdevPtr<udev_monitor> m_monitor;
};
