#include "serial/AfTermiosMap.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace halvex {
namespace {

TAfDCB Dcb(std::uint32_t baud, std::uint8_t bits, TAfParity parity, TAfStopbits stop,
           std::uint32_t flags) {
    TAfDCB dcb{};
    dcb.DCBlength = sizeof(TAfDCB);
    dcb.BaudRate = baud;
    dcb.ByteSize = bits;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.Flags = flags;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

// Each DCB with the termios bits it stands for (or none when a Linux line cannot take it);
// every accepted DCB also comes back unchanged from those bits.
TEST(AfTermiosMap, DcbToTermiosAndBack) {
    struct TRow {
        TAfDCB dcb;
        std::optional<tcflag_t> control;
        tcflag_t input;
        speed_t speed;
        bool dtr, rts;
    };
    const std::vector<TRow> rows = {
        // The main window's line: 57600 8N1, DTR off, RTS on.
        {Dcb(57600, 8, paNone, sbOne, 0x1001), CS8, 0, B57600, false, true},
        {Dcb(9600, 7, paOdd, sbTwo, 0x0011), CS7 | PARENB | PARODD | CSTOPB, 0, B9600, true, false},
        {Dcb(19200, 6, paEven, sbOne, 0x0001), CS6 | PARENB, 0, B19200, false, false},
        {Dcb(1200, 5, paMark, sbOneAndHalf, 0x0001), CS5 | PARENB | CMSPAR | PARODD | CSTOPB, 0,
         B1200, false, false},
        {Dcb(300, 8, paSpace, sbOne, 0x0001), CS8 | PARENB | CMSPAR, 0, B300, false, false},
        // Flow control and the parity check: XON/XOFF both ways; RTS/CTS (no RTS of its own).
        {Dcb(115200, 8, paNone, sbOne, 0x0303), CS8, IXON | IXOFF | INPCK, B115200, false, false},
        {Dcb(115200, 8, paNone, sbOne, 0x2005), CS8 | CRTSCTS, 0, B115200, false, false},
        // A rate without a B-constant goes through termios2.
        {Dcb(14400, 8, paNone, sbOne, 0x0001), CS8, 0, B0, false, false},
        // Refused: rate 0, 4 or 9 data bits, unknown codes, 1.5 stop bits with 8 data bits,
        // DTR/DSR flow control, RTS toggling.
        {Dcb(0, 8, paNone, sbOne, 0x0001), std::nullopt, 0, B0, false, false},
        {Dcb(9600, 4, paNone, sbOne, 0x0001), std::nullopt, 0, B0, false, false},
        {Dcb(9600, 9, paNone, sbOne, 0x0001), std::nullopt, 0, B0, false, false},
        {Dcb(9600, 8, TAfParity(5), sbOne, 0x0001), std::nullopt, 0, B0, false, false},
        {Dcb(9600, 8, paNone, TAfStopbits(3), 0x0001), std::nullopt, 0, B0, false, false},
        {Dcb(9600, 8, paNone, sbOneAndHalf, 0x0001), std::nullopt, 0, B0, false, false},
        {Dcb(9600, 8, paNone, sbOne, 0x0029), std::nullopt, 0, B0, false, false},
        {Dcb(9600, 8, paNone, sbOne, 0x3001), std::nullopt, 0, B0, false, false},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "baud " << row.dcb.BaudRate << " flags 0x" << std::hex << row.dcb.Flags
                     << std::dec << " bits " << int(row.dcb.ByteSize) << " parity "
                     << int(row.dcb.Parity) << " stop " << int(row.dcb.StopBits));
        const std::optional<TAfLineSettings> line = AfLineFromDcb(row.dcb);
        ASSERT_EQ(line.has_value(), row.control.has_value());
        if (!line)
            continue;
        EXPECT_EQ(line->Control, *row.control);
        EXPECT_EQ(line->Input, row.input);
        EXPECT_EQ(line->Speed, row.speed);
        EXPECT_EQ(line->Baud, row.dcb.BaudRate);
        EXPECT_EQ(line->XonChar, 17);
        EXPECT_EQ(line->XoffChar, 19);
        EXPECT_EQ(line->Dtr, row.dtr);
        EXPECT_EQ(line->Rts, row.rts);
        EXPECT_EQ(AfDcbFromLine(*line, TAfDCB{}), row.dcb);
    }
}

} // namespace
} // namespace halvex
