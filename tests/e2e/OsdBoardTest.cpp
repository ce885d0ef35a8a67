// The simulated board's logic without any I/O: answers, storage, every fault option,
// the line pacer with made-up times, the command line and the file helpers.
#include "OsdBoard.h"
#include "BoardTestSupport.h"
#include "LinePacer.h"
#include "OsdSimulator.h"

#include "config/ConfigImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace halvex::sim {
namespace {

using namespace std::string_literals;

using test::DumpOf;
using test::kRead;
using test::kTest;
using test::TempPath;

std::string BlockFrame(int index, const std::uint8_t* data) {
    std::string payload(1, static_cast<char>(index));
    payload.append(reinterpret_cast<const char*>(data), kBlockSize);
    return BuildFrame('w', payload);
}

std::string CharFrame(int index, const TBoardChar& rows) {
    std::string payload(1, static_cast<char>(index));
    payload.append(reinterpret_cast<const char*>(rows.data()), rows.size());
    return BuildFrame('c', payload);
}

TBoardChar PatternChar(int c) {
    TBoardChar ch{};
    for (std::size_t r = 0; r < kCharBytes; ++r)
        ch[r] = static_cast<std::uint8_t>(c * 7 + r * 13);
    return ch;
}

// ---------------------------------------------------------------------------------------
// Frames and the built-in image

TEST(OsdBoardFrames, BuilderGivesTheLiteralRequestsAndTwoDigitChecks) {
    EXPECT_EQ(BuildFrame('w', "tst"), kTest);
    EXPECT_EQ(BuildFrame('w', "erd"), kRead);
    // Index and data summing to 0xFF need the check "00"; the frame stays 72 bytes.
    std::uint8_t data[kBlockSize] = {};
    data[0] = 0xFE;
    const std::string f = BlockFrame(1, data);
    EXPECT_EQ(f.size(), 72u);
    EXPECT_EQ(f.substr(68), "00\r\n");
    EXPECT_EQ(FrameCheck(std::string("\x74\x73\x74")), 0xA4);
}

TEST(OsdBoardFrames, DefaultImageIsAPlausibleBoard) {
    const TBoardImage img = DefaultBoardImage();
    TConfigImage ci;
    std::copy(img.begin(), img.end(), ci.Data());
    EXPECT_EQ(img[0], 0x05);
    EXPECT_EQ(img[1], 0x01);
    EXPECT_EQ(ci.FirmwareVersion(), 0x0105);
    EXPECT_EQ(ci.Mode(), 2);
    EXPECT_TRUE(ci.IsPal());
    EXPECT_EQ(ci.StoredUserName(), "Pilot");
    EXPECT_GE(ci.BattCal(), 150);
    EXPECT_LE(ci.BattCal(), 250);
    for (int m = 0; m < kLayoutModes; ++m) {
        EXPECT_GE(ci.XPos(m, 0), 10); // horizon sensitivities 10..200
        EXPECT_LE(ci.XPos(m, 0), 200);
        EXPECT_GE(ci.YPos(m, 0), 10);
        EXPECT_LE(ci.YPos(m, 0), 200);
        for (int i = 1; i < kItemCount; ++i) {
            EXPECT_LE(ci.XPos(m, i), 29) << "mode " << m << " item " << i;
            EXPECT_LE(ci.YPos(m, i), 15) << "mode " << m << " item " << i;
        }
    }
    // Every item is visible in ALL, fewer in MIN, fewer still in OFF.
    auto visible = [&](int m) {
        int n = 0;
        for (int i = 0; i < kItemCount; ++i)
            n += (ci.Flags(m, i) & flag::Visible) != 0;
        return n;
    };
    EXPECT_EQ(visible(2), kItemCount);
    EXPECT_LT(visible(1), visible(2));
    EXPECT_LT(visible(0), visible(1));
    EXPECT_GT(visible(0), 0);
}

TEST(OsdBoardFrames, FontToMcmWritesHeaderAndAllRows) {
    TBoardFont font{};
    font[0][0] = 0x80;
    font[0][1] = 0x55;
    font[255][54] = 0xFF;
    const std::string mcm = FontToMcm(font);
    std::istringstream in(mcm);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        ASSERT_FALSE(l.empty());
        ASSERT_EQ(l.back(), '\r');
        l.pop_back();
        lines.push_back(l);
    }
    ASSERT_EQ(lines.size(), 1u + 256u * 64u);
    EXPECT_EQ(lines[0], "MAX7456");
    EXPECT_EQ(lines[1], "10000000");
    EXPECT_EQ(lines[2], "01010101");
    EXPECT_EQ(lines[1 + 255 * 64 + 54], "11111111");
    for (int c = 0; c < 256; ++c)
        for (int r = 55; r < 64; ++r)
            ASSERT_EQ(lines[static_cast<std::size_t>(1 + c * 64 + r)], "00000000");
}

