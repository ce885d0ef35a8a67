// The device control block (the Win32 DCB layout the component builds from its properties)
// and the named line settings its fields hold.
#pragma once

#include <cstdint>

namespace halvex {

enum TAfDatabits : std::uint8_t { db4, db5, db6, db7, db8 };
// DCB Parity field: the value's ordinal.
enum TAfParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };
// DCB StopBits field: the value's ordinal.
enum TAfStopbits : std::uint8_t { sbOne, sbOneAndHalf, sbTwo };

// Device control block with the field layout of the Win32 DCB (28 bytes).
struct TAfDCB {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // TAfParity
    std::uint8_t StopBits = 0; // TAfStopbits
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    bool operator==(const TAfDCB&) const = default;
};
static_assert(sizeof(TAfDCB) == 28, "TAfDCB must keep the 28-byte DCB layout");

// Bits of TAfDCB::Flags.
namespace dcbf {
inline constexpr std::uint32_t Binary = 0x0001;
inline constexpr std::uint32_t Parity = 0x0002;
inline constexpr std::uint32_t OutxCtsFlow = 0x0004;
inline constexpr std::uint32_t OutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DtrEnable = 0x0010;
inline constexpr std::uint32_t DtrHandshake = 0x0020;
inline constexpr std::uint32_t DtrControlMask = 0x0030;
inline constexpr std::uint32_t DsrSensitivity = 0x0040;
inline constexpr std::uint32_t TXContinueOnXoff = 0x0080;
inline constexpr std::uint32_t OutX = 0x0100;
inline constexpr std::uint32_t InX = 0x0200;
inline constexpr std::uint32_t ErrorChar = 0x0400;
inline constexpr std::uint32_t Null = 0x0800;
inline constexpr std::uint32_t RtsEnable = 0x1000;
inline constexpr std::uint32_t RtsHandshake = 0x2000;
inline constexpr std::uint32_t RtsControlMask = 0x3000;
} // namespace dcbf

} // namespace halvex
