#include "LinkRig.h"
#include "TestPatterns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <utility>

using namespace halvex;

namespace {

TConfigImage PatternImage(int seed) {
    TConfigImage image;
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        image.SetByte(k, static_cast<std::uint8_t>(k * 13 + seed));
    return image;
}

// What the link sent: the index of each block or character, kFence for a test frame (a
// fence in a sequence), kRead for a read request.
constexpr int kFence = -1;
constexpr int kRead = -2;
std::vector<int> Indices(const std::vector<std::string>& frames) {
    std::vector<int> out;
    for (const auto& f : frames)
        out.push_back(f == TestFrame() ? kFence : f == ReadFrame() ? kRead : FrameIndex(f));
    return out;
}

// The frames of a write or Apply that needed no resend: its blocks, then the read-back.
std::vector<int> WithReadBack(std::vector<int> blocks) {
    blocks.push_back(kRead);
    return blocks;
}

std::vector<int> Range(int from, int to, int step = 1) {
    std::vector<int> out;
    for (int k = from; k <= to; k += step)
        out.push_back(k);
    return out;
}

using Messages = std::vector<TMessage>;

// The model board answering after the rig's latency, losing the first copy of the blocks
// or characters `lost`.
void LoseFirstCopies(TLinkRig& rig, std::set<int> lost) {
    rig.fate = [&rig, lost](const TFrameId& id) {
        TCopyFate f;
        f.AnswerMs = rig.latency;
        f.Lost = id.Copy == 1 && lost.count(id.Index) > 0;
        return f;
    };
}

} // namespace

// ---------------------------------------------------------------- link test

TEST(OsdLinkTest, UnansweredTestSends60FramesAndGivesUpAfter6Seconds) {
    TLinkRig rig;
    rig.link.StartTest();
    EXPECT_TRUE(rig.link.Busy());
    EXPECT_EQ(rig.timer2.Interval(), 100u);
    rig.clock.Advance(5999);
    ASSERT_EQ(rig.Writes().size(), 60u);
    for (std::size_t k = 0; k < 60; ++k) {
        EXPECT_EQ(rig.Writes()[k], TestFrame());
        EXPECT_EQ(rig.writeTimes[k], 100 * k);
    }
    EXPECT_TRUE(rig.host.messages.empty());
    rig.clock.Advance(1);
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    EXPECT_FALSE(rig.link.Busy());
    EXPECT_FALSE(rig.timer1.Enabled());
    EXPECT_EQ(rig.host.confirmed, 0);
    // The report carries the budget and the time to the give-up.
    ASSERT_EQ(rig.host.reports.size(), 1u);
    EXPECT_EQ(rig.host.reports[0].Budget, 60);
    EXPECT_EQ(rig.host.reports[0].Ms, 6000u);
    rig.clock.Advance(10000);
    EXPECT_EQ(rig.Writes().size(), 60u);
}

TEST(OsdLinkTest, SplitRAcknowledgementConfirmsTheLink) {
    TLinkRig rig;
    rig.link.StartTest();
    rig.clock.Advance(30);
    rig.port.Feed("#");
    EXPECT_TRUE(rig.timer2.Enabled());
    EXPECT_EQ(rig.host.confirmed, 0);
    rig.port.Feed("R");
    rig.port.Feed("+");
    EXPECT_EQ(rig.host.confirmed, 1);
    EXPECT_FALSE(rig.timer2.Enabled());
    EXPECT_FALSE(rig.link.Busy());
    rig.port.Feed("+"); // the "R" has been acted on
    EXPECT_EQ(rig.host.confirmed, 1);
    rig.clock.Advance(10000);
    EXPECT_EQ(rig.Writes().size(), 1u);
    EXPECT_TRUE(rig.host.messages.empty());
}

TEST(OsdLinkTest, AcknowledgementWithoutRStopsRetriesAndSaysNotReady) {
    for (const char* reply : {"#+", "#Q+", "#r+"}) {
        TLinkRig rig;
        rig.link.StartTest();
        rig.port.Feed(reply);
        EXPECT_FALSE(rig.timer2.Enabled()) << reply;
        EXPECT_FALSE(rig.link.Busy());
        EXPECT_EQ(rig.host.confirmed, 0);
        rig.clock.Advance(10000);
        EXPECT_EQ(rig.Writes().size(), 1u);
        EXPECT_EQ(rig.host.messages, reply[1] == '+' ? Messages{} : Messages{TMessage::NotReady})
            << reply;
    }
}

TEST(OsdLinkTest, BytesBeforeTheHashAreIgnored) {
    TLinkRig rig;
    rig.link.StartTest();
    rig.port.Feed("+R+xyz\x00\xFF", false);
    rig.port.Feed(std::string("R+\x00", 3));
    EXPECT_TRUE(rig.timer2.Enabled());
    EXPECT_EQ(rig.host.confirmed, 0);
    rig.port.Feed("noise#R+");
    EXPECT_EQ(rig.host.confirmed, 1);
    // A new "#" starts recognition afresh: "#Q#R+" takes the letter after the last "#".
    TLinkRig again;
    again.link.StartTest();
    again.port.Feed("#Q#R+");
    EXPECT_EQ(again.host.confirmed, 1);
}

TEST(OsdLinkTest, ReplyLetterIsTheFirstByteAfterTheHash) {
    TLinkRig rig;
    rig.link.StartTest();
    rig.port.Feed("#xR+");
    EXPECT_EQ(rig.host.reports.back().Reply, 'x');
    EXPECT_EQ(rig.host.confirmed, 0);
    EXPECT_FALSE(rig.timer2.Enabled());
    TLinkRig other;
    other.link.StartTest();
    other.port.Feed("#Rxyz");
    EXPECT_TRUE(other.timer2.Enabled()); // not complete without "+"
    other.port.Feed("+");
    EXPECT_EQ(other.host.confirmed, 1);
}

TEST(OsdLinkTest, SecondRWhileFontButtonEnabledChangesNothing) {
    TLinkRig rig;
    rig.host.fontButton = true;
    rig.link.StartTest();
    rig.port.Feed("#R+");
    EXPECT_EQ(rig.host.confirmed, 0);
    EXPECT_FALSE(rig.timer2.Enabled());
    EXPECT_EQ(rig.host.reports.back().Reply, 'R');
    // A repeated test after a confirmation confirms nothing again.
    TLinkRig twice;
    twice.link.StartTest();
    twice.port.Feed("#R+");
    twice.link.StartTest();
    twice.port.Feed("#R+");
    EXPECT_EQ(twice.host.confirmed, 1);
    EXPECT_EQ(twice.Writes().size(), 2u);
}

TEST(OsdLinkTest, TestIsRefusedWhenClosedOrBusy) {
    TLinkRig closed;
    closed.port.Close();
    closed.link.StartTest();
    EXPECT_TRUE(closed.Writes().empty());
    EXPECT_FALSE(closed.link.Busy());

    TLinkRig rig;
    rig.link.StartTest();
    rig.clock.Advance(50);
    rig.link.StartTest(); // a test is supervised
    EXPECT_EQ(rig.Writes().size(), 1u);
    rig.clock.Advance(50);
    EXPECT_EQ(rig.Writes().size(), 2u); // the running retry period was not disturbed
    EXPECT_EQ(rig.writeTimes[1], 100u);
}

// ---------------------------------------------------------------- read

