#include "protocol/ComProtocol.h"

#include <cstdio>

namespace {

constexpr uint8_t kStartByte = 0x02;
constexpr uint8_t kEscape = 0x10;
constexpr uint16_t kPolynomial = 0x8005;
// Offset of the payload in a stored frame: leading byte, then the two length bytes.
constexpr uint32_t kPayloadOffset = 3;
// Leading byte, length and CRC around the payload.
constexpr uint32_t kFrameOverhead = 5;

}  // namespace

void ComProtocol::SetCom(Com* port) { com = port; }

ComStatus ComProtocol::GetStatus() const { return status; }

void ComProtocol::CrcInit() { crc = 0xFFFF; }

// Augmented register: the message enters at bit 0, the checksum is what it holds after two zero bytes.
void ComProtocol::CrcUpdate(uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        const bool carry = (crc & 0x8000) != 0;
        crc = static_cast<uint16_t>((crc << 1) | ((byte >> bit) & 1));
        if (carry) {
            crc ^= kPolynomial;
        }
    }
}

bool ComProtocol::Receive(uint8_t* buffer, uint32_t capacity, int32_t& storedCount, uint32_t timeoutMs) {
    status = ComStatus::NoError;
    if (com == nullptr) {
        status = ComStatus::SetComNotCalled;
        return false;
    }
    if (!com->IsOpen()) {
        status = ComStatus::NotConnected;
        return false;
    }

    // When the port cannot tell its timeout there is no value to put back, so it is left at timeoutMs.
    uint32_t keptTimeout = 0;
    bool restoreTimeout = false;
    if (timeoutMs != 0) {
        restoreTimeout = com->GetTimeout(keptTimeout);
        com->SetTimeout(timeoutMs);
    }

    bool hunting = true;
    bool escapePending = false;
    uint32_t i = 0;
    uint32_t length = 0;
    uint16_t expectedCrc = 0;
    bool crcComputed = false;
    bool complete = false;
    bool stop = false;
    uint8_t byte = 0;
    // One bytes-read value for the whole call: a failed read leaves it as the previous read set it,
    // which is how a failed first read (NoData) differs from a failed later one (TransmissionError).
    uint32_t bytesRead = 0;

    CrcInit();
    bool readOk = com->Read(&byte, 1, &bytesRead);
    while (readOk && bytesRead != 0) {
        // While hunting, every byte but the start byte is dropped; 0x10 has no meaning there.
        if (hunting && byte == kStartByte) {
            hunting = false;
            storedCount = 0;
            i = 0;
            crcComputed = false;
            CrcInit();
            CrcUpdate(kStartByte);
        } else if (!hunting) {
            if (escapePending) {
                buffer[i++] = static_cast<uint8_t>(byte & 0x7F);
                ++storedCount;
                escapePending = false;
            } else if (byte == kEscape) {
                escapePending = true;
            } else {
                buffer[i++] = byte;
                ++storedCount;
            }
            // The CRC covers the bytes as transmitted: escape bytes, and escaped bytes with bit 7 intact.
            CrcUpdate(byte);

            if (i == kPayloadOffset) {
                length = buffer[1] + 256u * buffer[2];
                // A frame that can never complete ends here, before it swallows the frames that follow:
                // a false start byte in noise, or a corrupted length field.
                if (length == 0 || length + kFrameOverhead > capacity) {
                    status = ComStatus::LengthTooLarge;
                    stop = true;
                }
            } else if (i == length + kPayloadOffset && i > kPayloadOffset && !crcComputed) {
                CrcUpdate(0);
                CrcUpdate(0);
                expectedCrc = crc;
                crcComputed = true;
            } else if (i >= length + kFrameOverhead && i > kPayloadOffset && crcComputed) {
                const uint16_t receivedCrc = static_cast<uint16_t>(
                    buffer[length + kPayloadOffset] + 256u * buffer[length + kPayloadOffset + 1]);
                if (receivedCrc == expectedCrc) {
                    std::printf("Empfangen %d\n", static_cast<int>(length));
                    for (uint32_t k = 0; k < length; ++k) {
                        std::printf("0x%02x ", buffer[kPayloadOffset + k]);
                    }
                    std::printf("\n");
                    std::fflush(stdout);
                    complete = true;
                } else {
                    std::printf("Checksumme fehlerhaft: 0x%02x 0x%02x -> 0x%04x\n",
                                buffer[length + kPayloadOffset], buffer[length + kPayloadOffset + 1],
                                expectedCrc);
                    std::fflush(stdout);
                    status = ComStatus::ChecksumWrong;
                    stop = true;
                }
            }
        }
        // A byte that fills the buffer and also completes a wrong CRC keeps ChecksumWrong: the frame is
        // whole, only its checksum is bad.
        if (i >= capacity && !complete && !stop) {
            status = ComStatus::BufferTooSmall;
            stop = true;
        }
        if (stop || complete) {
            break;
        }
        readOk = com->Read(&byte, 1, &bytesRead);
    }

    if (restoreTimeout) {
        com->SetTimeout(keptTimeout);
    }
    if (!complete) {
        if (bytesRead == 0) {
            status = ComStatus::NoData;
        } else if (status == ComStatus::NoError) {
            status = ComStatus::TransmissionError;
        }
    }
    return complete;
}
