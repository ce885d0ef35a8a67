#include "config/ConfigImage.h"

#include <gtest/gtest.h>

using namespace halvex;

TEST(ConfigImage, WordsAreLittleEndian) {
    TConfigImage img;
    img.SetByte(20, 0x34);
    img.SetByte(21, 0x12);
    EXPECT_EQ(img.GetWord(20), 0x1234);
    img.SetWord(22, 4660);
    EXPECT_EQ(img.Byte(22), 0x34);
    EXPECT_EQ(img.Byte(23), 0x12);
    img.SetWord(22, 0x12345); // only 16 bits are kept
    EXPECT_EQ(img.GetWord(22), 0x2345);
    EXPECT_EQ(img.MahAlarm(), 0x1234);
}

TEST(ConfigImage, HeaderFieldsDecode) {
    TConfigImage img;
    img.SetByte(ofs::BattAlarm, 0xF0);
    EXPECT_EQ(img.VideoBattNibble(), 15);
    EXPECT_EQ(img.MotorBattNibble(), 0);
    img.SetByte(ofs::MinThempAlarm, 40);
    img.SetByte(ofs::MaxThempAlarm, 210);
    EXPECT_EQ(img.MinThempCelsius(), -50);
    EXPECT_EQ(img.MaxThempCelsius(), 120);
    img.SetConfig(0x93);
    EXPECT_EQ(img.SwitchChannel(), 4);
    EXPECT_TRUE(img.IsPal());
    EXPECT_FALSE(img.ConfigBit(cfg::Sequential));
    EXPECT_TRUE(img.ConfigBit(cfg::Imperial));
    EXPECT_TRUE(img.ConfigBit(cfg::GpsDms));
    img.SetConfigBit(cfg::Pal, false);
    EXPECT_EQ(img.Config(), 0x83);
    img.SetByte(0, 0x0A);
    img.SetByte(1, 0x21);
    EXPECT_EQ(img.FirmwareVersion(), 0x010A);
}

TEST(ConfigImage, OdometerIsThirtyTwoBits) {
    TConfigImage img;
    img.SetByte(12, 0x00);
    img.SetByte(13, 0x00);
    img.SetByte(14, 0x01);
    img.SetByte(15, 0x00);
    EXPECT_EQ(img.Odometer(), 65536u);
    img.SetWord(12, 0xFFFF);
    img.SetWord(14, 0xFFFF);
    EXPECT_EQ(img.Odometer(), 0xFFFFFFFFu);
}

TEST(ConfigImage, ItemRecordOffsets) {
    EXPECT_EQ(ItemRecordOffset(0, 0), 32u);
    EXPECT_EQ(ItemRecordOffset(1, 19), 163u);
    EXPECT_EQ(ItemRecordOffset(2, 19), 237u);
    TConfigImage img;
    img.SetYPos(1, 19, 7);
    EXPECT_EQ(img.Byte(165), 7);
    EXPECT_EQ(img.YPos(0, 19), 0);
}

TEST(ConfigImage, UserNameRule) {
    TConfigImage img;
    std::string sample = "Pilot";
    // An area starting with a terminator leaves the sample text alone.
    img.SetByte(500, 0xFF);
    EXPECT_FALSE(ReadUserName(img, sample));
    EXPECT_EQ(sample, "Pilot");
    img.SetByte(500, 0x00);
    EXPECT_FALSE(ReadUserName(img, sample));
    EXPECT_EQ(sample, "Pilot");
    // ABC then 0xFF or 0x00.
    for (std::uint8_t term : {0xFF, 0x00}) {
        img.SetByte(500, 'A');
        img.SetByte(501, 'B');
        img.SetByte(502, 'C');
        img.SetByte(503, term);
        img.SetByte(504, 'X');
        EXPECT_TRUE(ReadUserName(img, sample));
        EXPECT_EQ(sample, "ABC");
    }
    // Twelve letters, no terminator; the dump check byte after them is not read.
    for (int k = 0; k < 12; ++k)
        img.SetByte(500 + k, static_cast<std::uint8_t>('a' + k));
    img.SetByte(ofs::DumpCheck, 'z');
    EXPECT_TRUE(ReadUserName(img, sample));
    EXPECT_EQ(sample, "abcdefghijkl");
}

TEST(ConfigImage, DumpCheckByte) {
    TConfigImage img;
    EXPECT_EQ(img.DumpCheckByte(), 0xAA);
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        img.SetByte(k, 0xFF);
    EXPECT_EQ(img.DumpCheckByte(), 0xAA); // 512 * 0xFF is a multiple of 256
    img.SetByte(ofs::DumpCheck, 0xAA);
    EXPECT_TRUE(img.DumpCheckMatches());
    img.SetByte(3, 0xFE);
    EXPECT_FALSE(img.DumpCheckMatches());
}