TEST(OsdLinkTest, UnansweredReadSends3FramesAndGivesUpAfter2400Ms) {
    TLinkRig rig;
    ASSERT_TRUE(rig.link.StartRead());
    EXPECT_EQ(rig.link.Exchange(), TExchangeKind::Read);
    EXPECT_EQ(rig.link.DumpBytes(), 0u);
    rig.clock.Advance(2399);
    ASSERT_EQ(rig.Writes().size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(rig.Writes()[k], ReadFrame());
        EXPECT_EQ(rig.writeTimes[k], 800 * k);
    }
    EXPECT_TRUE(rig.host.messages.empty());
    rig.clock.Advance(1);
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_FALSE(rig.link.Busy());
    EXPECT_EQ(rig.host.accepted, 0);
}

TEST(OsdLinkTest, GoodDumpIsAcceptedAndBlinkingResumes) {
    TLinkRig rig;
    rig.timer1.SetEnabled(true); // the editor was blinking
    const TConfigImage board = PatternImage(5);
    const std::string dump = DumpOf(board);
    ASSERT_TRUE(rig.link.StartRead());
    EXPECT_FALSE(rig.timer1.Enabled());
    rig.clock.Advance(40);
    rig.port.Feed(dump.substr(0, 1));
    rig.port.Feed(dump.substr(1, 300));
    EXPECT_EQ(rig.link.DumpBytes(), 301u);
    EXPECT_FALSE(rig.timer1.Enabled());
    rig.port.Feed(dump.substr(301));
    EXPECT_EQ(rig.link.DumpBytes(), ofs::DumpSize);
    EXPECT_TRUE(rig.timer1.Enabled());
    EXPECT_FALSE(rig.timer2.Enabled()); // complete: no resend
    rig.clock.Advance(200);
    EXPECT_EQ(rig.host.accepted, 1);
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_EQ(0, std::memcmp(rig.image.Data(), board.Data(), ofs::ImageSize));
    EXPECT_TRUE(rig.timer1.Enabled());
    EXPECT_EQ(rig.timer1.Interval(), 200u);
    EXPECT_FALSE(rig.timer2.Enabled());
    rig.clock.Advance(400);
    EXPECT_EQ(rig.host.blinks, 2);
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.Writes().size(), 1u);
}

TEST(OsdLinkTest, DumpsOfAllZerosAndAllFFAreGood) {
    for (std::uint8_t fill : {0x00, 0xFF}) {
        TLinkRig rig;
        ASSERT_TRUE(rig.link.StartRead());
        rig.port.Feed(std::string(512, static_cast<char>(fill)) + "\xAA");
        rig.clock.Advance(200);
        EXPECT_EQ(rig.host.accepted, 1) << int(fill);
        EXPECT_TRUE(rig.host.messages.empty());
    }
}

TEST(OsdLinkTest, BadCheckByteIsAReadError) {
    TLinkRig rig;
    const TConfigImage board = PatternImage(9);
    ASSERT_TRUE(rig.link.StartRead());
    rig.port.Feed(DumpOf(board, 1));
    rig.clock.Advance(200);
    EXPECT_EQ(rig.host.messages, Messages{TMessage::ReadError});
    EXPECT_EQ(rig.host.accepted, 0);
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_FALSE(rig.timer1.Enabled());
    EXPECT_FALSE(rig.timer2.Enabled());
    // The image keeps the bytes received.
    EXPECT_EQ(0, std::memcmp(rig.image.Data(), board.Data(), ofs::ImageSize));
    rig.clock.Advance(5000);
    EXPECT_EQ(rig.host.blinks, 0);
    EXPECT_EQ(rig.Writes().size(), 1u);
}

TEST(OsdLinkTest, DumpLongerThan513BytesIsJudgedOnTheFirst513) {
    TLinkRig rig;
    const TConfigImage board = PatternImage(1);
    ASSERT_TRUE(rig.link.StartRead());
    rig.port.Feed(DumpOf(board) + std::string(300, '\x5A'));
    EXPECT_EQ(rig.port.Pending(), 0u); // the rest was drained and dropped
    EXPECT_EQ(rig.link.DumpBytes(), ofs::DumpSize);
    rig.port.Feed(DumpOf(PatternImage(2))); // a late second dump before the completion
    EXPECT_EQ(rig.link.DumpBytes(), ofs::DumpSize);
    rig.clock.Advance(200);
    EXPECT_EQ(rig.host.accepted, 1);
    EXPECT_EQ(rig.image.Byte(ofs::DumpCheck), board.DumpCheckByte());
    EXPECT_EQ(0, std::memcmp(rig.image.Data(), board.Data(), ofs::ImageSize));
}

TEST(OsdLinkTest, ResentReadRequestStartsAStoppedDumpAfresh) {
    TLinkRig rig;
    const TConfigImage board = PatternImage(3);
    const std::string dump = DumpOf(board);
    rig.port.Feed("#+", false); // waiting before the read starts: no part of the dump
    ASSERT_TRUE(rig.link.StartRead());
    rig.port.Feed(dump.substr(0, 300));
    rig.clock.Advance(800); // bytes came since the start: the dump is not cut
    ASSERT_EQ(rig.Writes().size(), 1u);
    EXPECT_EQ(rig.link.DumpBytes(), 300u);
    rig.clock.Advance(800); // none for a whole interval: resent, the dump starts afresh
    ASSERT_EQ(rig.Writes().size(), 2u);
    EXPECT_EQ(rig.link.DumpBytes(), 0u);
    rig.port.Feed(dump);  // the board's answer to the resent request
    rig.clock.Advance(2); // the retry left the step timer at 2 ms
    EXPECT_EQ(rig.host.accepted, 1);
    EXPECT_EQ(0, std::memcmp(rig.image.Data(), board.Data(), ofs::ImageSize));
    EXPECT_EQ(rig.timer1.Interval(), 200u); // back to the blink tick
    EXPECT_TRUE(rig.timer1.Enabled());
}

TEST(OsdLinkTest, RetryTickWhileADumpArrivesKeepsTheDump) {
    // The board starts its answer 750 ms after the request; the tick at 800 ms finds it
    // arriving and neither resends nor cuts it.
    TLinkRig rig;
    const TConfigImage board = PatternImage(6);
    const std::string dump = DumpOf(board);
    ASSERT_TRUE(rig.link.StartRead());
    rig.clock.Advance(750);
    rig.port.Feed(dump.substr(0, 400));
    rig.clock.Advance(100);
    rig.port.Feed(dump.substr(400));
    rig.clock.Advance(200);
    EXPECT_EQ(rig.host.accepted, 1);
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.Writes().size(), 1u);
    EXPECT_EQ(0, std::memcmp(rig.image.Data(), board.Data(), ofs::ImageSize));
}

TEST(OsdLinkTest, TestOrReadEndsOnlyAfterTheAnswersToItsResentCopies) {
    // A board slower than the first resend answers both copies. The second answer must
    // not reach the next exchange: the test confirms the link at the first "R" but ends
    // after the second; the read completes after the second dump.
    TLinkRig test;
    test.latency = 150;
    test.answer = [](const std::string&) { return "#R+"; };
    test.link.StartTest();
    test.clock.Advance(200);
    EXPECT_EQ(test.host.confirmed, 1);
    EXPECT_TRUE(test.link.Busy());
    ASSERT_TRUE(test.clock.AdvanceUntil([&] { return !test.link.Busy(); }, 2000));
    EXPECT_TRUE(test.replies.empty());
    EXPECT_EQ(test.Writes().size(), 2u);

    TLinkRig read;
    const TConfigImage board = PatternImage(12);
    read.latency = 850;
    read.answer = [&](const std::string&) { return DumpOf(board); };
    ASSERT_TRUE(read.link.StartRead());
    ASSERT_TRUE(read.clock.AdvanceUntil([&] { return read.host.accepted == 1; }, 5000));
    EXPECT_TRUE(read.replies.empty());
    EXPECT_EQ(read.Writes().size(), 2u);
    EXPECT_EQ(0, std::memcmp(read.image.Data(), board.Data(), ofs::ImageSize));
}

