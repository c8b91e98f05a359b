// The device EEPROM as the updater, the simulated device and the tools read
// it: a 256-byte serial EEPROM on the bridge chip's I2C bus.
#pragma once

#include <windows.h>

namespace velto1::eeprom {

constexpr DWORD kBusAddress = 0xA0;  // 8-bit bus address (bit 0 is read/write)
constexpr DWORD kSize = 256;
constexpr DWORD kIdentityOffset = 4;  // vendor id (bytes 4, 5), product id (6, 7)
constexpr DWORD kOptionByteOffset = 0x08;
constexpr DWORD kNotUpdatedBit = 0x80;  // set in the option byte until the update
constexpr DWORD kMarkerOffset = 0x7A;
constexpr DWORD kSupportedProductMarker = 0x31;
// Time a byte write needs before the EEPROM answers again (datasheet: 5 ms
// for the common 24C02 parts; the updater waits far longer between steps).
constexpr DWORD kWriteCycleMilliseconds = 10;

}  // namespace velto1::eeprom
