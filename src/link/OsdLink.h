// The board link: link state, reply recognition and the supervision of every exchange
// (link test, configuration read, configuration write, settings Apply, font upload).
//
// Everything runs on the main thread. The constructor wires port.OnDataRecived to the
// receive handler, timer1.OnTimer to the step dispatcher and timer2.OnTimer to the retry
// handler, each run through host.RunHandler (the host's guard), and sets both timers to
// 200 ms, disabled; the destructor unwires them.
//
// Timer1 is the step timer: 2 ms after a frame is answered it sends the next frame (block,
// character, fence, read request); after a complete dump it runs the read completion; with
// no exchange running it is the editor's 200 ms blink tick (host.BlinkTick()). Timer2 is
// the retry timer: it resends the frame out until its budget is spent, then gives up with
// TMessage::CommError; while the link waits for answers to earlier copies it times the wait.
//
// Budgets of a board that never answers: link test 60 frames 100 ms apart (give-up after
// 6.0 s); read request 3 frames 800 ms apart (2.4 s); each block, character or fence 10
// frames 200 ms apart (2.0 s).
//
// What the link relies on from the board, beyond taking and storing frames:
// - It answers the copies it receives in the order they came, one answer per copy, nothing
//   unasked; no byte of an acknowledgement but its own ends is "#" or "+".
// - Block and character acknowledgements carry no letter "R"; the test frame is answered
//   with a letter, in the middle of a sequence too.
// - Time limit: the board takes at most 2.0 s (a frame's whole budget) over one copy: its
//   answer comes at most 2.0 s after the copy arrived or after its previous answer,
//   whichever is later. An answer that has not come by then never comes.
//
// Acknowledgements name no frame, so one is taken for a frame only when it cannot belong to
// an earlier copy:
// - The line is clean when no copy sent before can still be answered. A frame sent on a
//   clean line owns every answer after its first copy; its first answer acknowledges it
//   (no copy is resent after it).
// - A frame answered on every copy it was sent leaves the line clean: the next frame leaves
//   2 ms later. Sent once and answered: 16 block or 256 character frames, nothing more.
// - A resent frame answered while other copies are out: when its answer came later after
//   the last copy than the answer time T (an earlier copy's answer, so the others are on
//   their way), it waits for them until its last copy + T + M; otherwise, or when they do
//   not all come, a fence goes out before anything else.
// - The fence is the test frame. Its answer carries a letter and comes after every answer
//   to earlier copies: answers without a letter before the first lettered one belong to
//   earlier copies and are dropped; the first lettered answer (any letter) proves them
//   through. The answers still owed after it (to the fence's other copies, and to the
//   copies of a test, fence or read request left unanswered before it) are taken as they
//   come, or waited for by the time limit: n owed, n x 2.0 s after the last answer. The
//   fence has a block's budget; spent, "Communication ERROR !".
// - A fence also goes before the first frame of an exchange other than a link test when an
//   earlier exchange left copies unanswered (a give-up, a Close, a resend), and before the
//   read-back request when the last block left copies unanswered.
// - A lettered answer "R" while a block or character is out is never its answer (it is a
//   fence's or a test's): dropped. No lettered answer outside a link test confirms the link
//   or says "OSD not ready".
// - A board that puts letters in block or character acknowledgements cannot be fenced (its
//   acknowledgements look like the fence's answers): what it owes is waited for by the time
//   limit instead, n x 2.0 s after its last copy or answer.
// - The recogniser: "#" starts an acknowledgement, the first byte after it (unless "+") is
//   its letter, "+" completes it. Each acknowledgement needs its own "#".
//
// Answer time T, for speed only: the longest time from first copy to answer among the
// frames answered on one copy; after a resent frame answered later after its last copy than
// T, the time since its first copy (an upper bound, so a board that turned slow stops being
// resent every frame). M = max(50 ms, T / 4). Resend interval of a block, character or
// fence: 200 ms while the board has not answered in this exchange, then T + M, at least
// 200 ms and at most 800 ms. A lost copy of a prompt board costs one resend interval and one
// fence's round trip.
//
// Read: the dump is the answer. Bytes after it are a repeated dump answering another copy of
// the request: dropped, each 513 of them one answer, each restarting the quiet wait (T + M)
// the read holds before it completes. A retry tick that finds dump bytes arrived since the
// tick before neither resends nor cuts the dump: the first such tick of a request gives the
// dump one more interval without spending a try, a later one spends it (so a read ends
// within 4.8 s). A tick with no dump byte since the one before resends, and the dump starts
// afresh at byte 0 (what came of the dump before counts as that copy's answer). Bytes
// waiting before a read request leaves are dropped. Copies of the request left unanswered
// are owed answers for the next fence.
//
// Read-back: a write (unless asked not to) and an Apply read the board after the last
// acknowledgement, the same way, into a buffer of their own (never the image), and compare
// the blocks they sent, leaving out offsets 0-1 and 12-15 (firmware version and odometer,
// kept by the board itself). Blocks that differ are written once more and read back again;
// still different: TExchangeOutcome::VerifyFailed naming the first one. A dump failing its
// check byte is asked for again (within the read budget). The report carries the image.
//
// Write and Apply send a copy of the image taken when they start; edits made meanwhile go
// with the next write.
//
// Only one exchange is supervised at a time: every start is refused while Busy() (waits for
// answers included). Exceptions raised by the port (WriteString, ReadChar) leave the handler
// that was running; a start whose first frame is refused is undone before the exception
// leaves. A new frame gets its budget and retry timer before its first write, so one the
// port refuses in the middle of a sequence is resent. A resend the port refuses uses up its
// try and raises nothing: the exchange goes on until its budget is spent and then gives up
// with one "Communication ERROR !", its report carrying the port's error. A port found
// closed at a retry tick gives up at once.
#pragma once