TEST(OsdLinkTest, DumpCompletedJustBeforeARetryIsStillApplied) {
    // Complete 10 ms before the first resend, with the completion due 200 ms later: the
    // resend would cancel the pending completion and, with no second dump, end in a
    // give-up although a good dump is stored.
    TLinkRig rig;
    ASSERT_TRUE(rig.link.StartRead());
    rig.clock.Advance(790);
    rig.port.Feed(DumpOf(PatternImage(4)));
    rig.clock.Advance(3000);
    EXPECT_EQ(rig.host.accepted, 1);
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.Writes().size(), 1u);
}

TEST(OsdLinkTest, AcknowledgementBytesDuringAReadAreDumpData) {
    TLinkRig rig;
    ASSERT_TRUE(rig.link.StartRead());
    rig.port.Feed("#R+");
    EXPECT_EQ(rig.link.DumpBytes(), 3u);
    EXPECT_EQ(rig.host.confirmed, 0);
    EXPECT_EQ(rig.image.Byte(0), '#');
    EXPECT_TRUE(rig.timer2.Enabled());
}

TEST(OsdLinkTest, ReadIsRefusedWhenClosedOrBusy) {
    TLinkRig closed;
    closed.port.Close();
    EXPECT_FALSE(closed.link.StartRead());
    EXPECT_FALSE(closed.link.Exchange().has_value());
    EXPECT_TRUE(closed.Writes().empty());

    TLinkRig rig;
    rig.link.StartTest();
    rig.port.Feed("#"); // half an acknowledgement
    EXPECT_FALSE(rig.link.StartRead());
    EXPECT_EQ(rig.link.Exchange(), TExchangeKind::LinkTest);
    rig.port.Feed("R+");
    EXPECT_EQ(rig.host.confirmed, 1);
    EXPECT_EQ(rig.Writes().size(), 1u);
}

// ---------------------------------------------------------------- write

TEST(OsdLinkTest, WriteSends16AcknowledgedBlocksWithProgressAndReadsThemBack) {
    TLinkRig rig;
    rig.image = PatternImage(11);
    rig.AckFrames();
    rig.timer1.SetEnabled(true);
    ASSERT_TRUE(rig.link.StartWrite());
    EXPECT_EQ(rig.link.Exchange(), TExchangeKind::Write);
    EXPECT_EQ(rig.host.shows, 1);
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 5000));
    ASSERT_EQ(rig.Writes().size(), 17u);
    for (std::size_t k = 0; k < 16; ++k) {
        EXPECT_TRUE(IsBlockFrame(rig.Writes()[k]));
        EXPECT_EQ(rig.Writes()[k], BlockFrame(rig.image, k));
    }
    EXPECT_EQ(Indices(rig.Writes()), WithReadBack(Range(0, 15)));
    EXPECT_EQ(rig.host.progress, Range(0, 240, 16));
    EXPECT_TRUE(rig.host.messages.empty());
    // The read-back found what was written; its image goes out with the report, and the
    // editor's image is not touched.
    const TExchangeReport& report = rig.host.reports.back();
    EXPECT_TRUE(report.Verified);
    ASSERT_TRUE(report.ReadBack.has_value());
    EXPECT_EQ(0, std::memcmp(report.ReadBack->Data(), rig.image.Data(), ofs::ImageSize));
    EXPECT_EQ(rig.image.Byte(ofs::DumpCheck), 0);
    EXPECT_EQ(rig.host.closes, 1);
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_TRUE(rig.timer1.Enabled());
    EXPECT_EQ(rig.timer1.Interval(), 200u);
    EXPECT_FALSE(rig.timer2.Enabled());
    // Each block left only after the acknowledgement of the one before (10 ms + 2 ms), and
    // the read request after the last.
    for (std::size_t k = 1; k < 17; ++k)
        EXPECT_EQ(rig.writeTimes[k] - rig.writeTimes[k - 1], 12u);
    const auto blinksAtEnd = rig.host.blinks;
    rig.clock.Advance(400);
    EXPECT_EQ(rig.host.blinks, blinksAtEnd + 2);
}

TEST(OsdLinkTest, BlockNeverAcknowledgedGivesUpAfter10FramesAnd2Seconds) {
    TLinkRig rig;
    rig.AckFrames('w', 9);
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.host.messages.empty(); }, 10000));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    const auto idx = Indices(rig.Writes());
    ASSERT_EQ(idx.size(), 19u);
    EXPECT_EQ(std::vector<int>(idx.begin(), idx.begin() + 9), Range(0, 8));
    EXPECT_EQ(std::count(idx.begin(), idx.end(), 9), 10);
    EXPECT_EQ(rig.clock.Now() - rig.writeTimes[9], 2000u);
    for (std::size_t k = 10; k < 19; ++k)
        EXPECT_EQ(rig.writeTimes[k] - rig.writeTimes[k - 1], 200u);
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_FALSE(rig.link.Busy());
    EXPECT_FALSE(rig.timer1.Enabled());
    EXPECT_EQ(rig.host.closes, 1);
    EXPECT_EQ(rig.link.StepIndex(), 9);
    rig.clock.Advance(5000);
    EXPECT_EQ(rig.Writes().size(), 19u);
}

TEST(OsdLinkTest, LateAcknowledgementIsNotPreemptedByAnEarlyResend) {
    // The board answers each block 150 ms after it left: within every block's own
    // 200 ms, so no block may be sent twice and every acknowledgement is its own.
    TLinkRig rig;
    rig.AckFrames();
    rig.latency = 150;
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 10000));
    EXPECT_EQ(Indices(rig.Writes()), WithReadBack(Range(0, 15)));
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_TRUE(rig.replies.empty());
}

TEST(OsdLinkTest, LostFirstCopyCostsOneResendIntervalAndOneFenceAndNoResendAfterIt) {
    // A prompt board loses the first copy of block 3. Only block 3 goes out twice, a fence
    // follows it, and the write takes one resend interval (200 ms) and the fence's round
    // trip longer than a clean one, not a resend for every block after it.
    TLinkRig clean;
    clean.AckFrames();
    ASSERT_TRUE(clean.link.StartWrite());
    ASSERT_TRUE(clean.clock.AdvanceUntil([&] { return !clean.link.Busy(); }, 10000));

    TLinkRig rig;
    LoseFirstCopies(rig, {3});
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 10000));
    EXPECT_TRUE(rig.host.messages.empty());
    std::vector<int> expected = WithReadBack(Range(0, 15));
    expected.insert(expected.begin() + 4, {3, kFence});
    EXPECT_EQ(Indices(rig.Writes()), expected);
    const std::uint64_t extra = rig.clock.Now() - clean.clock.Now();
    EXPECT_GE(extra, 200u);
    EXPECT_LT(extra, 300u);
}

TEST(OsdLinkTest, OnlySurvivingAcknowledgementCompletesTheWrite) {
    // Block 3 loses its first copy; of block 4 only the first copy would arrive. Its
    // acknowledgement is the only one there is: the write must take it and complete.
    TLinkRig rig;
    rig.fate = [](const TFrameId& id) {
        TCopyFate f;
        f.Lost = id.Kind == TFrameId::Block &&
                 ((id.Index == 3 && id.Copy == 1) || (id.Index == 4 && id.Copy > 1));
        return f;
    };
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 20000));
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.host.reports.back().Outcome, TExchangeOutcome::Done);
    EXPECT_EQ(rig.board.blockStores[4], 1);
}

