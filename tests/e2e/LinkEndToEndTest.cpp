// The whole link, end to end: TOsdLink with Qt timers, through TAfComPort on the slave side
// of a pseudo-terminal, to the simulated board on the master side (on its own thread).
// Every exchange and every fault of the board ends in the outcome the link promises:
// confirmation, dump accepted or rejected, the board holding what was written, retries,
// and the give-up with "Communication ERROR !" (once here, for a write; the give-up of each
// exchange is shown in virtual time by OsdLinkTest).
//
// These run in real time (Qt event loop, real serial threads). The deadlines are generous
// upper bounds for the outcome; no result depends on how fast anything was.
#include "BoardTestSupport.h"
#include "E2eRig.h"

#include "link/FontFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace halvex::sim {
namespace {

using namespace std::chrono_literals;
using LinkEndToEnd = test::TE2eRig;
using test::Unpaced;

// The program's image made different from the board's in every block.
void Scribble(TConfigImage& image) {
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        image.SetByte(k, static_cast<std::uint8_t>(k * 7 + 3));
}

bool ImageEquals(const TBoardImage& board, const TConfigImage& image, std::size_t from = 0,
                 std::size_t to = kImageSize) {
    return std::equal(board.begin() + static_cast<std::ptrdiff_t>(from),
                      board.begin() + static_cast<std::ptrdiff_t>(to), image.Data() + from);
}

std::vector<int> BlockOrder(const std::vector<TBoardEvent>& history) {
    std::vector<int> order;
    for (const auto& e : history)
        if (e.kind == TFrameKind::Block)
            order.push_back(e.index);
    return order;
}

// ---------------------------------------------------------------------------------------
// Link test

TEST_F(LinkEndToEnd, LinkTestIsConfirmedByR) {
    Boot(Unpaced());
    link->StartTest();
    ASSERT_TRUE(RunUntil([&] { return host.confirmed == 1; }, 3s));
    EXPECT_TRUE(RunUntil([&] { return !link->Busy(); }, 1s));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_GE(sim->Stats().testFrames, 1);
}

TEST_F(LinkEndToEnd, LinkTestWithAnotherLetterStopsWithoutConfirming) {
    TSimulatorOptions o = Unpaced();
    o.board.testLetter = 'N';
    Boot(o);
    link->StartTest();
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 3s));
    // The retries have stopped: no further test frames come.
    const int frames = sim->Stats().testFrames;
    RunFor(400ms);
    EXPECT_EQ(sim->Stats().testFrames, frames);
    EXPECT_EQ(host.confirmed, 0);
    EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::NotReady});
}

// ---------------------------------------------------------------------------------------
// Configuration read

TEST_F(LinkEndToEnd, ReadStoresTheBoardImage) {
    for (bool bytewise : {false, true}) {
        TSimulatorOptions o = Unpaced();
        o.bytewise = bytewise; // the dump split over many notifications
        o.byteGapUs = 100;     // 513 bytes well inside the read's 800 ms retry interval
        Boot(o);
        ASSERT_TRUE(link->StartRead());
        ASSERT_TRUE(RunUntil([&] { return host.accepted == 1 || !host.messages.empty(); }, 5s))
            << "bytewise " << bytewise;
        EXPECT_EQ(host.accepted, 1);
        EXPECT_TRUE(host.messages.empty());
        EXPECT_TRUE(ImageEquals(DefaultBoardImage(), image));
        EXPECT_TRUE(image.DumpCheckMatches());
        EXPECT_EQ(image.FirmwareVersion(), 0x0105);
        EXPECT_GE(sim->Stats().readFrames, 1); // a slow machine may resend the request
        Shutdown();
    }
}

TEST_F(LinkEndToEnd, ReadAtLineRateStoresTheBoardImage) {
    Boot(TSimulatorOptions{}); // 57600 baud: the dump takes about 89 ms
    ASSERT_TRUE(link->StartRead());
    ASSERT_TRUE(RunUntil([&] { return host.accepted == 1 || !host.messages.empty(); }, 3s));
    EXPECT_EQ(host.accepted, 1);
    EXPECT_TRUE(ImageEquals(DefaultBoardImage(), image));
}

TEST_F(LinkEndToEnd, ReadWithBadCheckByteIsRejected) {
    TSimulatorOptions o = Unpaced();
    o.board.badDumpCheck = true;
    Boot(o);
    ASSERT_TRUE(link->StartRead());
    ASSERT_TRUE(RunUntil([&] { return !host.messages.empty(); }, 3s));
    EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::ReadError});
    EXPECT_EQ(host.accepted, 0);
    // The image keeps the bytes received.
    EXPECT_TRUE(ImageEquals(DefaultBoardImage(), image));
    EXPECT_FALSE(link->Busy());
}

