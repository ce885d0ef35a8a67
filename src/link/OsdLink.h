// The board link: link state, reply recognition and the supervision of every exchange
// (link test, configuration read, configuration write, settings Apply, font upload).
//
// Everything runs on the main thread. The constructor wires port.OnDataRecived to
// AfComPort1DataRecived, timer1.OnTimer to Timer1Timer and timer2.OnTimer to Timer2Timer,
// and sets both timers to 200 ms, disabled; the destructor unwires them.
//
// Timer1 is the step timer: 2 ms after an acknowledgement it sends the next block or
// character; after a complete dump it runs the read completion; with no exchange running
// it is the editor's 200 ms blink tick (host.BlinkTick()). Timer2 is the retry timer:
// it resends LastFrame until the exchange's budget is spent, then gives up with
// TMessage::CommError.
//
// Budgets: link test 60 frames 100 ms apart (give-up after 6.0 s); read 3 frames 800 ms
// apart (2.4 s); each block or character 10 frames 200 ms apart (2.0 s).
//
// Only one exchange is supervised at a time: every start is refused while Busy().
// Exceptions raised by the port (WriteString, ReadChar) leave the handler that was
// running; a start whose first frame is refused is undone before the exception leaves.
#pragma once

#include "config/ConfigImage.h"
#include "link/FontFile.h"
#include "link/LinkHost.h"
#include "link/LinkPort.h"
#include "link/LinkTimer.h"

#include <cstdint>
#include <string>

namespace halvex {

// Values of RxCount outside a read: the acknowledgement recogniser's state.
constexpr std::uint16_t kRxWaitHash = 0;     // waiting for "#" (any value but 1000 and 1001)
constexpr std::uint16_t kRxHashSeen = 1000;  // "#" seen, waiting for "+"
constexpr std::uint16_t kRxAckDone = 1001;   // acknowledgement complete
constexpr std::uint8_t kReplyActedOn = 0xFF; // ReplyChar after an "R" confirmed the link

class TOsdLink {
public:
    TOsdLink(TConfigImage& image, TLinkPort& port, TLinkTimer& timer1, TLinkTimer& timer2,
             TLinkHost& host);
    ~TOsdLink();
    TOsdLink(const TOsdLink&) = delete;
    TOsdLink& operator=(const TOsdLink&) = delete;

    // An exchange is supervised: a sequence flag is set or Timer2 runs.
    bool Busy() const;

    // Link test (Button8Click): nothing when the port is closed or Busy(). Sends the test
    // frame; an acknowledgement stops the retries, and one with the letter "R" while the
    // font button is disabled confirms the link (host.LinkConfirmed()).
    void StartTest();
    // Read request (Button1Click's link part): false, nothing done, when the port is
    // closed or Busy(). Otherwise stops Timer1, RxCount = 0, ReadActive, sends the read
    // request. The window's own reset (hiding the editor) should run only when
    // !Busy(), so that it never stops a running exchange's Timer1.
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
    // Every exchange ends with host.ExchangeFinished(), once.
    void PortClosed();

    // Receive handler: drains the port (InBufUsed / ReadChar) and runs the recognisers.
    void AfComPort1DataRecived();
    // Step dispatcher (Timer1).
    void Timer1Timer();
    // Retry and give-up (Timer2).
    void Timer2Timer();

    // Read completion: verifies the dump's check byte, then host.DumpAccepted() and the
    // 200 ms blink tick, or TMessage::ReadError.
    void ApplyImageDump();
    // Builds and sends the frame of block StepIndex (10 x 200 ms budget).
    void SendConfigBlock();
    // After block StepIndex was acknowledged: the next block, or the end of the write.
    void NextConfigBlock();
    // Builds and sends the frame of character StepIndex (10 x 200 ms budget).
    void SendFontChar();
    // After character StepIndex was acknowledged: the next character, or the end.
    void NextFontChar();

    // Link state.
    bool ReadActive() const { return readActive_; }
    bool WriteActive() const { return writeActive_; }
    bool FontActive() const { return fontActive_; }
    // The write running is the settings Apply (blocks 0 and 15 only).
    bool ApplyActive() const { return writeActive_ && applying_; }
    std::uint16_t RxCount() const { return rxCount_; }
    std::uint8_t ReplyChar() const { return replyChar_; }
    std::uint8_t StepIndex() const { return stepIndex_; }
    const std::string& LastFrame() const { return lastFrame_; }
    std::uint8_t RetriesLeft() const { return retriesLeft_; }

private:
    void SendFrame(const std::string& frame, std::uint8_t budget, std::uint32_t intervalMs,
                   bool stepFrame);
    void ResetRecogniser();
    void BeginSequence(bool& flag, bool progress);
    void EndExchange();
    void GiveUp();
    // Tells the host how the running exchange (kind_) ended.
    void Finish(TExchangeOutcome outcome, char reply = 0);
    template <typename F> void StartGuarded(F&& send);

    TConfigImage& image_;
    TLinkPort& port_;
    TLinkTimer& Timer1;
    TLinkTimer& Timer2;
    TLinkHost& host_;

    bool readActive_ = false;
    bool writeActive_ = false;
    bool fontActive_ = false;
    bool applying_ = false;
    TExchangeKind kind_ = TExchangeKind::LinkTest; // the exchange started last
    std::uint16_t rxCount_ = kRxWaitHash;
    std::uint8_t replyChar_ = 0;
    std::uint8_t stepIndex_ = 0;
    std::string lastFrame_;
    std::uint8_t retriesLeft_ = 0;
    TFontSet font_{};
};

} // namespace halvex