TEST(OsdLinkTest, QueueingSlowBoardWritesEachBlockOnceAfterTheFirst) {
    // The board answers 210 ms after the frame or after its previous answer: the copies
    // of block 0 queue up, and a fence proves them answered. The write completes, and from
    // block 1 on each block goes once.
    TLinkRig rig;
    rig.queueing = true;
    rig.latency = 210;
    rig.AckFrames();
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    EXPECT_TRUE(rig.host.messages.empty());
    std::vector<int> expected = WithReadBack(Range(0, 15));
    expected.insert(expected.begin() + 1, {0, kFence});
    EXPECT_EQ(Indices(rig.Writes()), expected);
    EXPECT_TRUE(rig.replies.empty()); // no answer left over for the next exchange
}

TEST(OsdLinkTest, QueueingSlowBoardLosingTheLastBlockGivesUp) {
    // The surplus acknowledgements of the resent block 0 are never taken for a later block.
    TLinkRig rig;
    rig.queueing = true;
    rig.latency = 210;
    rig.AckFrames('w', 15);
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    EXPECT_EQ(rig.host.reports.back().Confirmed, 15);
    const auto idx = Indices(rig.Writes());
    EXPECT_EQ(std::count(idx.begin(), idx.end(), 15), 10);
}

TEST(OsdLinkTest, EachSequenceStartsWithFreshCounters) {
    // A slow board (210 ms) whose last block loses its first copy: the write ends after
    // its surplus acknowledgement. Nothing of it carries over: the next write, to a prompt
    // board, takes its first acknowledgement at once ...
    TLinkRig rig;
    rig.latency = 210;
    LoseFirstCopies(rig, {15});
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    ASSERT_TRUE(rig.host.messages.empty());
    rig.latency = 10;
    rig.AckFrames();
    rig.port.ClearWrites();
    rig.writeTimes.clear();
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 10000));
    EXPECT_EQ(Indices(rig.Writes()), WithReadBack(Range(0, 15)));
    EXPECT_EQ(rig.writeTimes[15] - rig.writeTimes.front(), 15u * 12u);
    // ... and a silent board gets the resend interval of a board never heard: 200 ms.
    rig.fate = nullptr;
    rig.writeTimes.clear();
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 10000));
    ASSERT_EQ(rig.writeTimes.size(), 10u);
    EXPECT_EQ(rig.writeTimes[1] - rig.writeTimes[0], 200u);
    EXPECT_EQ(rig.clock.Now() - rig.writeTimes[0], 2000u);
}

TEST(OsdLinkTest, EveryAcknowledgementNeedsItsOwnHash) {
    TLinkRig rig;
    ASSERT_TRUE(rig.link.StartWrite());
    rig.port.Feed("#+");
    rig.clock.Advance(2);
    ASSERT_EQ(rig.Writes().size(), 2u);
    // Bytes that are no acknowledgement, in a later notification, leave block 1 waiting.
    rig.port.Feed("xyz");
    rig.port.Notify();
    rig.clock.Advance(100);
    EXPECT_EQ(rig.Writes().size(), 2u);
    // A "+" after an acknowledgement, without a "#" of its own (a cut answer whose "#" was
    // lost), is none: block 1 waits for its own.
    rig.port.Feed("+");
    rig.clock.Advance(50);
    EXPECT_EQ(rig.Writes().size(), 2u);
    rig.port.Feed("#+");
    rig.clock.Advance(2);
    EXPECT_EQ(Indices(rig.Writes()), (std::vector<int>{0, 1, 2}));
}

// ---------------------------------------------------------------- answer times that change

namespace {

using TFate = std::function<TCopyFate(const TFrameId&)>;

// Every copy answered after `slowMs` once the board has met `slowKind` `slowIndex` (from
// then on, `from`) or only for that frame (not `from`), else after 2 ms; every copy of
// `lostKind` `lostIndex` lost.
TFate TurnsSlow(TFrameId::TKind slowKind, int slowIndex, bool from, TFrameId::TKind lostKind,
                int lostIndex, std::uint32_t slowMs = 250) {
    return [=, slow = false](const TFrameId& id) mutable {
        TCopyFate f;
        const bool met = id.Kind == slowKind && id.Index == slowIndex;
        slow = slow || (from && met);
        f.AnswerMs = slow || met ? slowMs : 2;
        f.Lost = id.Kind == lostKind && id.Index == lostIndex;
        return f;
    };
}

// The blocks the board holds as the link sent them.
bool BlocksStored(const TLinkRig& rig, std::size_t from = 0, std::size_t to = kBlockCount) {
    return std::equal(rig.image.Data() + from * kBlockBytes, rig.image.Data() + to * kBlockBytes,
                      rig.board.image.Data() + from * kBlockBytes);
}

// A write without its read-back: what it promises rests on the acknowledgements alone.
bool StartPlainWrite(TOsdLink& link) {
    return link.StartWrite(false);
}

} // namespace

TEST(OsdLinkTest, AnswerTimeChangingMidWriteNeverAcknowledgesALostBlock) {
    // Both copies of block 5 answered after 250 ms, block 6 lost; slow from block 5 on
    // (every frame resent once its answer time passes 200 ms), block 15 lost; and a board
    // handling its frames one at a time, slow from block 3, losing block 9.
    struct TCase {
        int slowAt;
        bool from; // slow from then on, not for that block alone
        bool queueing;
        int lost;
    };
    for (const TCase c :
         {TCase{5, false, false, 6}, TCase{5, true, false, 15}, TCase{3, true, true, 9}}) {
        TLinkRig rig;
        rig.image = PatternImage(c.lost);
        rig.queueing = c.queueing;
        rig.fate = TurnsSlow(TFrameId::Block, c.slowAt, c.from, TFrameId::Block, c.lost);
        ASSERT_TRUE(StartPlainWrite(rig.link));
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 120000));
        EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError}) << c.lost;
        EXPECT_EQ(rig.host.reports.back().Confirmed, c.lost);
        EXPECT_TRUE(BlocksStored(rig, 0, static_cast<std::size_t>(c.lost)));
    }
}

TEST(OsdLinkTest, UploadToABoardTurningSlowNeverAcknowledgesALostCharacter) {
    TLinkRig rig;
    rig.fate = TurnsSlow(TFrameId::Char, 100, true, TFrameId::Char, 255);
    ASSERT_TRUE(rig.link.StartFontUpload(PatternFont()));
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 600000));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    EXPECT_FALSE(rig.board.charStored[255]);
    EXPECT_EQ(rig.host.reports.back().Confirmed, 255);
}

TEST(OsdLinkTest, RandomFirstCopyLossOnABoardTurningSlowEndsStoredOrInError) {
    // 8 % of first copies lost; the board answers after 250 ms from block 8 on.
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        TLinkRig rig;
        rig.image = PatternImage(static_cast<int>(seed));
        std::mt19937 random(seed);
        rig.fate = [&, slow = TurnsSlow(TFrameId::Block, 8, true, TFrameId::Other, -1)](
                       const TFrameId& id) mutable {
            TCopyFate f = slow(id);
            f.Lost = id.Copy == 1 && std::uniform_real_distribution<>(0, 1)(random) < 0.08;
            return f;
        };
        ASSERT_TRUE(StartPlainWrite(rig.link));
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 120000));
        if (rig.host.messages.empty())
            EXPECT_TRUE(BlocksStored(rig)) << "seed " << seed;
        else
            EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError}) << "seed " << seed;
    }
}

