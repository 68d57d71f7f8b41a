#pragma once

#include <cstdint>
#include <string>

#include "link/BridgeDriver.h"
#include "link/Com.h"

// The serial line settings that every open applies; the fields that the port uses of the
// platform's line-settings record.
struct DCB {
    uint32_t BaudRate = 0;
    uint8_t fDtrControl = 0;  // line held inactive
    uint8_t fRtsControl = 0;  // line held inactive
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;    // none
    uint8_t StopBits = 0;  // one stop bit
};

// The stopwatch's USB-to-UART bridge, driven through the bridge's driver.
class ComCP2102 : public Com {
public:
    explicit ComCP2102(BridgeDriver& driver);
    ~ComCP2102() override;

    bool Setup(uint32_t value) override;
    bool Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) override;
    bool Write(const uint8_t* buffer, uint32_t count) override;
    bool Close() override;
    bool Flush() override;
    bool SetTimeout(uint32_t timeoutMs) override;
    bool GetTimeout(uint32_t& timeoutMs) override;
    bool Open(const char* name, uint32_t baudRate, uint32_t timeoutMs) override;
    bool IsOpen() override;

    // Opens the first device whose vendor-ID and product-ID strings equal the arguments exactly.
    // Given a serial number, only the device whose serial-number string equals it too: the others
    // with the IDs are passed over unopened, since each may be another stopwatch, held by another
    // program.
    bool OpenByIds(const char* vendorId, const char* productId, uint32_t baudRate, uint32_t timeoutMs,
                   const char* serialNumber = nullptr);
    // The serial-number string of the device open, as the driver told it at the open (once the
    // device is gone, nothing can be asked about it); empty when closed or when the driver could not
    // tell.
    const std::string& SerialNumber() const { return m_serialNumber; }
    // Bytes waiting in the receive queue; false on a closed port or a failed query.
    bool BytesWaiting(uint32_t& count);

private:
    uint16_t LineControlWord() const;
    // Asks the driver to open the device at index and configures it; on failure the port stays
    // closed.
    bool OpenIndex(uint32_t index, const char* serialNumber, uint32_t baudRate, uint32_t timeoutMs);
    bool Configure(uint32_t baudRate, uint32_t timeoutMs);

    BridgeDriver& m_driver;
    DeviceHandle m_handle = kInvalidHandle;
    DCB m_dcb;
    std::string m_serialNumber;
};
