// The board link: link state, reply recognition and the supervision of every exchange
// (link test, configuration read, configuration write, settings Apply, font upload).
//
// Everything runs on the main thread. The constructor wires port.OnDataRecived to the
// receive handler, timer1.OnTimer to the step dispatcher and timer2.OnTimer to the retry
// handler, each run through host.RunHandler (the host's guard), and sets both timers to
// 200 ms, disabled; the destructor unwires them.
//
// Timer1 is the step timer: 2 ms after a frame is answered it sends the next block or
// character; after a complete dump it runs the read completion; with no exchange running
// it is the editor's 200 ms blink tick (host.BlinkTick()). Timer2 is the retry timer: it
// resends the last frame until the exchange's budget is spent, then gives up with
// TMessage::CommError; while a frame drains (below) it times the quiet wait.
//
// Budgets of a board that never answers: link test 60 frames 100 ms apart (give-up after
// 6.0 s); read 3 frames 800 ms apart (2.4 s); each block or character 10 frames 200 ms
// apart (2.0 s).
//
// Answers. An acknowledgement names no frame; the board answers the copies of a frame it
// received in order, one answer per copy. So the link counts and times them, afresh for
// every exchange (nothing carries over from one exchange to the next):
// - Frame in flight: the time of its first copy, the copies the port took, the answers
//   taken. An answer is taken only while fewer answers than copies have come; any other
//   is dropped. The first answer acknowledges the frame: no copy is resent after it.
// - Answer time T: the longest time from first copy to answer among the frames answered
//   with one copy out (Karn's rule: the answer to a resent frame may belong to any copy).
//   Until such a frame, an answer to a resent frame gives an upper bound instead: its time
//   since the frame's first copy. Margin M = max(50 ms, T / 4).
// - Resend interval of a block or character: 200 ms while the board has not answered in
//   this sequence, then T + M, at least 200 ms and at most 800 ms (a board that stops
//   answering after slow answers still gives up within 8 s). A board answering in 210 ms
//   waits 262 ms: each frame after the first goes out once.
// - Draining: a frame answered while more copies are out than answers came holds the link
//   until every copy is answered, or until no answer has come for T + M. Answers meanwhile
//   count for that frame. Only then does the next frame leave (2 ms later), the sequence
//   end, the link test end or the read complete. A frame answered on all its copies moves
//   on 2 ms later. So a lost copy of a prompt board (T = 10 ms) costs one resend interval
//   and one quiet wait more than a clean frame: 200 + 60 ms.
// - Link test: an "R" confirms the link at once (host.LinkConfirmed()); the test ends when
//   drained, and an answer with another letter then says TMessage::NotReady.
// - Read: the dump is the answer. Bytes after it are a repeated dump answering another
//   copy of the request: dropped, each 513 of them one answer, each restarting the quiet
//   wait. A retry tick that finds dump bytes arrived since the tick before neither resends
//   nor cuts the dump: the first such tick of a request gives the dump one more interval
//   without spending a try, a later one spends it (so a read ends within 4.8 s). A tick
//   with no dump byte since the one before resends, and the dump starts afresh at byte 0
//   (what came of the dump before counts as that copy's answer). Bytes waiting before a
//   read starts are dropped.
//
// Write and Apply send a copy of the image taken when they start; edits made meanwhile go
// with the next write.
//
// Only one exchange is supervised at a time: every start is refused while Busy() (draining
// included). Exceptions raised by the port (WriteString, ReadChar) leave the handler that
// was running; a start whose first frame is refused is undone before the exception leaves.
// A new frame gets its budget and retry timer before its first write, so one the port
// refuses in the middle of a sequence is resent. A resend the port refuses uses up its try
// and raises nothing: the exchange goes on until its budget is spent and then gives up
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

namespace halvex {

// Copies a frame may be sent before the exchange gives up.
namespace link_budget {
constexpr std::uint8_t Test = 60;
constexpr std::uint8_t Read = 3;
constexpr std::uint8_t Frame = 10; // each block or character
} // namespace link_budget

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
    // Write of the 16 blocks (Button2Click's link part): false when Busy(). Progress
    // window shown at 0; each acknowledged block moves it to StepIndex * 16.
    bool StartWrite();
    // Upload of the 256 characters of `font` (checked beforehand by LoadMcm): false when
    // Busy(). Progress shown at 0, moved to StepIndex per acknowledged character; ends
    // with TMessage::FontsLoaded.
    bool StartFontUpload(const TFontSet& font);
    // The settings dialog's Apply: sends block 0, then block 15 once block 0 is
    // acknowledged, each with the block budget; no progress window. Ends with
    // TMessage::ChangesUpdated and the blink tick resumed. False (nothing sent) when Busy().
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
    // The frame in flight. Times are the timers' NowMs().
    struct TFlight {
        std::uint64_t FirstSentMs = 0; // when the port took its first copy
        int Copies = 0;                // copies the port took
        int Answers = 0;               // answers taken for it
    };

    void AfComPort1DataRecived(); // drains the port, runs the recognisers
    // The acknowledgement recogniser, one byte; true when it completes an acknowledgement.
    bool Recognise(std::uint8_t c);
    void Acknowledged();
    void TakeDumpByte(std::uint8_t c);
    bool CountAnswer();
    void TakeAnswer();
    void SampleAnswerTime(std::uint64_t took); // ms from the first copy to the first answer
    void Drained();
    void EndTest();
    void Timer1Timer(); // step dispatcher
    void Timer2Timer(); // retry, give-up, end of the quiet wait
    void Resend();
    void ApplyImageDump();
    void SendConfigBlock();
    void NextConfigBlock();
    void SendFontChar();
    void NextFontChar();

    void SendFrame(const std::string& frame, std::uint8_t budget, std::uint32_t intervalMs,
                   bool stepFrame);
    void CopySent();
    void RestartTimer2(std::uint64_t intervalMs);
    std::uint64_t QuietMs() const;      // T + M
    std::uint32_t FrameRetryMs() const; // resend interval of a block or character
    void DiscardInput();
    void ResetRecogniser();
    std::string FrameName() const; // for the trace
    int Budget() const;            // tries of a frame of the running exchange
    int Try() const;               // the try the frame in flight is at, from 1
    void BeginExchange(TExchangeKind exchange);
    void BeginSequence(TExchangeKind exchange, bool progress);
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

    std::optional<TExchangeKind> exchange_;
    std::uint64_t startMs_ = 0; // when the exchange began (NowMs)
    std::size_t dumpBytes_ = 0;
    bool hashSeen_ = false;      // the recogniser has seen "#" and waits for "+"
    std::uint8_t replyChar_ = 0; // letter of the current acknowledgement; 0 = none yet
    std::uint8_t stepIndex_ = 0;
    std::string lastFrame_;
    std::uint8_t retriesLeft_ = 0;
    TFlight flight_;
    std::optional<std::uint64_t> answerMs_; // answer time T, once the board has answered
    bool answerClean_ = false;              // T comes from frames answered on one copy
    bool draining_ = false;                 // the frame is answered; its other copies may be too
    bool dumpArriving_ = false;             // dump bytes came since the last retry tick
    bool dumpGrace_ = false;       // the request's arriving dump may have one more interval
    std::size_t surplusBytes_ = 0; // bytes after the dump (repeated dumps)
    char reply_ = 0;               // link test: the letter of its first answer
    std::string portError_;        // the error of the last resend the port refused
    TConfigImage sent_;            // the image a write or Apply sends, as it was at its start
    TFontSet font_{};
};

} // namespace halvex