#include "config/ConfigImage.h"
#include "link/FontFile.h"
#include "link/LinkHost.h"
#include "link/LinkPort.h"
#include "link/LinkTimer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvex {

// Copies a frame may be sent before the exchange gives up.
namespace link_budget {
constexpr std::uint8_t Test = 60;
constexpr std::uint8_t Read = 3;
constexpr std::uint8_t Frame = 10; // each block, character or fence
} // namespace link_budget

// The longest the board takes over one copy (see the time limit above).
constexpr std::uint64_t kAnswerLimitMs = 2000;

class TOsdLink {
public:
    TOsdLink(TConfigImage& image, TLinkPort& port, TLinkTimer& timer1, TLinkTimer& timer2,
             TLinkHost& host);
    ~TOsdLink();
    TOsdLink(const TOsdLink&) = delete;
    TOsdLink& operator=(const TOsdLink&) = delete;

    // The exchange supervised now; none while the link is at rest.
    std::optional<TExchangeKind> Exchange() const { return exchange_; }
    bool Busy() const { return exchange_.has_value(); }

    // Link test (Button8Click): nothing when the port is closed or Busy(). Sends the test
    // frame; an acknowledgement stops the retries, and one with the letter "R" while the
    // font button is disabled confirms the link (host.LinkConfirmed()). One with another
    // letter shows TMessage::NotReady.
    void StartTest();
    // Read request (Button1Click's link part): false, nothing done, when the port is
    // closed or Busy(). Otherwise stops Timer1 and sends the read request. The window's
    // own reset (hiding the editor) should run only when !Busy(), so that it never stops a
    // running exchange's Timer1.
    bool StartRead();
    // Write of the 16 blocks (Button2Click's link part), then (when `readBack`) the
    // read-back: false when Busy(). Progress window shown at 0; each acknowledged block moves
    // it to StepIndex * 16.
    bool StartWrite(bool readBack = true);
    // Upload of the 256 characters of `font` (checked beforehand by LoadMcm): false when
    // Busy(). Progress shown at 0, moved to StepIndex per acknowledged character; ends
    // with TMessage::FontsLoaded.
    bool StartFontUpload(const TFontSet& font);
    // The settings dialog's Apply: sends block 0, then block 15 once block 0 is
    // acknowledged, each with the block budget, then the read-back; no progress window.
    // Ends with TMessage::ChangesUpdated and the blink tick resumed. False (nothing sent)
    // when Busy().
    bool StartApply();
    // The port was closed: ends any exchange without a message and without resending.
    // Every exchange ends with host.ExchangeFinished(), once. Returns the message for a
    // user who closed the port himself: TMessage::WriteInterrupted for a write or Apply,
    // TMessage::FontUploadInterrupted for an upload (the board may hold part of it);
    // nothing for a read, a link test or no exchange.
    std::optional<TMessage> PortClosed();

    // Progress of the running exchange (for checks and tests).
    std::size_t DumpBytes() const { return dumpBytes_; }  // dump bytes stored by the read
    std::uint8_t StepIndex() const { return stepIndex_; } // block or character in flight
    std::uint8_t RetriesLeft() const { return retriesLeft_; }

private:
    // The frame out now.
    enum class TRole { Test, Read, Block, Char, Fence };
    // What the exchange waits for.
    enum class TWait {
        Answer, // the first answer to the frame out (its resends on Timer2)
        Settle, // the other copies' answers of an answered frame, for a while
        Drain,  // answers owed, by the time limit
        Step,   // nothing: the next step leaves on Timer1
    };
    struct TFlight {
        std::uint64_t FirstSentMs = 0; // when the port took its first copy
        std::uint64_t LastSentMs = 0;  // ... and its last
        int Copies = 0;                // copies the port took
        int Answers = 0;               // answers taken for it
    };
    // A sequence's own properties, set when it starts.
    struct TSequence {
        std::vector<std::uint8_t> Frames; // blocks or characters to send, in order
        bool Chars = false;               // character frames (else blocks)
        int ProgressStep = 0;             // progress per frame index; 0: no progress window
        bool ReadBack = false;            // write and Apply: read the board back afterwards
        std::optional<TMessage> DoneMessage;
        bool ResumeBlink = false; // the blink tick runs again after success
    };