// ---------------------------------------------------------------- fences and the read-back

TEST(OsdLinkTest, FenceSentTwiceDrainsItsOtherAnswerBeforeTheNextBlock) {
    // Block 3 loses its first copy, so a fence follows it. The board takes 250 ms over the
    // fence, which is resent at 200 ms; the answer to its second copy comes after the first
    // lettered one and loses its letter ("#+"). It must not acknowledge block 4, which the
    // board never gets.
    TLinkRig rig;
    rig.fate = [](const TFrameId& id) {
        TCopyFate f;
        const bool fence = id.Kind == TFrameId::Test;
        f.AnswerMs = fence ? 250 : 10;
        f.Lost = id.Kind == TFrameId::Block && (id.Index == 4 || (id.Index == 3 && id.Copy == 1));
        f.LostByte = fence && id.Copy == 2 ? 1 : -1;
        return f;
    };
    ASSERT_TRUE(rig.link.StartWrite(false));
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    EXPECT_EQ(rig.host.reports.back().Confirmed, 4);
    const auto idx = Indices(rig.Writes());
    EXPECT_EQ(std::count(idx.begin(), idx.end(), kFence), 2);
}

TEST(OsdLinkTest, LetteredAnswersAcknowledgeNoBlockAndConfirmNothingUnasked) {
    TLinkRig idle;
    idle.port.Feed("#R+"); // no exchange runs
    EXPECT_EQ(idle.host.confirmed, 0);
    EXPECT_TRUE(idle.host.reports.empty());

    TLinkRig rig;
    ASSERT_TRUE(rig.link.StartWrite());
    rig.port.Feed("#R+"); // a late fence's or test's answer
    rig.clock.Advance(50);
    EXPECT_EQ(rig.Writes().size(), 1u);
    EXPECT_EQ(rig.host.confirmed, 0);
    EXPECT_TRUE(rig.host.messages.empty()); // no "OSD not ready !" either
    // Its own answer moves it on; an answer nobody waited for puts a fence before block 1.
    rig.port.Feed("#+");
    rig.clock.Advance(2);
    EXPECT_EQ(Indices(rig.Writes()), (std::vector<int>{0, kFence}));
}

TEST(OsdLinkTest, ExchangeAfterOneLeavingCopiesUnansweredStartsWithAFence) {
    // A write gives up on block 9 (ten copies, any of which may still be answered): the
    // next write or read proves the line first, once; the one after needs no fence.
    for (const bool read : {false, true}) {
        TLinkRig rig;
        rig.AckFrames('w', 9);
        ASSERT_TRUE(rig.link.StartWrite());
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
        ASSERT_EQ(rig.host.messages, Messages{TMessage::CommError});
        rig.AckFrames();
        rig.port.ClearWrites();
        ASSERT_TRUE(read ? rig.link.StartRead() : rig.link.StartWrite(false));
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
        std::vector<int> expected = read ? std::vector<int>{kRead} : Range(0, 15);
        expected.insert(expected.begin(), kFence);
        EXPECT_EQ(Indices(rig.Writes()), expected);
        rig.port.ClearWrites();
        ASSERT_TRUE(rig.link.StartWrite(false));
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
        EXPECT_EQ(Indices(rig.Writes()), Range(0, 15));
    }
    // A link test sends itself, fence or not.
    TLinkRig rig;
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    rig.port.ClearWrites();
    rig.link.StartTest();
    EXPECT_EQ(rig.Writes(), std::vector<std::string>{TestFrame()});
}

TEST(OsdLinkTest, ReadBackWritesDifferingBlocksOnceMoreThenNamesTheFirstStillDifferent) {
    for (const int forgets : {1, -1}) { // block 6 forgotten once, or always
        TLinkRig rig;
        rig.image = PatternImage(3);
        rig.image.SetByte(6 * kBlockBytes, 0x5A);
        rig.image.SetByte(6 * kBlockBytes + 20, 0x5B);
        const TConfigImage edited = rig.image;
        rig.AckFrames();
        rig.board.forgetBlock = 6;
        rig.board.forgetTimes = forgets;
        for (std::size_t k = 6 * kBlockBytes; k < 7 * kBlockBytes; ++k)
            rig.board.image.SetByte(k, rig.image.Byte(k)); // all but two bytes already there
        rig.board.image.SetByte(6 * kBlockBytes, 0);
        rig.board.image.SetByte(6 * kBlockBytes + 20, 0);
        ASSERT_TRUE(rig.link.StartWrite());
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
        std::vector<int> expected = WithReadBack(WithReadBack(Range(0, 15)));
        expected.insert(expected.end() - 1, 6);
        EXPECT_EQ(Indices(rig.Writes()), expected) << forgets;
        const TExchangeReport& r = rig.host.reports.back();
        EXPECT_EQ(r.Outcome, forgets < 0 ? TExchangeOutcome::VerifyFailed : TExchangeOutcome::Done);
        EXPECT_EQ(r.Verified, forgets > 0);
        if (forgets < 0) {
            EXPECT_EQ(r.Mismatch.Block, 6);
            EXPECT_EQ(r.Mismatch.First, 192);
            EXPECT_EQ(r.Mismatch.Last, 212);
        }
        EXPECT_TRUE(rig.host.messages.empty()); // the window names the failure from the report
        EXPECT_EQ(0, std::memcmp(rig.image.Data(), edited.Data(), ofs::DumpSize));
    }
}

TEST(OsdLinkTest, ReadBackLeavesOutTheFirmwareVersionAndTheOdometer) {
    TLinkRig rig;
    rig.AckFrames();
    rig.board.keepsOwnBytes = true; // the board keeps its own offsets 0-1 and 12-15
    rig.image = PatternImage(4);
    ASSERT_TRUE(rig.link.StartApply());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    EXPECT_EQ(Indices(rig.Writes()), WithReadBack({0, 15}));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::ChangesUpdated});
    EXPECT_TRUE(rig.host.reports.back().Verified);
}

TEST(OsdLinkTest, ReadBackDumpFailingItsCheckByteIsAskedForAgain) {
    TLinkRig rig;
    rig.AckFrames();
    rig.fate = [inner = rig.fate](const TFrameId& id) {
        TCopyFate f = inner(id);
        f.AnswerLost = id.Kind == TFrameId::Read; // the test feeds the dumps
        return f;
    };
    ASSERT_TRUE(rig.link.StartApply());
    rig.clock.Advance(100);
    ASSERT_EQ(rig.Writes().back(), ReadFrame());
    rig.port.Feed(DumpOf(rig.board.image, 1));
    rig.clock.Advance(10);
    ASSERT_EQ(Indices(rig.Writes()), WithReadBack(WithReadBack({0, 15})));
    rig.port.Feed(DumpOf(rig.board.image));
    rig.clock.Advance(10);
    EXPECT_EQ(rig.host.messages, Messages{TMessage::ChangesUpdated});
    EXPECT_TRUE(rig.host.reports.back().Verified);
}