TEST_F(LinkEndToEnd, ShortDumpThenWholeDumpIsReadAfresh) {
    TSimulatorOptions o = Unpaced();
    o.board.shortDump = 300;
    o.board.shortDumpTimes = 1;
    Boot(o);
    // The resent request starts the dump again: the 300 bytes of the first answer are
    // not mixed into the second.
    ASSERT_TRUE(link->StartRead());
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 5s));
    EXPECT_EQ(host.accepted, 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(sim->Stats().readFrames, 2);
    EXPECT_TRUE(ImageEquals(DefaultBoardImage(), image));
}

TEST_F(LinkEndToEnd, BytesAfterTheDumpAreDroppedAndTheLinkGoesOn) {
    TSimulatorOptions o = Unpaced();
    o.board.extraAfterDump = 700; // a late second dump
    Boot(o);
    ASSERT_TRUE(link->StartRead());
    ASSERT_TRUE(RunUntil([&] { return host.accepted == 1 || !host.messages.empty(); }, 3s));
    EXPECT_EQ(host.accepted, 1);
    EXPECT_TRUE(ImageEquals(DefaultBoardImage(), image));
    // Whatever the late bytes left in the recogniser, a write still needs real
    // acknowledgements and completes.
    RunFor(100ms);
    Scribble(image);
    ASSERT_TRUE(link->StartWrite());
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 5s));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(ImageEquals(sim->Image(), image));
}

// ---------------------------------------------------------------------------------------
// Configuration write

TEST_F(LinkEndToEnd, WriteSendsSixteenBlocksAndTheBoardHoldsTheImage) {
    Boot(Unpaced());
    Scribble(image);
    ASSERT_TRUE(link->StartWrite());
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 5s));
    EXPECT_TRUE(host.messages.empty()); // a completed write shows no message
    EXPECT_EQ(host.shows, 1);
    EXPECT_EQ(host.closes, 1);
    EXPECT_TRUE(ImageEquals(sim->Image(), image));
    std::vector<int> want(16);
    for (int k = 0; k < 16; ++k)
        want[static_cast<std::size_t>(k)] = k;
    EXPECT_EQ(BlockOrder(sim->History()), want);
    EXPECT_EQ(host.progress.back(), 240);
}

TEST_F(LinkEndToEnd, WriteAtLineRateWithNoisyBytewiseAcknowledgements) {
    TSimulatorOptions o; // 57600 baud
    o.board.noise = true;
    o.bytewise = true;
    o.byteGapUs = 500;
    Boot(o);
    Scribble(image);
    ASSERT_TRUE(link->StartWrite());
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 6s));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(ImageEquals(sim->Image(), image));
    EXPECT_GE(sim->Stats().BlockFramesTotal(), 16); // resends are timing; the image is not
}

TEST_F(LinkEndToEnd, WriteResendsALostBlock) {
    TSimulatorOptions o = Unpaced();
    o.board.dropBlock = 3;
    o.board.dropBlockTimes = 2;
    Boot(o);
    Scribble(image);
    ASSERT_TRUE(link->StartWrite());
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 6s));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(ImageEquals(sim->Image(), image));
    // Two lost, so three at least (a loaded machine may resend once more).
    EXPECT_GE(sim->Stats().blockFrames[3], 3);
}

TEST_F(LinkEndToEnd, WriteGivesUpWhenBlockNineIsNeverAcknowledged) {
    TSimulatorOptions o = Unpaced();
    o.board.dropBlock = 9;
    Boot(o);
    Scribble(image);
    ASSERT_TRUE(link->StartWrite());
    ASSERT_TRUE(RunUntil([&] { return !host.messages.empty(); }, 6s));
    EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::CommError});
    EXPECT_FALSE(link->Busy());
    EXPECT_EQ(host.closes, 1);
    RunFor(300ms);
    const TBoardStats s = sim->Stats();
    EXPECT_EQ(s.blockFrames[9], 10);
    EXPECT_EQ(s.blockFrames[10], 0);
    // Blocks 0..8 reached the board; nothing from block 9 on.
    EXPECT_TRUE(ImageEquals(sim->Image(), image, 0, 9 * kBlockSize));
    const TBoardImage before = DefaultBoardImage();
    EXPECT_TRUE(std::equal(before.begin() + 9 * kBlockSize, before.end(),
                           sim->Image().begin() + 9 * kBlockSize));
}

TEST_F(LinkEndToEnd, SlowBoardLosingTheLastBlockEndsInCommunicationError) {
    // Answers 210 ms after each frame: block 0 is resent once and answered twice.
    TSimulatorOptions o = Unpaced();
    o.replyDelayMs = 210;
    o.board.dropBlock = 15;
    Boot(o);
    Scribble(image);
    ASSERT_TRUE(link->StartWrite());
    ASSERT_TRUE(RunUntil([&] { return !host.messages.empty(); }, 30s));
    EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::CommError});
    EXPECT_TRUE(ImageEquals(sim->Image(), image, 0, 15 * kBlockSize));
}

