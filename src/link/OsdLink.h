// The board link: link state, reply recognition and the supervision of every exchange
// (link test, configuration read, configuration write, settings Apply, font upload).
//
// Everything runs on the main thread. The constructor wires port.OnDataRecived to the
// receive handler, timer1.OnTimer to the step dispatcher and timer2.OnTimer to the retry
// handler, and sets both timers to 200 ms, disabled; the destructor unwires them.
//
// Timer1 is the step timer: 2 ms after an acknowledgement it sends the next block or
// character; after a complete dump it runs the read completion; with no exchange running
// it is the editor's 200 ms blink tick (host.BlinkTick()). Timer2 is the retry timer:
// it resends the last frame until the exchange's budget is spent, then gives up with
// TMessage::CommError.
//
// Budgets: link test 60 frames 100 ms apart (give-up after 6.0 s); read 3 frames 800 ms
// apart (2.4 s); each block or character 10 frames 200 ms apart (2.0 s).
//
// An acknowledgement counts only for the frame in flight. A board slower than the resend
// interval answers the first frame and its resent copy; the copies of the previous frame
// still unanswered when the link moves on (at most one: an answer later than 400 ms is
// taken as lost) are discarded when their acknowledgements come. A real acknowledgement
// discarded that way costs one resend, which the board accepts.
//
// Write and Apply send a copy of the image taken when they start; edits made meanwhile go
// with the next write. A resent read request starts the dump afresh, and bytes waiting
// before a read starts are dropped.
//
// Only one exchange is supervised at a time: every start is refused while Busy().
// Exceptions raised by the port (WriteString, ReadChar) leave the handler that was
// running; a start whose first frame is refused is undone before the exception leaves.
// A new frame gets its budget and retry timer before its first write, so one the port
// refuses in the middle of a sequence is resent; a refused resend gives up at once
// (one "Communication ERROR !" instead of an error per remaining try).
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

// The exchange the link runs.
enum class TLinkExchange {
    Idle,
    Test,       // link test: the test frame until an acknowledgement
    Read,       // read request: every received byte is dump data
    Write,      // the 16 configuration blocks
    Apply,      // the settings Apply: blocks 0 and 15
    FontUpload, // the 256 characters
};

class TOsdLink {
public:
    TOsdLink(TConfigImage& image, TLinkPort& port, TLinkTimer& timer1, TLinkTimer& timer2,
             TLinkHost& host);
    ~TOsdLink();
    TOsdLink(const TOsdLink&) = delete;
    TOsdLink& operator=(const TOsdLink&) = delete;

    TLinkExchange Exchange() const { return exchange_; }
    // An exchange is supervised.
    bool Busy() const { return exchange_ != TLinkExchange::Idle; }

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
    // The acknowledgement recogniser: "#", any bytes, "+".
    enum class TAck { WaitHash, HashSeen, Complete };

    void AfComPort1DataRecived(); // drains the port, runs the recognisers
    void Recognise(std::uint8_t c);
    void Timer1Timer(); // step dispatcher
    void Timer2Timer(); // retry and give-up
    void ApplyImageDump();
    void SendConfigBlock();
    void NextConfigBlock();
    void SendFontChar();
    void NextFontChar();

    void SendFrame(const std::string& frame, std::uint8_t budget, std::uint32_t intervalMs,
                   bool stepFrame);
    void DiscardInput();
    void ResetRecogniser();
    void BeginSequence(TLinkExchange exchange, bool progress);
    void EndExchange();
    void GiveUp();
    // Tells the host how the exchange `ended` ended.
    void Finish(TLinkExchange ended, TExchangeOutcome outcome, char reply = 0);
    template <typename F> void StartGuarded(F&& send);

    TConfigImage& image_;
    TLinkPort& port_;
    TLinkTimer& Timer1;
    TLinkTimer& Timer2;
    TLinkHost& host_;

    TLinkExchange exchange_ = TLinkExchange::Idle;
    std::size_t dumpBytes_ = 0;
    TAck ack_ = TAck::WaitHash;
    std::uint8_t replyChar_ = 0; // letter of the current acknowledgement; 0 = none yet
    std::uint8_t stepIndex_ = 0;
    std::string lastFrame_;
    std::uint8_t retriesLeft_ = 0;
    int copies_ = 0;    // copies of the frame in flight written to the port
    int answers_ = 0;   // acknowledgements taken for it
    int late_ = 0;      // acknowledgements still due to the frame before it, to discard
    TConfigImage sent_; // the image a write or Apply sends, as it was at its start
    TFontSet font_{};
};

} // namespace halvex