TEST(OsdLinkTest, FenceAndReadBackGiveUpWithTheirBudgets) {
    struct TCase {
        TFrameId::TKind silent; // never answered
        TExchangeStep step;
        int copies;
    };
    for (const TCase c : {TCase{TFrameId::Test, TExchangeStep::Fence, 10},
                          TCase{TFrameId::Read, TExchangeStep::ReadBack, 3}}) {
        TLinkRig rig;
        rig.fate = [&](const TFrameId& id) {
            TCopyFate f;
            f.Lost = id.Kind == c.silent || (id.Index == 15 && id.Copy == 1);
            return f;
        };
        ASSERT_TRUE(rig.link.StartWrite());
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
        EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
        EXPECT_EQ(rig.host.reports.back().Step, c.step);
        EXPECT_EQ(rig.host.reports.back().Confirmed, 16);
        const auto idx = Indices(rig.Writes());
        EXPECT_EQ(std::count(idx.begin(), idx.end(), c.silent == TFrameId::Test ? kFence : kRead),
                  c.copies);
    }
}

TEST(OsdLinkTest, BoardLetteringItsAcknowledgementsIsWaitedOutInsteadOfFenced) {
    // Its acknowledgements look like a fence's answers: a resent block's other copies are
    // waited for by the time limit, 2.0 s, and no fence goes out.
    TLinkRig rig;
    LoseFirstCopies(rig, {3});
    rig.board.ackLetter = 'K';
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    EXPECT_TRUE(rig.host.reports.back().Verified);
    std::vector<int> expected = WithReadBack(Range(0, 15));
    expected.insert(expected.begin() + 4, 3);
    EXPECT_EQ(Indices(rig.Writes()), expected);
    EXPECT_GE(rig.writeTimes[5] - rig.writeTimes[4], 2000u);
}

// ---------------------------------------------------------------- font upload

TEST(OsdLinkTest, UploadSends256CharactersAndReportsFontsLoaded) {
    TLinkRig rig;
    rig.AckFrames();
    rig.latency = 3;
    const TFontSet font = PatternFont();
    ASSERT_TRUE(rig.link.StartFontUpload(font));
    EXPECT_EQ(rig.link.Exchange(), TExchangeKind::FontUpload);
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    ASSERT_EQ(rig.Writes().size(), 256u);
    for (std::size_t c = 0; c < 256; ++c) {
        EXPECT_TRUE(IsCharFrame(rig.Writes()[c]));
        EXPECT_EQ(rig.Writes()[c], CharFrame(static_cast<std::uint8_t>(c), font[c]));
    }
    EXPECT_EQ(Indices(rig.Writes()), Range(0, 255));
    EXPECT_EQ(rig.host.progress, Range(0, 255));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::FontsLoaded});
    EXPECT_EQ(rig.host.shows, 1);
    EXPECT_EQ(rig.host.closes, 1);
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_FALSE(rig.timer1.Enabled());
    EXPECT_FALSE(rig.timer2.Enabled());
}

TEST(OsdLinkTest, CharacterNeverAcknowledgedGivesUp) {
    TLinkRig rig;
    rig.AckFrames('c', 200);
    ASSERT_TRUE(rig.link.StartFontUpload(PatternFont()));
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.host.messages.empty(); }, 60000));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    const auto idx = Indices(rig.Writes());
    EXPECT_EQ(idx.size(), 210u);
    EXPECT_EQ(std::count(idx.begin(), idx.end(), 200), 10);
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_FALSE(rig.link.Busy());
    EXPECT_EQ(rig.host.closes, 1);
    EXPECT_EQ(rig.host.progress.back(), 200);
}

// ---------------------------------------------------------------- settings Apply

TEST(OsdLinkTest, ApplySendsBlock0ThenBlock15AndReportsChangesUpdated) {
    TLinkRig rig;
    rig.image = PatternImage(21);
    rig.AckFrames();
    rig.latency = 40;
    ASSERT_TRUE(rig.link.StartApply());
    EXPECT_EQ(rig.link.Exchange(), TExchangeKind::Apply);
    rig.clock.Advance(39);
    EXPECT_EQ(rig.Writes().size(), 1u); // block 15 waits for block 0's acknowledgement
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 5000));
    EXPECT_EQ(rig.Writes(), (std::vector<std::string>{BlockFrame(rig.image, 0),
                                                      BlockFrame(rig.image, 15), ReadFrame()}));
    EXPECT_EQ(rig.writeTimes[1], 42u);
    EXPECT_EQ(rig.host.messages, Messages{TMessage::ChangesUpdated});
    EXPECT_EQ(rig.host.shows, 0);
    EXPECT_TRUE(rig.host.progress.empty());
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_TRUE(rig.timer1.Enabled());
    EXPECT_EQ(rig.timer1.Interval(), 200u);
    EXPECT_FALSE(rig.timer2.Enabled());
}

TEST(OsdLinkTest, ApplyGivesUpWhenABlockIsNeverAcknowledged) {
    for (int dropped : {0, 15}) {
        TLinkRig rig;
        rig.AckFrames('w', dropped);
        ASSERT_TRUE(rig.link.StartApply());
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.host.messages.empty(); }, 10000));
        EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError}) << dropped;
        const auto idx = Indices(rig.Writes());
        EXPECT_EQ(std::count(idx.begin(), idx.end(), dropped), 10);
        EXPECT_EQ(idx.size(), dropped == 0 ? 10u : 11u); // block 15 never left after block 0
        EXPECT_FALSE(rig.link.Busy());
        EXPECT_FALSE(rig.timer1.Enabled());
        rig.clock.Advance(3000);
        EXPECT_EQ(rig.Writes().size(), idx.size());
    }
}

// ---------------------------------------------------------------- mended faults

TEST(OsdLinkTest, StaleAcknowledgementNeverConfirmsANewFrame) {
    // A test answered with another letter leaves the recogniser at "complete"; the next
    // notification, whatever its bytes, must not count as the acknowledgement of the
    // first block, character or Apply frame.
    const std::vector<std::function<bool(TOsdLink&)>> starts = {
        [](TOsdLink& l) { return l.StartWrite(); },
        [](TOsdLink& l) { return l.StartFontUpload(PatternFont()); },
        [](TOsdLink& l) { return l.StartApply(); }};
    for (std::size_t s = 0; s < starts.size(); ++s) {
        TLinkRig rig;
        rig.link.StartTest();
        rig.port.Feed("#Q+");
        ASSERT_FALSE(rig.link.Busy());
        ASSERT_TRUE(starts[s](rig.link));
        rig.port.Feed("x");
        rig.port.Notify(); // a notification with nothing waiting
        rig.clock.Advance(150);
        EXPECT_EQ(rig.Writes().size(), 2u) << s;
        EXPECT_EQ(rig.link.StepIndex(), 0) << s;
        rig.port.Feed("#+"); // the real acknowledgement moves it on
        rig.clock.Advance(2);
        EXPECT_EQ(rig.Writes().size(), 3u) << s;
    }
    // A new test does not inherit a half-seen acknowledgement either.
    TLinkRig rig;
    rig.link.StartTest();
    rig.port.Feed("#");
    rig.clock.Advance(6000);
    ASSERT_EQ(rig.host.messages, Messages{TMessage::CommError});
    rig.link.StartTest();
    rig.port.Feed("+");
    EXPECT_TRUE(rig.timer2.Enabled());
}

