#include "protocol/Crc16.h"

#include <array>

namespace {

constexpr uint16_t kPolynomial = 0x8005;
constexpr uint16_t kInitial = 0x800D;

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        uint16_t crc = static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ kPolynomial)
                                 : static_cast<uint16_t>(crc << 1);
        }
        table[byte] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16(const uint8_t* data, std::size_t length) {
    uint16_t crc = kInitial;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ data[i]) & 0xFF]);
    }
    return crc;
}