// Boards whose answer time changes: a spike on block 5 (--answer-time-for) before a lost
// block 6, and a board turning slow from block 5 (--answer-time-from) that loses block 15.
// Neither write may succeed, and the blocks before the lost one reach the board.
TEST_F(LinkEndToEnd, AnswerTimeChangingBeforeALostBlockEndsInCommunicationError) {
    for (const bool spike : {true, false}) {
        TSimulatorOptions o = Unpaced();
        (spike ? o.answerTimeFor : o.answerTimeFrom) = {TFrameKind::Block, 5, 250};
        const int lost = spike ? 6 : 15;
        o.board.dropBlock = lost;
        Boot(o);
        Scribble(image);
        ASSERT_TRUE(link->StartWrite());
        ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 30s)) << spike;
        EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::CommError}) << spike;
        EXPECT_EQ(host.reports.back().Confirmed, lost);
        EXPECT_TRUE(
            ImageEquals(sim->Image(), image, 0, static_cast<std::size_t>(lost) * kBlockSize));
        Shutdown();
    }
}

TEST_F(LinkEndToEnd, QueueingSlowBoardWritesOrGivesUpButNeverFakesSuccess) {
    // The board handles one frame at a time and answers 210 ms after the frame or after
    // its previous answer: the copies of a resent frame queue up, and their surplus
    // acknowledgements must not stand for later blocks.
    TSimulatorOptions o = Unpaced();
    o.replyDelayMs = 210;
    o.queueReplies = true;
    for (const int dropped : {-1, 15}) {
        o.board.dropBlock = dropped;
        Boot(o);
        Scribble(image);
        ASSERT_TRUE(link->StartWrite());
        ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 30s)) << dropped;
        if (dropped < 0) {
            EXPECT_TRUE(host.messages.empty());
            EXPECT_TRUE(ImageEquals(sim->Image(), image));
        } else {
            EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::CommError});
            EXPECT_TRUE(RunUntil([&] { return sim->Stats().blockFrames[15] == 10; }, 2s));
            EXPECT_TRUE(ImageEquals(sim->Image(), image, 0, 15 * kBlockSize));
        }
        Shutdown();
    }
}

TEST_F(LinkEndToEnd, ApplySendsBlocksZeroAndFifteen) {
    Boot(Unpaced());
    Scribble(image);
    ASSERT_TRUE(link->StartApply());
    ASSERT_TRUE(RunUntil([&] { return !host.messages.empty(); }, 3s));
    EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::ChangesUpdated});
    EXPECT_EQ(BlockOrder(sim->History()), (std::vector<int>{0, 15}));
    EXPECT_TRUE(ImageEquals(sim->Image(), image, 0, kBlockSize));
    EXPECT_TRUE(ImageEquals(sim->Image(), image, 15 * kBlockSize, kImageSize));
}

// ---------------------------------------------------------------------------------------
// Font upload

TEST_F(LinkEndToEnd, FontUploadStoresEveryCharacter) {
    const std::string path = FontFilePath();
    const std::optional<TFontSet> font = LoadMcm(path);
    ASSERT_TRUE(font.has_value()) << path;
    Boot(Unpaced());
    ASSERT_TRUE(link->StartFontUpload(*font));
    ASSERT_TRUE(RunUntil([&] { return !host.messages.empty(); }, 15s));
    EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::FontsLoaded});
    const TBoardFont board = sim->Font();
    for (std::size_t c = 0; c < kFontChars; ++c) {
        ASSERT_TRUE(sim->CharStored(static_cast<int>(c))) << c;
        ASSERT_TRUE(std::equal((*font)[c].begin(), (*font)[c].end(), board[c].begin())) << c;
    }
    EXPECT_EQ(sim->Stats().CharFramesTotal(), 256);
    EXPECT_EQ(host.progress.back(), 255);
}

TEST_F(LinkEndToEnd, FontUploadResendsALostCharacter) {
    TSimulatorOptions o = Unpaced();
    o.board.dropChar = 250;
    o.board.dropCharTimes = 1;
    Boot(o);
    ASSERT_TRUE(link->StartFontUpload(PatternFont()));
    ASSERT_TRUE(RunUntil([&] { return !host.messages.empty(); }, 15s));
    EXPECT_EQ(host.messages, std::vector<TMessage>{TMessage::FontsLoaded});
    EXPECT_GE(sim->Stats().charFrames[250], 2);
    EXPECT_EQ(sim->Font()[250][0], PatternFont()[250][0]);
}

TEST_F(LinkEndToEnd, ClosingThePortEndsAnUploadQuietly) {
    Boot(TSimulatorOptions{}); // paced, so the upload is still running when the port closes
    ASSERT_TRUE(link->StartFontUpload(PatternFont()));
    ASSERT_TRUE(RunUntil([&] { return sim->Stats().acksSent >= 5; }, 3s));
    port->Close();
    link->PortClosed();
    EXPECT_FALSE(link->Busy());
    RunFor(500ms);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_LT(sim->Stats().CharFramesTotal(), 256);
    // The port opens again and the board still answers.
    port->Open();
    link->StartTest();
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 3s));
    EXPECT_TRUE(host.messages.empty());
}

} // namespace
} // namespace halvex::sim
