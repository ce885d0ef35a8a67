#include "serial/AfTermiosMap.h"

namespace halvex {

namespace {

struct TSpeed {
    std::uint32_t baud;
    speed_t code;
};

constexpr TSpeed Speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

std::optional<tcflag_t> SizeBits(std::uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    case 8:
        return CS8;
    default:
        return std::nullopt; // no 4-bit characters on Linux
    }
}

std::optional<tcflag_t> ParityBits(std::uint8_t parity) {
    switch (parity) {
    case paNone:
        return 0;
    case paOdd:
        return PARENB | PARODD;
    case paEven:
        return PARENB;
    case paMark:
        return PARENB | CMSPAR | PARODD;
    case paSpace:
        return PARENB | CMSPAR;
    default:
        return std::nullopt;
    }
}

std::optional<tcflag_t> StopBits(std::uint8_t stopBits, std::uint8_t byteSize) {
    switch (stopBits) {
    case sbOne:
        return 0;
    case sbOneAndHalf: // CSTOPB gives one and a half only with 5 data bits
        return byteSize == 5 ? std::optional<tcflag_t>(CSTOPB) : std::nullopt;
    case sbTwo:
        return CSTOPB;
    default:
        return std::nullopt;
    }
}

TAfParity ParityOf(tcflag_t control) {
    if ((control & PARENB) == 0)
        return paNone;
    if (control & CMSPAR)
        return (control & PARODD) ? paMark : paSpace;
    return (control & PARODD) ? paOdd : paEven;
}

std::uint8_t ByteSizeOf(tcflag_t control) {
    switch (control & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

} // namespace

speed_t AfSpeedCode(std::uint32_t baud) {
    for (const auto& s : Speeds)
        if (s.baud == baud)
            return s.code;
    return B0;
}

std::uint32_t AfSpeedBaud(speed_t code) {
    for (const auto& s : Speeds)
        if (s.code == code)
            return s.baud;
    return 0;
}

std::optional<TAfLineSettings> AfLineFromDcb(const TAfDCB& dcb) {
    if (dcb.BaudRate == 0) // B0 would hang the line up
        return std::nullopt;
    const auto size = SizeBits(dcb.ByteSize);
    const auto parity = ParityBits(dcb.Parity);
    const auto stop = StopBits(dcb.StopBits, dcb.ByteSize);
    if (!size || !parity || !stop)
        return std::nullopt;
    const std::uint32_t flags = dcb.Flags;
    // No DTR/DSR flow control and no RTS toggling on Linux.
    if ((flags & dcbf::OutxDsrFlow) != 0 || (flags & dcbf::DtrControlMask) == dcbf::DtrHandshake ||
        (flags & dcbf::RtsControlMask) == dcbf::RtsControlMask)
        return std::nullopt;
    TAfLineSettings line;
    line.RtsCts =
        (flags & dcbf::OutxCtsFlow) != 0 || (flags & dcbf::RtsControlMask) == dcbf::RtsHandshake;
    line.Control = *size | *parity | *stop | (line.RtsCts ? CRTSCTS : 0);
    if (flags & dcbf::OutX)
        line.Input |= IXON;
    if (flags & dcbf::InX)
        line.Input |= IXOFF;
    if (flags & dcbf::Parity)
        line.Input |= INPCK;
    line.XonChar = static_cast<cc_t>(dcb.XonChar);
    line.XoffChar = static_cast<cc_t>(dcb.XoffChar);
    line.Baud = dcb.BaudRate;
    line.Speed = AfSpeedCode(dcb.BaudRate);
    line.Dtr = (flags & dcbf::DtrControlMask) == dcbf::DtrEnable;
    line.Rts = !line.RtsCts && (flags & dcbf::RtsControlMask) == dcbf::RtsEnable;
    return line;
}

TAfDCB AfDcbFromLine(const TAfLineSettings& line, const TAfDCB& base) {
    TAfDCB dcb = base;
    dcb.DCBlength = sizeof(TAfDCB);
    dcb.BaudRate = line.Baud;
    dcb.ByteSize = ByteSizeOf(line.Control);
    dcb.Parity = ParityOf(line.Control);
    dcb.StopBits = (line.Control & CSTOPB) ? (dcb.ByteSize == 5 ? sbOneAndHalf : sbTwo) : sbOne;
    std::uint32_t flags = dcbf::Binary;
    if (line.RtsCts)
        flags |= dcbf::OutxCtsFlow | dcbf::RtsHandshake;
    if (line.Input & IXON)
        flags |= dcbf::OutX;
    if (line.Input & IXOFF)
        flags |= dcbf::InX;
    if (line.Input & INPCK)
        flags |= dcbf::Parity;
    if (line.Dtr)
        flags |= dcbf::DtrEnable;
    if (!line.RtsCts && line.Rts)
        flags |= dcbf::RtsEnable;
    dcb.Flags = flags;
    dcb.XonChar = static_cast<char>(line.XonChar);
    dcb.XoffChar = static_cast<char>(line.XoffChar);
    return dcb;
}

} // namespace halvex