// ---------------------------------------------------------------------------------------
// Answers and storage

TEST(OsdBoardAnswers, LinkTestReadAndDumpCheck) {
    TOsdBoard board;
    EXPECT_EQ(board.Receive(kTest), "#R+");
    const std::string dump = board.Receive(kRead);
    ASSERT_EQ(dump.size(), kDumpSize);
    EXPECT_EQ(dump, DumpOf(DefaultBoardImage()));
    EXPECT_EQ(board.Stats().testFrames, 1);
    EXPECT_EQ(board.Stats().readFrames, 1);
    EXPECT_EQ(board.Stats().dumpsSent, 1);

    // All-zero and all-0xFF images both have the check byte 0xAA.
    TBoardImage zeros{};
    TBoardImage ones;
    ones.fill(0xFF);
    EXPECT_EQ(DumpCheck(zeros), 0xAA);
    EXPECT_EQ(DumpCheck(ones), 0xAA);
    TOsdBoard blank({}, zeros);
    EXPECT_EQ(static_cast<std::uint8_t>(blank.Receive(kRead).back()), 0xAA);
}

TEST(OsdBoardAnswers, BlocksAreStoredAndAcknowledged) {
    TOsdBoard board({}, TBoardImage{});
    TBoardImage want{};
    for (std::size_t k = 0; k < kImageSize; ++k)
        want[k] = static_cast<std::uint8_t>(k * 31 + 7);
    for (int b = 0; b < kBlockCount; ++b)
        EXPECT_EQ(board.Receive(BlockFrame(b, want.data() + kBlockSize * b)), "#+") << b;
    EXPECT_EQ(board.Image(), want);
    EXPECT_EQ(board.Stats().BlockFramesTotal(), 16);
    EXPECT_EQ(board.Stats().acksSent, 16);
    // The image read back is what was written.
    EXPECT_EQ(board.Receive(kRead), DumpOf(want));
}

TEST(OsdBoardAnswers, CharactersAreStoredAndAcknowledged) {
    TOsdBoard board;
    EXPECT_FALSE(board.CharStored(0));
    for (int c = 0; c < kCharCount; ++c)
        ASSERT_EQ(board.Receive(CharFrame(c, PatternChar(c))), "#+") << c;
    for (int c = 0; c < kCharCount; ++c) {
        EXPECT_TRUE(board.CharStored(c));
        EXPECT_EQ(board.Font()[static_cast<std::size_t>(c)], PatternChar(c)) << c;
    }
    EXPECT_EQ(board.Stats().CharFramesTotal(), 256);
    // Character frames leave the configuration image alone.
    EXPECT_EQ(board.Image(), DefaultBoardImage());
}

