#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "link/ComCP2102.h"
#include "protocol/ComProtocol.h"
#include "timelist/TimeEvent.h"

class QTimerEvent;

// The baseline the window's poll tick is measured against: the tick as first written down, which
// empties the driver's buffers and then waits for one frame with the port's 500 ms read timeout.
// A received frame is handed to onRow where the window would append its row.
class LiteralTick : public QObject {
public:
    static constexpr uint32_t kCapacity = 80;  // the window's receive buffer

    explicit LiteralTick(BridgeDriver& driver);

    // Opens the port, points the receiver at it, flushes it and starts the 10 ms window timer.
    bool Connect();

    std::function<void(const TimeEvent&)> onRow;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Tick();

    ComCP2102 m_port;
    ComProtocol m_receiver;
    uint8_t m_rxBuffer[kCapacity] = {};
    int32_t m_rxCount = 0;
};
