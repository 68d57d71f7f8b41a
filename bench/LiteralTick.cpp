#include "bench/LiteralTick.h"

#include "timelist/PayloadReader.h"

LiteralTick::LiteralTick(BridgeDriver& driver) : m_port(driver) {}

bool LiteralTick::Connect() {
    if (!m_port.OpenByIds("5f3a", "b7c4", 115200, 500)) {
        return false;
    }
    m_receiver.SetCom(&m_port);
    m_port.Flush();
    return startTimer(10) != 0;
}

void LiteralTick::timerEvent(QTimerEvent*) { Tick(); }

void LiteralTick::Tick() {
    m_rxCount = 0;
    m_port.Flush();
    if (m_receiver.Receive(m_rxBuffer, kCapacity, m_rxCount, 0) && onRow) {
        onRow(DecodeTimeEvent(m_rxBuffer, sizeof m_rxBuffer));
    }
}