TEST(OsdBoardAnswers, RepeatedFrameIsStoredAndAcknowledgedAgain) {
    TOsdBoard board;
    std::uint8_t data[kBlockSize];
    std::fill(std::begin(data), std::end(data), 0x5A);
    const std::string f = BlockFrame(3, data);
    EXPECT_EQ(board.Receive(f + f), "#+#+");
    EXPECT_EQ(board.Stats().blockFrames[3], 2);
    EXPECT_EQ(board.Image()[96], 0x5A);
    const std::string c = CharFrame(9, PatternChar(9));
    EXPECT_EQ(board.Receive(c), "#+");
    EXPECT_EQ(board.Receive(c), "#+");
    EXPECT_EQ(board.Stats().charFrames[9], 2);
}

TEST(OsdBoardAnswers, AnySplitOfTheStreamGivesTheSameAnswers) {
    std::uint8_t data[kBlockSize] = {1, 2, 3};
    const std::string stream =
        kTest + BlockFrame(15, data) + CharFrame(0xAB, PatternChar(0xAB)) + kRead;
    TOsdBoard whole;
    const std::string expected = whole.Receive(stream);
    for (std::size_t chunk : {1u, 2u, 5u, 11u, 71u}) {
        TOsdBoard board;
        std::string got;
        for (std::size_t k = 0; k < stream.size(); k += chunk)
            got += board.Receive(std::string_view(stream).substr(k, chunk));
        EXPECT_EQ(got, expected) << "chunk " << chunk;
        EXPECT_EQ(board.Image(), whole.Image());
        EXPECT_EQ(board.Font()[0xAB], PatternChar(0xAB));
    }
    EXPECT_EQ(expected.substr(0, 7), "#R+#+#+");
}

TEST(OsdBoardAnswers, GarbageBetweenFramesIsIgnored) {
    TOsdBoard board;
    // Noise, stray line ends, a frame cut short by a new "$": only whole frames count.
    const std::string in = "\x00\xFFxyz\r\n"s + "$w7473" + kTest + "\n\r" + kTest;
    EXPECT_EQ(board.Receive(in), "#R+#R+");
    EXPECT_EQ(board.Stats().testFrames, 2);
    EXPECT_GT(board.Stats().ignoredBytes, 10u);
    EXPECT_EQ(board.Stats().badFrames, 0);
}