    void AfComPort1DataRecived(); // drains the port, runs the recognisers
    // The acknowledgement recogniser, one byte; true when it completes an acknowledgement.
    bool Recognise(std::uint8_t c);
    void Acknowledged(std::uint8_t letter);
    void TestAnswer(std::uint8_t letter);
    void FrameAnswer(std::uint8_t letter);
    void FenceAnswer(std::uint8_t letter);
    void DrainAnswer();
    void OwedAnswer(std::uint8_t letter);
    void TakeDumpByte(std::uint8_t c);
    bool CountAnswer();
    void TakeAnswer();
    void SampleAnswerTime();
    bool SlowerThanKnown(std::uint64_t ms) const; // than the answer time (which is known)
    void FrameDone();
    void Drain();
    void LineClean();
    void Owe(int copies);
    bool LineOwed() const;
    void EndTest();
    void Timer1Timer(); // step dispatcher
    void Timer2Timer(); // retry, give-up, end of a wait
    void RetryTick();
    void Resend();
    void NextStep();
    void SendFence();
    void SendReadRequest();
    void SendSequenceFrame();
    void TakeDump();
    void ApplyImageDump();
    void CompareReadBack();
    void FinishSequence(TExchangeOutcome outcome, std::optional<TMessage> message);

    void SendFrame(TRole role, const std::string& frame, std::uint8_t budget,
                   std::uint32_t intervalMs);
    void CopySent();
    void ArmStep(bool stepDelay = true);
    void RestartTimer2(std::uint64_t intervalMs);
    void WaitUntil(TWait wait, std::uint64_t atMs);
    std::uint64_t QuietMs() const;      // T + M
    std::uint32_t FrameRetryMs() const; // resend interval of a block, character or fence
    void DiscardInput();
    void ResetRecogniser();
    std::string FrameName() const; // for the trace
    int Budget() const;            // tries of the frame out
    int Try() const;               // the try the frame out is at, from 1
    void BeginExchange(TExchangeKind exchange);
    void BeginSequence(TExchangeKind exchange, TSequence sequence);
    void LeaveFrame();
    void EndExchange();
    void GiveUp();
    // Tells the host how the exchange `ended` ended: its time is taken, then `message` (if
    // any) is shown, then the report raised.
    void Finish(TExchangeKind ended, TExchangeOutcome outcome,
                std::optional<TMessage> message = std::nullopt, char reply = 0,
                std::string portError = {});
    template <typename F> void StartGuarded(F&& send);

    TConfigImage& image_;
    TLinkPort& port_;
    TLinkTimer& Timer1;
    TLinkTimer& Timer2;
    TLinkHost& host_;

    // The exchange.
    std::optional<TExchangeKind> exchange_;
    std::uint64_t startMs_ = 0; // when the exchange began (NowMs)
    TSequence sequence_;
    std::vector<std::uint8_t> written_; // the blocks of the first round (read-back compares)
    std::size_t total_ = 1;             // frames of the first round
    std::size_t next_ = 0;              // the next frame of sequence_.Frames to send
    int confirmed_ = 0;                 // frames of the first round acknowledged
    bool readDue_ = false;              // a read request (read, read-back) is still to go
    bool dumpReady_ = false;            // the dump is complete and no other copy's can follow
    bool rewritten_ = false; // the read-back's differing blocks have been written once more
    bool verified_ = false;
    bool readBackTaken_ = false; // readBack_ holds a good dump
    TVerifyMismatch mismatch_;
    char reply_ = 0;        // link test: the letter of its first answer
    std::string portError_; // the error of the last resend the port refused

    // The frame out.
    TRole role_ = TRole::Test;
    TWait wait_ = TWait::Step;
    std::uint8_t stepIndex_ = 0;
    std::string lastFrame_;
    std::uint8_t retriesLeft_ = 0;
    std::uint8_t budget_ = 0;
    TFlight flight_;
    std::optional<std::uint64_t> answerMs_; // answer time T, once the board has answered
    bool answerClean_ = false;              // T comes from frames answered on one copy

    // The recogniser and the dump.
    bool hashSeen_ = false;      // "#" seen, waiting for "+"
    std::uint8_t replyChar_ = 0; // letter of the current acknowledgement; 0 = none yet
    std::size_t dumpBytes_ = 0;
    TConfigImage* dumpInto_ = nullptr; // the image (read) or readBack_ (read-back)
    bool dumpArriving_ = false;        // dump bytes came since the last retry tick
    bool dumpGrace_ = false;           // the request's arriving dump may have one more interval
    std::size_t surplusBytes_ = 0;     // bytes after the dump (repeated dumps)

    // The line, across exchanges: answers earlier copies may still bring.
    int owedPlain_ = 0;            // of block and character copies (no letter)
    int owedLettered_ = 0;         // of test, fence and read request copies (lettered, or a dump)
    bool doubtful_ = false;        // an answer came that no copy waited for
    std::uint64_t lastLineMs_ = 0; // the last copy sent or answer taken
    bool boardLetters_ = false;    // the board put a letter in a block or character answer

    TConfigImage sent_;     // the image a write or Apply sends, as it was at its start
    TConfigImage readBack_; // what the read-back brought
    TFontSet font_{};
};

} // namespace halvex
