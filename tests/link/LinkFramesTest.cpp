#include "link/LinkFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

using namespace halvex;

namespace {

// Decodes the hex payload and check byte of a frame; fails the test on a malformed frame.
std::vector<std::uint8_t> DecodeFrame(const std::string& frame) {
    std::vector<std::uint8_t> bytes;
    EXPECT_GE(frame.size(), 6u);
    EXPECT_EQ(frame[0], '$');
    EXPECT_EQ(frame.substr(frame.size() - 2), "\r\n");
    const std::string hex = frame.substr(2, frame.size() - 4);
    EXPECT_EQ(hex.size() % 2, 0u);
    for (char ch : hex)
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(ch)) || (ch >= 'A' && ch <= 'F'))
            << "not an upper-case hex digit: " << ch;
    for (std::size_t k = 0; k + 1 < hex.size(); k += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(k, 2), nullptr, 16)));
    return bytes;
}

unsigned Sum(const std::vector<std::uint8_t>& bytes) {
    unsigned s = 0;
    for (auto b : bytes)
        s += b;
    return s & 0xFF;
}

} // namespace

TEST(LinkFrames, LiteralRequestsEqualTheBuiltFrames) {
    const std::uint8_t tst[] = {0x74, 0x73, 0x74};
    const std::uint8_t erd[] = {0x65, 0x72, 0x64};
    EXPECT_EQ(TestFrame(), "$w747374A4\r\n");
    EXPECT_EQ(ReadFrame(), "$w657264C4\r\n");
    EXPECT_EQ(BuildFrame('w', tst, 3), TestFrame());
    EXPECT_EQ(BuildFrame('w', erd, 3), ReadFrame());
    EXPECT_EQ(TestFrame().size(), kLiteralFrameSize);
    EXPECT_EQ(ReadFrame().size(), kLiteralFrameSize);
}

TEST(LinkFrames, CheckByteMakesTheSumFF) {
    const std::uint8_t none[1] = {0};
    EXPECT_EQ(FrameCheck(none, 0), 0xFF);
    const std::uint8_t ff[] = {0xFF};
    EXPECT_EQ(FrameCheck(ff, 1), 0x00);
    const std::uint8_t wrap[] = {0x80, 0x80, 0x01}; // sum 0x101
    EXPECT_EQ(FrameCheck(wrap, 3), 0xFE);
    EXPECT_EQ(BuildFrame('w', ff, 1), "$wFF00\r\n"); // two digits even for zero
}

TEST(LinkFrames, BlockFrameLayoutAndCheck) {
    TConfigImage image;
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        image.SetByte(k, static_cast<std::uint8_t>(k * 7 + 3));
    for (std::size_t b = 0; b < kBlockCount; ++b) {
        const std::string frame = BlockFrame(image, b);
        ASSERT_EQ(frame.size(), kBlockFrameSize);
        EXPECT_EQ(frame.substr(0, 2), "$w");
        const auto bytes = DecodeFrame(frame);
        ASSERT_EQ(bytes.size(), 1 + kBlockBytes + 1);
        EXPECT_EQ(bytes[0], b);
        for (std::size_t k = 0; k < kBlockBytes; ++k)
            EXPECT_EQ(bytes[1 + k], image.Byte(b * kBlockBytes + k)) << b << ":" << k;
        EXPECT_EQ(Sum(bytes), 0xFFu);
    }
}

TEST(LinkFrames, BlockWhoseSumIsFFGetsCheck00) {
    TConfigImage image;
    // Block 3: index 3 + 0xFC = 0xFF.
    image.SetByte(3 * 32 + 5, 0xFC);
    const std::string frame = BlockFrame(image, 3);
    EXPECT_EQ(frame.size(), kBlockFrameSize);
    EXPECT_EQ(frame.substr(frame.size() - 4), "00\r\n");
    // Block 0 with all data 0xFF: 32 * 0xFF = 0x1FE0, low byte 0xE0; check 0x1F.
    for (std::size_t k = 0; k < 32; ++k)
        image.SetByte(k, 0xFF);
    EXPECT_EQ(BlockFrame(image, 0).substr(68, 2), "1F");
}

TEST(LinkFrames, BlockFrameLeavesTheImageAlone) {
    TConfigImage image;
    for (std::size_t k = 0; k < ofs::DumpSize; ++k)
        image.Data()[k] = static_cast<std::uint8_t>(k);
    TConfigImage before = image;
    (void)BlockFrame(image, 15);
    EXPECT_EQ(0, std::memcmp(before.Data(), image.Data(), ofs::DumpSize));
    // Block 15 covers offsets 480..511 (the user name lives there), never the check byte.
    const auto bytes = DecodeFrame(BlockFrame(image, 15));
    EXPECT_EQ(bytes[1], 480 & 0xFF);
    EXPECT_EQ(bytes[32], 511 & 0xFF);
}

TEST(LinkFrames, CharacterFrames) {
    TFontChar zeros{};
    const std::string c0 = CharFrame(0x00, zeros);
    EXPECT_EQ(c0, "$c00" + std::string(110, '0') + "FF\r\n");
    const std::string cff = CharFrame(0xFF, zeros);
    EXPECT_EQ(cff, "$cFF" + std::string(110, '0') + "00\r\n");
    EXPECT_EQ(c0.size(), kCharFrameSize);

    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        TFontChar rows;
        for (auto& r : rows)
            r = static_cast<std::uint8_t>(rng());
        const auto index = static_cast<std::uint8_t>(rng());
        const std::string frame = CharFrame(index, rows);
        ASSERT_EQ(frame.size(), kCharFrameSize);
        const auto bytes = DecodeFrame(frame);
        ASSERT_EQ(bytes.size(), 57u);
        EXPECT_EQ(bytes[0], index);
        EXPECT_TRUE(std::equal(rows.begin(), rows.end(), bytes.begin() + 1));
        EXPECT_EQ(Sum(bytes), 0xFFu);
    }
}