TEST(OsdBoardAnswers, MalformedFramesAreIgnoredAndCounted) {
    TOsdBoard board({}, TBoardImage{});
    std::uint8_t data[kBlockSize];
    std::fill(std::begin(data), std::end(data), 0x11);
    std::string badCheck = BlockFrame(2, data);
    badCheck[67] = badCheck[67] == '0' ? '1' : '0';
    std::string lower = BlockFrame(2, data);
    std::transform(lower.begin() + 2, lower.end(), lower.begin() + 2,
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    const std::string noCr = "$w747374A4\n";
    const std::string odd = "$w747374A\r\n";
    const std::string letter = "$x747374A4\r\n";
    const std::string notHex = "$w74737GA4\r\n";
    const std::string tooLong = "$w" + std::string(500, '0') + "\r\n";
    const std::string empty = "$\r\n";
    std::vector<TBoardEvent> events;
    board.OnFrame = [&](const TBoardEvent& e) { events.push_back(e); };
    EXPECT_EQ(board.Receive(badCheck + lower + noCr + odd + letter + notHex + tooLong + empty), "");
    EXPECT_EQ(board.Stats().badFrames, 8);
    EXPECT_EQ(board.Image(), TBoardImage{});
    ASSERT_EQ(events.size(), 8u);
    for (const auto& e : events) {
        EXPECT_EQ(e.kind, TFrameKind::Bad);
        EXPECT_FALSE(e.answered);
        EXPECT_LE(e.line.size(), kMaxLine);
    }
    // The board still answers afterwards.
    EXPECT_EQ(board.Receive(kTest), "#R+");
}

TEST(OsdBoardAnswers, WellFormedFramesWithoutMeaningAreUnknown) {
    TOsdBoard board;
    std::string payload(33, '\0');
    payload[0] = 0x10; // block index out of range
    const std::string badIndex = BuildFrame('w', payload);
    const std::string shortChar = BuildFrame('c', std::string(10, '\x01'));
    const std::string other = BuildFrame('w', "abc");
    EXPECT_EQ(board.Receive(badIndex + shortChar + other), "");
    EXPECT_EQ(board.Stats().unknownFrames, 3);
    EXPECT_EQ(board.Stats().BlockFramesTotal(), 0);
    EXPECT_EQ(board.Image(), DefaultBoardImage());
}

// ---------------------------------------------------------------------------------------
// Fault options

TEST(OsdBoardFaults, NeverAnswerCountsButDoesNothing) {
    TBoardOptions o;
    o.neverAnswer = true;
    TOsdBoard board(o, TBoardImage{});
    std::uint8_t data[kBlockSize];
    std::fill(std::begin(data), std::end(data), 0x77);
    EXPECT_EQ(board.Receive(kTest + kRead + BlockFrame(0, data) + CharFrame(1, PatternChar(1))),
              "");
    EXPECT_EQ(board.Stats().testFrames, 1);
    EXPECT_EQ(board.Stats().readFrames, 1);
    EXPECT_EQ(board.Stats().blockFrames[0], 1);
    EXPECT_EQ(board.Stats().charFrames[1], 1);
    EXPECT_EQ(board.Image(), TBoardImage{});
    EXPECT_FALSE(board.CharStored(1));
}

TEST(OsdBoardFaults, TestLetterAndNoise) {
    TBoardOptions o;
    o.testLetter = 'X';
    o.noise = true;
    TOsdBoard board(o);
    const std::string reply = board.Receive(kTest);
    ASSERT_GT(reply.size(), 3u);
    EXPECT_EQ(reply.substr(reply.size() - 3), "#X+");
    const std::string before = reply.substr(0, reply.size() - 3);
    EXPECT_EQ(before.find_first_of("#+"), std::string::npos);
    // Noise goes before acknowledgements only: the dump has nothing before it.
    EXPECT_EQ(board.Receive(kRead), DumpOf(DefaultBoardImage()));
    std::uint8_t data[kBlockSize] = {};
    const std::string ack = board.Receive(BlockFrame(4, data));
    EXPECT_EQ(ack.substr(0, before.size()), before);
    EXPECT_EQ(ack.substr(before.size()), "#+");
}

TEST(OsdBoardFaults, DropBlockAlwaysOrAGivenNumberOfTimes) {
    std::uint8_t data[kBlockSize];
    std::fill(std::begin(data), std::end(data), 0x42);
    {
        TBoardOptions o;
        o.dropBlock = 9;
        TOsdBoard board(o, TBoardImage{});
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(board.Receive(BlockFrame(9, data)), "");
        EXPECT_EQ(board.Stats().blockFrames[9], 10);
        EXPECT_EQ(board.Image()[9 * 32], 0x00); // lost frames are not stored
        EXPECT_EQ(board.Receive(BlockFrame(8, data)), "#+");
    }
    {
        TBoardOptions o;
        o.dropBlock = 2;
        o.dropBlockTimes = 2;
        TOsdBoard board(o, TBoardImage{});
        EXPECT_EQ(board.Receive(BlockFrame(2, data)), "");
        EXPECT_EQ(board.Receive(BlockFrame(2, data)), "");
        EXPECT_EQ(board.Receive(BlockFrame(2, data)), "#+");
        EXPECT_EQ(board.Receive(BlockFrame(2, data)), "#+");
        EXPECT_EQ(board.Image()[2 * 32], 0x42);
    }
}

TEST(OsdBoardFaults, DropCharAlwaysOrAGivenNumberOfTimes) {
    {
        TBoardOptions o;
        o.dropChar = 0x80;
        TOsdBoard board(o);
        EXPECT_EQ(board.Receive(CharFrame(0x80, PatternChar(1))), "");
        EXPECT_EQ(board.Receive(CharFrame(0x80, PatternChar(1))), "");
        EXPECT_FALSE(board.CharStored(0x80));
        EXPECT_EQ(board.Receive(CharFrame(0x7F, PatternChar(1))), "#+");
    }
    {
        TBoardOptions o;
        o.dropChar = 0;
        o.dropCharTimes = 1;
        TOsdBoard board(o);
        EXPECT_EQ(board.Receive(CharFrame(0, PatternChar(3))), "");
        EXPECT_FALSE(board.CharStored(0));
        EXPECT_EQ(board.Receive(CharFrame(0, PatternChar(3))), "#+");
        EXPECT_EQ(board.Font()[0], PatternChar(3));
    }
}

TEST(OsdBoardFaults, LoseFirstCopyLosesOnlyFramesThatRepeatNoLine) {
    const std::uint8_t data[kBlockSize] = {0x42};
    TOsdBoard board(TBoardOptions{.loseFirstCopy = 1.0}, TBoardImage{});
    EXPECT_EQ(board.Receive(BlockFrame(4, data)), "");   // a first copy
    EXPECT_EQ(board.Receive(BlockFrame(4, data)), "#+"); // its repeat
    EXPECT_EQ(board.Image()[4 * kBlockSize], 0x42);
    EXPECT_EQ(board.Stats().lostCopies, 1);
    EXPECT_EQ(board.Stats().blockFrames[4], 2);
    // A chance of one half loses some first copies, the same ones for the same seed.
    auto losses = [&](std::uint32_t seed) {
        TOsdBoard b(TBoardOptions{.loseFirstCopy = 0.5, .seed = seed});
        std::string lost;
        for (int c = 0; c < kCharCount; ++c)
            lost += b.Receive(CharFrame(c, PatternChar(c))).empty() ? '1' : '0';
        return lost;
    };
    EXPECT_EQ(losses(7), losses(7));
    EXPECT_NE(losses(7), losses(8));
    EXPECT_NE(losses(7).find('1'), std::string::npos);
    EXPECT_NE(losses(7).find('0'), std::string::npos);
}

TEST(OsdBoardFaults, DumpFaults) {
    const std::string good = DumpOf(DefaultBoardImage());
    {
        TBoardOptions o;
        o.badDumpCheck = true;
        const std::string d = TOsdBoard(o).Receive(kRead);
        ASSERT_EQ(d.size(), kDumpSize);
        EXPECT_EQ(d.substr(0, 512), good.substr(0, 512));
        EXPECT_EQ(static_cast<std::uint8_t>(d[512]), static_cast<std::uint8_t>(good[512] + 1));
    }
    {
        TBoardOptions o;
        o.shortDump = 100;
        TOsdBoard board(o);
        EXPECT_EQ(board.Receive(kRead), good.substr(0, 100));
        EXPECT_EQ(board.Receive(kRead), good.substr(0, 100)); // always
    }
    {
        TBoardOptions o;
        o.shortDump = 0;
        o.shortDumpTimes = 1;
        TOsdBoard board(o);
        EXPECT_EQ(board.Receive(kRead), "");
        EXPECT_EQ(board.Receive(kRead), good); // then whole dumps
    }
    {
        TBoardOptions o;
        o.shortDump = 600; // more than a dump: the whole dump
        EXPECT_EQ(TOsdBoard(o).Receive(kRead), good);
    }
    {
        TBoardOptions o;
        o.extraAfterDump = 600;
        const std::string d = TOsdBoard(o).Receive(kRead);
        ASSERT_EQ(d.size(), kDumpSize + 600);
        EXPECT_EQ(d.substr(0, kDumpSize), good);
        EXPECT_EQ(d.substr(kDumpSize, kDumpSize), good); // a late repeat of the dump
        EXPECT_EQ(d.substr(2 * kDumpSize), good.substr(0, 600 - kDumpSize));
    }
}

// ---------------------------------------------------------------------------------------
// Line pacing

TEST(LinePacer, ByteTimeAtCommonRates) {
    EXPECT_EQ(ByteTimeNs(0), 0u);
    EXPECT_EQ(ByteTimeNs(57600), 173'611u); // 5760 bytes per second
    EXPECT_EQ(ByteTimeNs(9600), 1'041'667u);
    EXPECT_EQ(ByteTimeNs(115200), 86'806u);
}

TEST(LinePacer, UnpacedPassesEverythingAtOnce) {
    TLinePacer p(0, 0);
    p.Arrive("abc", 500);
    EXPECT_EQ(p.TakeArrived(500), "abc");
    p.Send("#+", 600);
    EXPECT_EQ(p.DueOut(600), 2u);
    EXPECT_EQ(p.PendingOut(), "#+");
    p.Written(2, 600);
    EXPECT_TRUE(p.Idle());
    EXPECT_FALSE(p.NextDue().has_value());
}

TEST(LinePacer, InputArrivesOneByteTimeApart) {
    TLinePacer p(174, 0);
    p.Arrive("$w7", 1000);
    EXPECT_EQ(p.NextDue(), 1174u);
    std::uint64_t lastDue = 0;
    EXPECT_EQ(p.TakeArrived(1173, &lastDue), "");
    EXPECT_EQ(lastDue, 0u); // untouched when nothing arrived
    EXPECT_EQ(p.TakeArrived(1400, &lastDue), "$w");
    EXPECT_EQ(lastDue, 1348u); // the board handles "w" 52 us after it arrived
    // Bytes read later queue behind those still on the line.
    p.Arrive("4", 1400);
    EXPECT_EQ(p.TakeArrived(1521), "");
    EXPECT_EQ(p.TakeArrived(1522), "7");
    EXPECT_EQ(p.TakeArrived(1695), "");
    EXPECT_EQ(p.TakeArrived(1696), "4");
    // After a quiet spell the line is free: the next byte takes one byte time from its read.
    p.Arrive("x", 10'000);
    EXPECT_EQ(p.TakeArrived(10'173), "");
    EXPECT_EQ(p.TakeArrived(10'174), "x");
}

TEST(LinePacer, OutputLeavesAtLineRateAndWaitsForRoom) {
    TLinePacer p(174, 0);
    EXPECT_FALSE(p.FrontOutDue().has_value());
    p.Send("#R+", 2000);
    EXPECT_EQ(p.FrontOutDue(), 2174u);
    EXPECT_EQ(p.DueOut(2173), 0u);
    EXPECT_EQ(p.DueOut(2174), 1u);
    EXPECT_EQ(p.DueOut(2522), 3u);
    // The pty took only one byte: the rest stays, still due.
    p.Written(1, 2522);
    EXPECT_EQ(p.PendingOut(), "R+");
    EXPECT_EQ(p.FrontOutDue(), 2348u);
    EXPECT_EQ(p.DueOut(2522), 2u);
    p.Written(2, 2600);
    EXPECT_TRUE(p.Idle());
    // A 513-byte dump takes 513 byte times.
    p.Send(std::string(513, 'd'), 10'000);
    EXPECT_EQ(p.DueOut(10'000 + 512 * 174), 512u);
    EXPECT_EQ(p.DueOut(10'000 + 513 * 174), 513u);
}

TEST(LinePacer, BytewiseOffersOneByteAndKeepsTheGap) {
    TLinePacer p(0, 1000);
    p.Send("#R+", 0);
    EXPECT_EQ(p.DueOut(0), 1u);
    p.Written(1, 0);
    EXPECT_EQ(p.DueOut(999), 0u);
    EXPECT_EQ(p.NextDue(), 1000u);
    // The writer is late: still one byte at a time, and a full gap after each write.
    EXPECT_EQ(p.DueOut(5000), 1u);
    p.Written(1, 5000);
    EXPECT_EQ(p.DueOut(5999), 0u);
    EXPECT_EQ(p.DueOut(6000), 1u);
    p.Written(1, 6000);
    EXPECT_TRUE(p.Idle());

    TLinePacer paced(174, 1000); // the larger of byte time and gap wins
    paced.Send("ab", 0);
    EXPECT_EQ(paced.DueOut(174), 1u);
    paced.Written(1, 174);
    EXPECT_EQ(paced.DueOut(1173), 0u);
    EXPECT_EQ(paced.DueOut(1174), 1u);
}

TEST(LinePacer, NextDueIsTheEarlierDirectionAndClearEmpties) {
    TLinePacer p(100, 0);
    p.Arrive("a", 0);
    p.Send("b", 50);
    EXPECT_EQ(p.NextDue(), 100u);
    EXPECT_EQ(p.NextInDue(), 100u);
    EXPECT_EQ(p.FrontOutDue(), 150u);
    EXPECT_EQ(p.TakeArrived(100), "a");
    EXPECT_FALSE(p.NextInDue().has_value());
    EXPECT_EQ(p.NextDue(), 150u);
    p.Arrive("c", 200);
    p.Clear();
    EXPECT_TRUE(p.Idle());
    EXPECT_FALSE(p.NextDue().has_value());
}

// ---------------------------------------------------------------------------------------
// Command line and files

TEST(SimulatorArgs, DefaultsAndEveryOption) {
    const TParsedArgs none = ParseSimulatorArgs({});
    EXPECT_TRUE(none.error.empty());
    EXPECT_EQ(none.options.baud, 57600u);
    EXPECT_FALSE(none.options.bytewise);
    EXPECT_EQ(none.options.board.testLetter, 'R');
    EXPECT_EQ(none.options.board.dropBlock, -1);
    EXPECT_EQ(none.options.board.shortDump, -1);

    const TParsedArgs a = ParseSimulatorArgs({"--baud",
                                              "0",
                                              "--link",
                                              "/tmp/l",
                                              "--image",
                                              "in.bin",
                                              "--save-image=out.bin",
                                              "--save-font",
                                              "f.mcm",
                                              "--never-answer",
                                              "--test-letter",
                                              "Q",
                                              "--drop-block",
                                              "9",
                                              "--drop-char",
                                              "0xFF:3",
                                              "--bytewise",
                                              "--byte-gap",
                                              "2500",
                                              "--reply-delay",
                                              "210",
                                              "--noise",
                                              "--bad-dump-check",
                                              "--short-dump",
                                              "100:1",
                                              "--extra-after-dump",
                                              "40",
                                              "--queue-replies",
                                              "--lose-first-copy",
                                              "5%",
                                              "--seed=42",
                                              "--forget-block",
                                              "3",
                                              "--answer-time-from",
                                              "block:5:250",
                                              "--answer-time-for=char:100:40",
                                              "--log"});
    ASSERT_TRUE(a.error.empty()) << a.error;
    const TSimulatorOptions& o = a.options;
    EXPECT_EQ(o.baud, 0u);
    EXPECT_EQ(o.linkPath, "/tmp/l");
    EXPECT_EQ(o.imagePath, "in.bin");
    EXPECT_EQ(o.saveImagePath, "out.bin");
    EXPECT_EQ(o.saveFontPath, "f.mcm");
    EXPECT_TRUE(o.board.neverAnswer);
    EXPECT_EQ(o.board.testLetter, 'Q');
    EXPECT_EQ(o.board.dropBlock, 9);
    EXPECT_EQ(o.board.dropBlockTimes, -1);
    EXPECT_EQ(o.board.dropChar, 255);
    EXPECT_EQ(o.board.dropCharTimes, 3);
    EXPECT_TRUE(o.bytewise);
    EXPECT_EQ(o.byteGapUs, 2500u);
    EXPECT_EQ(o.replyDelayMs, 210u);
    EXPECT_TRUE(o.board.noise);
    EXPECT_TRUE(o.board.badDumpCheck);
    EXPECT_EQ(o.board.shortDump, 100);
    EXPECT_EQ(o.board.shortDumpTimes, 1);
    EXPECT_EQ(o.board.extraAfterDump, 40);
    EXPECT_TRUE(o.queueReplies);
    EXPECT_DOUBLE_EQ(o.board.loseFirstCopy, 0.05);
    EXPECT_EQ(o.board.seed, 42u);
    EXPECT_EQ(o.board.forgetBlock, 3);
    EXPECT_EQ(o.answerTimeFrom.kind, TFrameKind::Block);
    EXPECT_EQ(o.answerTimeFrom.index, 5);
    EXPECT_EQ(o.answerTimeFrom.ms, 250u);
    EXPECT_EQ(o.answerTimeFor.kind, TFrameKind::Char);
    EXPECT_EQ(o.answerTimeFor.index, 100);
    EXPECT_EQ(o.answerTimeFor.ms, 40u);
    EXPECT_TRUE(o.log);
    EXPECT_TRUE(ParseSimulatorArgs({"--help"}).help);
}

TEST(SimulatorArgs, BadInputIsRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--baud"},
        {"--baud", "fast"},
        {"--baud", "-1"},
        {"--drop-block", "16"},
        {"--drop-block", "3:x"},
        {"--drop-char", "256"},
        {"--test-letter", "RR"},
        {"--test-letter", ""},
        {"--short-dump", "514"},
        {"--frobnicate"},
        {"--baud", "57600x"},
        {"--extra-after-dump", "0x"},
        {"--lose-first-copy", "1.5"},
        {"--lose-first-copy", "5%%"},
        {"--seed", "x"},
        {"--forget-block", "16"},
        {"--answer-time-for", "block:16:10"},
        {"--answer-time-from", "char:5"},
        {"--answer-time-from", "frame:1:10"},
        {"--answer-time-for", "char:1:x"},
    };
    for (const auto& args : bad) {
        const TParsedArgs r = ParseSimulatorArgs(args);
        EXPECT_FALSE(r.error.empty()) << args.front() << (args.size() > 1 ? " " + args[1] : "");
    }
}

TEST(SimulatorFiles, ImageFileLoadAndAtomicWrite) {
    const std::string path = TempPath("image.bin");
    TBoardImage img{};
    for (std::size_t k = 0; k < kImageSize; ++k)
        img[k] = static_cast<std::uint8_t>(255 - k);
    WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(img.data()), 512));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_EQ(LoadImageFile(path), img);
    // A saved dump (513 bytes with its check byte) loads as its image.
    WriteFileAtomically(path, DumpOf(img));
    EXPECT_EQ(LoadImageFile(path), img);
    WriteFileAtomically(path, std::string(100, 'x'));
    EXPECT_THROW(LoadImageFile(path), std::runtime_error);
    WriteFileAtomically(path, "");
    EXPECT_THROW(LoadImageFile(path), std::runtime_error);
    std::filesystem::remove(path);
    EXPECT_THROW(LoadImageFile(path), std::runtime_error);
    EXPECT_THROW(WriteFileAtomically("/nonexistent-dir/x.bin", "x"), std::runtime_error);
}

TEST(SimulatorFiles, EventDescriptions) {
    EXPECT_EQ(DescribeEvent({TFrameKind::Test, -1, true, "$w747374A4"}), "test: answered");
    EXPECT_EQ(DescribeEvent({TFrameKind::Block, 9, false, ""}), "block 09: not answered");
    EXPECT_EQ(DescribeEvent({TFrameKind::Char, 0xAB, true, ""}), "char AB: answered");
    EXPECT_EQ(DescribeEvent({TFrameKind::Bad, -1, false, std::string("$w\x01", 3)}),
              "bad frame: $w\\x01");
}

} // namespace
} // namespace halvex::sim
