#include "bench/LiteralTick.h"

#include "app/CDIZUravavedVKX260Dlg.h"
#include "timelist/PayloadReader.h"

using Dialog = CDIZUravavedVKX260Dlg;

LiteralTick::LiteralTick(BridgeDriver& driver) : m_port(driver) {}

bool LiteralTick::Connect() {
    if (!m_port.OpenByIds(Dialog::kVendorId, Dialog::kProductId, Dialog::kBaudRate, Dialog::kPortTimeoutMs)) {
        return false;
    }
    m_receiver.SetCom(&m_port);
    m_port.Flush();
    return startTimer(static_cast<int>(Dialog::kPollPeriodMs)) != 0;
}

void LiteralTick::timerEvent(QTimerEvent*) { Tick(); }

void LiteralTick::Tick() {
    m_rxCount = 0;
    m_port.Flush();
    if (m_receiver.Receive(m_rxBuffer, kCapacity, m_rxCount, 0) && onRow) {
        onRow(DecodeTimeEvent(m_rxBuffer, sizeof m_rxBuffer));
    }
}
