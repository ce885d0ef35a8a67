// The DCB as termios settings and back: a pure mapping, no device involved. The engine
// applies the result to the device and reads it back to detect a refusal.
#pragma once

#include "serial/AfDcb.h"

#include <cstdint>
#include <optional>

#include <termios.h>

namespace halvex {

// The termios part a DCB decides; every other bit of the line stays raw.
struct TAfLineSettings {
    tcflag_t Control = 0; // the AfControlBits: CSIZE, PARENB, PARODD, CMSPAR, CSTOPB, CRTSCTS
    tcflag_t Input = 0;   // the AfInputBits: IXON, IXOFF, INPCK
    cc_t XonChar = 0;     // VSTART
    cc_t XoffChar = 0;    // VSTOP
    std::uint32_t Baud = 0;
    speed_t Speed = B0; // B-constant of Baud; B0 when the rate needs termios2 (BOTHER)
    bool RtsCts = false;
    bool Dtr = false; // DTR raised
    bool Rts = false; // RTS raised (ignored under RTS/CTS)

    bool operator==(const TAfLineSettings&) const = default;
};

inline constexpr tcflag_t AfControlBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
inline constexpr tcflag_t AfInputBits = IXON | IXOFF | INPCK;

// The settings of a DCB; nothing for one a Linux line cannot take: a rate of 0, 4 or more
// than 8 data bits, an unknown parity or stop-bit code, 1.5 stop bits with more than 5 data
// bits, DTR/DSR flow control or RTS toggling.
std::optional<TAfLineSettings> AfLineFromDcb(const TAfDCB& dcb);
// A line's settings as a DCB; what a line does not keep (limits, options) comes from `base`.
TAfDCB AfDcbFromLine(const TAfLineSettings& line, const TAfDCB& base);
// B-constant of a rate, B0 when there is none; and the rate of a B-constant, 0 when unknown.
speed_t AfSpeedCode(std::uint32_t baud);
std::uint32_t AfSpeedBaud(speed_t code);

} // namespace halvex