TEST(OsdLinkTest, EveryStartIsRefusedWhileAnExchangeIsSupervised) {
    const TFontSet font = PatternFont();
    auto tryAll = [&](TLinkRig& rig) {
        rig.link.StartTest();
        EXPECT_FALSE(rig.link.StartRead());
        EXPECT_FALSE(rig.link.StartWrite());
        EXPECT_FALSE(rig.link.StartFontUpload(font));
        EXPECT_FALSE(rig.link.StartApply());
    };
    { // during a write: nothing is sent and the write finishes normally
        TLinkRig rig;
        rig.AckFrames();
        ASSERT_TRUE(rig.link.StartWrite());
        rig.clock.Advance(30);
        const auto sent = rig.Writes().size();
        const auto step = rig.link.StepIndex();
        tryAll(rig);
        EXPECT_EQ(rig.Writes().size(), sent);
        EXPECT_EQ(rig.link.StepIndex(), step);
        EXPECT_EQ(rig.host.shows, 1);
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 5000));
        EXPECT_EQ(Indices(rig.Writes()), WithReadBack(Range(0, 15)));
        EXPECT_TRUE(rig.host.messages.empty());
    }
    { // during a link test (no flag, only Timer2)
        TLinkRig rig;
        rig.link.StartTest();
        tryAll(rig);
        EXPECT_EQ(rig.Writes(), std::vector<std::string>{TestFrame()});
        EXPECT_EQ(rig.link.Exchange(), TExchangeKind::LinkTest);
    }
    { // during a read whose dump is complete but not yet applied
        TLinkRig rig;
        ASSERT_TRUE(rig.link.StartRead());
        rig.port.Feed(DumpOf(PatternImage(0)));
        tryAll(rig);
        EXPECT_EQ(rig.Writes().size(), 1u);
        rig.clock.Advance(200);
        EXPECT_EQ(rig.host.accepted, 1);
    }
    { // during an upload and during an Apply
        TLinkRig up;
        ASSERT_TRUE(up.link.StartFontUpload(font));
        tryAll(up);
        EXPECT_EQ(up.Writes().size(), 1u);
        TLinkRig apply;
        ASSERT_TRUE(apply.link.StartApply());
        tryAll(apply);
        EXPECT_EQ(apply.Writes().size(), 1u);
    }
}

TEST(OsdLinkTest, ClosingThePortEndsTheExchangeQuietly) {
    TLinkRig rig;
    rig.AckFrames();
    ASSERT_TRUE(rig.link.StartWrite());
    rig.clock.Advance(40); // a few blocks acknowledged
    rig.port.Close();
    rig.link.PortClosed();
    EXPECT_FALSE(rig.link.Busy());
    EXPECT_FALSE(rig.link.Exchange().has_value());
    EXPECT_FALSE(rig.timer1.Enabled());
    EXPECT_FALSE(rig.timer2.Enabled());
    EXPECT_EQ(rig.host.closes, 1);
    const auto sent = rig.Writes().size();
    rig.clock.Advance(10000); // no resend into the closed port, no give-up
    EXPECT_EQ(rig.Writes().size(), sent);
    EXPECT_TRUE(rig.host.messages.empty());

    // Reopened, the link works again from a clean recogniser.
    rig.port.Open();
    rig.link.StartTest();
    rig.port.Feed("#R+");
    EXPECT_EQ(rig.host.confirmed, 1);

    for (int kind = 0; kind < 3; ++kind) { // a read, a test, an upload
        TLinkRig r;
        if (kind == 0)
            ASSERT_TRUE(r.link.StartRead());
        else if (kind == 1)
            r.link.StartTest();
        else
            ASSERT_TRUE(r.link.StartFontUpload(PatternFont()));
        r.port.Close();
        r.link.PortClosed();
        EXPECT_FALSE(r.link.Busy()) << kind;
        r.clock.Advance(10000);
        EXPECT_EQ(r.Writes().size(), 1u) << kind;
        EXPECT_TRUE(r.host.messages.empty()) << kind;
    }
}

TEST(OsdLinkTest, PortClosedBehindTheLinkGivesUpOnceAtTheNextTry) {
    // The window did not close it (the selector switched to a port that failed to open):
    // one give-up message, no write attempted into the closed port.
    TLinkRig rig;
    ASSERT_TRUE(rig.link.StartWrite());
    const auto sent = rig.Writes().size();
    rig.port.Close();
    rig.clock.Advance(200);
    EXPECT_FALSE(rig.link.Busy());
    EXPECT_EQ(rig.host.messages, std::vector<TMessage>{TMessage::CommError});
    EXPECT_EQ(rig.host.closes, 1);
    rig.clock.Advance(10000);
    EXPECT_EQ(rig.Writes().size(), sent);
    EXPECT_EQ(rig.host.messages.size(), 1u);
}

TEST(OsdLinkTest, LateSecondAcknowledgementIsNotTakenForTheNextFrame) {
    // A board answering 210 ms after each frame gets every frame twice (the resend at
    // 200 ms) and answers both copies. A frame it never stores must still end in a give-up.
    struct TCase {
        std::function<bool(TOsdLink&)> start;
        char letter;
        int dropped;
    };
    const std::vector<TCase> cases = {
        {[](TOsdLink& l) { return l.StartWrite(); }, 'w', 15},
        {[](TOsdLink& l) { return l.StartApply(); }, 'w', 15},
        {[](TOsdLink& l) { return l.StartFontUpload(PatternFont()); }, 'c', 5}};
    for (const TCase& c : cases) {
        TLinkRig rig;
        rig.latency = 210;
        rig.AckFrames(c.letter, c.dropped);
        ASSERT_TRUE(c.start(rig.link));
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
        EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError}) << c.dropped;
        const auto idx = Indices(rig.Writes());
        EXPECT_EQ(std::count(idx.begin(), idx.end(), c.dropped), 10) << c.dropped;
    }
    // The same slow board storing everything: the write completes.
    TLinkRig rig;
    rig.latency = 210;
    rig.AckFrames();
    ASSERT_TRUE(rig.link.StartWrite());
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 60000));
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(Indices(rig.Writes()).back(), kRead);
}

TEST(OsdLinkTest, NewFrameRefusedByThePortGetsItsFullBudget) {
    TLinkRig rig;
    rig.fate = [&](const TFrameId& id) {
        TCopyFate f;
        f.Lost = id.Index == 1; // block 1 is never answered ...
        if (id.Index == 0)
            rig.port.FailWrites(1); // ... and its first copy is refused
        return f;
    };
    ASSERT_TRUE(rig.link.StartWrite());
    EXPECT_THROW(rig.clock.Advance(5000), std::runtime_error);
    rig.clock.Advance(10000);
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    const auto idx = Indices(rig.Writes());
    EXPECT_EQ(std::count(idx.begin(), idx.end(), 1), 9); // ten tries, the first refused
}

TEST(OsdLinkTest, WriteAndApplySendTheImageAsItWasAtTheirStart) {
    for (const bool apply : {false, true}) {
        TLinkRig rig;
        rig.image = PatternImage(7);
        const TConfigImage atStart = rig.image;
        rig.AckFrames();
        ASSERT_TRUE(apply ? rig.link.StartApply() : rig.link.StartWrite());
        rig.clock.Advance(5);
        rig.image = PatternImage(8); // edits made while the blocks go out
        ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 5000));
        ASSERT_FALSE(rig.Writes().empty());
        for (const std::string& frame : rig.Writes()) {
            if (frame == ReadFrame())
                continue;
            EXPECT_EQ(frame, BlockFrame(atStart, static_cast<std::size_t>(FrameIndex(frame))));
        }
    }
}

