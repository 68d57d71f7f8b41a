#pragma once

// A watch for devices plugged in, made for an event loop. On Linux, Descriptor becomes readable when
// the system reports a change, and TakeArrival reads one report. On Windows the reports come to the
// window as WM_DEVICECHANGE messages: Descriptor is -1, and TakeArrival, called for such a message,
// says yes. The watch ends when it is destroyed.
class ArrivalWatch {
public:
    ArrivalWatch() = default;
    ArrivalWatch(const ArrivalWatch&) = delete;
    ArrivalWatch& operator=(const ArrivalWatch&) = delete;
    virtual ~ArrivalWatch() = default;

    virtual int Descriptor() const = 0;
    // Reads one report; true when it tells of a serial device plugged in.
    virtual bool TakeArrival() = 0;
};
