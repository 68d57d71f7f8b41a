#pragma once

#include <cstddef>
#include <cstdint>

// CRC-16 of the stopwatch's frames: polynomial 0x8005, initial value 0x800D, not reflected, no final
// XOR (CRC-16/DDS-110). Check value: 0x9ECF for "123456789"; 0x800D for no bytes at all.
uint16_t Crc16(const uint8_t* data, std::size_t length);
