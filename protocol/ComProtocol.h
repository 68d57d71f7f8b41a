#pragma once

#include <cstdint>

#include "link/Com.h"
#include "protocol/ComStatus.h"

// The frame layer: reads a port one byte at a time, hunts for the start byte, removes the byte
// stuffing, follows the length field and checks the CRC-16. A length that cannot fit the buffer, or 0,
// ends the frame at once. One Receive yields at most one frame.
class ComProtocol {
public:
    void SetCom(Com* port);
    // Stores one frame without its start byte and with stuffing removed: leading byte, length (LE),
    // payload, CRC (LE). True exactly when a frame with a matching CRC was stored.
    bool Receive(uint8_t* buffer, uint32_t capacity, int32_t& storedCount, uint32_t timeoutMs);
    ComStatus GetStatus() const;

    void CrcInit();
    void CrcUpdate(uint8_t byte);

private:
    Com* com = nullptr;
    uint16_t crc = 0;
    ComStatus status = ComStatus::NoError;
};