TEST(OsdLinkTest, ClosingThePortNamesAnInterruptedWriteOrUpload) {
    using Start = std::function<void(TOsdLink&)>;
    const std::vector<std::pair<Start, std::optional<TMessage>>> cases = {
        {[](TOsdLink& l) { l.StartWrite(); }, TMessage::WriteInterrupted},
        {[](TOsdLink& l) { l.StartApply(); }, TMessage::WriteInterrupted},
        {[](TOsdLink& l) { l.StartFontUpload(PatternFont()); }, TMessage::FontUploadInterrupted},
        {[](TOsdLink& l) { l.StartRead(); }, std::nullopt},
        {[](TOsdLink& l) { l.StartTest(); }, std::nullopt},
        {[](TOsdLink&) {}, std::nullopt}};
    for (std::size_t k = 0; k < cases.size(); ++k) {
        TLinkRig rig;
        cases[k].first(rig.link);
        rig.port.Close();
        EXPECT_EQ(rig.link.PortClosed(), cases[k].second) << k;
        EXPECT_TRUE(rig.host.messages.empty()); // the caller decides whether to show it
    }
}

// ---------------------------------------------------------------- port errors

TEST(OsdLinkTest, BlockRefusedMidWriteIsResentNotSkipped) {
    TLinkRig rig;
    rig.AckFrames();
    ASSERT_TRUE(rig.link.StartWrite());
    rig.port.FailWrites(1); // block 1 is refused when it is first sent
    EXPECT_THROW(rig.clock.Advance(50), std::runtime_error);
    ASSERT_EQ(rig.link.Exchange(), TExchangeKind::Write);
    rig.clock.Advance(5000); // the retry timer resends block 1 and the write goes on
    EXPECT_FALSE(rig.link.Busy());
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(Indices(rig.Writes()), WithReadBack(Range(0, 15)));
}

// Every exchange ends with one report: how it ended and how far it came.
TEST(OsdLinkTest, EachExchangeReportsItsEndOnce) {
    TLinkRig rig;
    rig.AckFrames('w', 9);
    ASSERT_TRUE(rig.link.StartWrite());
    rig.clock.Advance(5000);
    rig.AckFrames();
    ASSERT_TRUE(rig.link.StartFontUpload(PatternFont()));
    rig.clock.Advance(5000);
    ASSERT_TRUE(rig.link.StartWrite());
    rig.link.PortClosed();
    ASSERT_EQ(rig.host.reports.size(), 3u);
    const auto& r = rig.host.reports;
    EXPECT_EQ(r[0].Kind, TExchangeKind::Write);
    EXPECT_EQ(r[0].Outcome, TExchangeOutcome::GaveUp);
    EXPECT_EQ(r[0].Confirmed, 9); // blocks 0..8 acknowledged, block 9 never
    EXPECT_EQ(r[0].Total, 16);
    EXPECT_EQ(r[0].Budget, 10);
    EXPECT_EQ(r[1].Kind, TExchangeKind::FontUpload);
    EXPECT_EQ(r[1].Outcome, TExchangeOutcome::Done);
    EXPECT_EQ(r[1].Confirmed, 256);
    EXPECT_EQ(r[2].Outcome, TExchangeOutcome::Interrupted);
}

TEST(OsdLinkTest, RefusedFirstFrameUndoesTheStart) {
    const std::vector<std::function<bool(TOsdLink&)>> starts = {
        [](TOsdLink& l) { return l.StartRead(); }, [](TOsdLink& l) { return l.StartWrite(); },
        [](TOsdLink& l) { return l.StartFontUpload(PatternFont()); },
        [](TOsdLink& l) { return l.StartApply(); }};
    for (std::size_t s = 0; s < starts.size(); ++s) {
        TLinkRig rig;
        rig.port.FailWrites(1);
        EXPECT_THROW(starts[s](rig.link), std::runtime_error) << s;
        EXPECT_FALSE(rig.link.Busy()) << s;
        EXPECT_FALSE(rig.timer1.Enabled());
        EXPECT_TRUE(rig.host.messages.empty());
        // The link is usable at once.
        rig.AckFrames();
        EXPECT_TRUE(starts[s](rig.link)) << s;
        EXPECT_EQ(rig.Writes().size(), 1u);
    }
    // A write started on a closed port reports the port's error and leaves no progress.
    TLinkRig closed;
    closed.port.Close();
    EXPECT_THROW(closed.link.StartWrite(), std::runtime_error);
    EXPECT_EQ(closed.host.shows, closed.host.closes);
    EXPECT_FALSE(closed.link.Busy());
}

TEST(OsdLinkTest, ReadErrorBeforeTheReadBackRequestLeavesItToTheRetryTimer) {
    // The bytes waiting when the read-back request leaves (2 ms after block 15's answer at
    // 22 ms) cannot be read: the request is supervised already and goes out on the retry.
    TLinkRig rig;
    rig.AckFrames();
    ASSERT_TRUE(rig.link.StartApply());
    rig.clock.Advance(23);
    rig.port.Feed("x", false);
    rig.port.FailReads(1);
    EXPECT_THROW(rig.clock.Advance(1), std::runtime_error);
    ASSERT_TRUE(rig.clock.AdvanceUntil([&] { return !rig.link.Busy(); }, 10000));
    EXPECT_EQ(rig.host.messages, Messages{TMessage::ChangesUpdated});
    EXPECT_TRUE(rig.host.reports.back().Verified);
}

TEST(OsdLinkTest, RefusedResendsUseUpTheirTriesAndGiveUpOnceAtTheEnd) {
    TLinkRig rig;
    rig.link.StartTest();
    rig.port.FailWrites(60); // every resend is refused: each uses up a try, none raises
    EXPECT_NO_THROW(rig.clock.Advance(5999));
    EXPECT_TRUE(rig.link.Busy());
    rig.clock.Advance(1);
    EXPECT_EQ(rig.host.messages, Messages{TMessage::CommError});
    EXPECT_EQ(rig.host.reports.back().PortError.rfind("Write data error", 0), 0u);
    EXPECT_EQ(rig.Writes().size(), 1u);
}

TEST(OsdLinkTest, ReadErrorLeavesTheHandlerWithTheBytesNotYetRead) {
    TLinkRig rig;
    rig.link.StartTest();
    rig.port.Feed("#R", false);
    rig.port.FailReads(1);
    EXPECT_THROW(rig.port.Feed("+"), std::runtime_error);
    EXPECT_EQ(rig.port.Pending(), 3u);
    rig.port.Notify(); // the next notification drains them
    EXPECT_EQ(rig.host.confirmed, 1);
}

// ---------------------------------------------------------------- idle

TEST(OsdLinkTest, IdleStepTimerIsTheBlinkTick) {
    TLinkRig rig;
    EXPECT_FALSE(rig.timer1.Enabled());
    EXPECT_FALSE(rig.timer2.Enabled());
    EXPECT_EQ(rig.timer1.Interval(), 200u);
    rig.timer1.SetEnabled(true);
    rig.clock.Advance(1000);
    EXPECT_EQ(rig.host.blinks, 5);
    EXPECT_TRUE(rig.Writes().empty());
    // Unsolicited bytes while idle change nothing visible.
    rig.port.Feed("#+garbage");
    EXPECT_EQ(rig.host.confirmed, 0);
    EXPECT_TRUE(rig.timer1.Enabled());
}

TEST(OsdLinkTest, MessageBoxNestedLoopSeesAFinishedExchange) {
    // The window shows messages in a modal box whose event loop keeps the timers and
    // notifications running; the link must already be idle by then.
    TLinkRig rig;
    bool idleInside = false;
    rig.host.onMessage = [&] {
        idleInside = !rig.link.Busy() && !rig.timer1.Enabled();
        rig.link.StartTest(); // a new exchange may even start from inside
    };
    rig.link.StartTest();
    rig.clock.Advance(6000);
    EXPECT_TRUE(idleInside);
    EXPECT_TRUE(rig.link.Busy());
    EXPECT_EQ(rig.Writes().size(), 61u);
}
