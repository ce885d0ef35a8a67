#include "link/OsdLink.h"

#include "link/LinkFrames.h"

namespace halvex {

namespace {

constexpr std::uint32_t kStepDelayMs = 2;  // acknowledgement to next frame
constexpr std::uint32_t kIdleTickMs = 200; // blink tick when no exchange runs
constexpr std::uint32_t kTestRetryMs = 100;
constexpr std::uint8_t kTestBudget = 60;
constexpr std::uint32_t kReadRetryMs = 800;
constexpr std::uint8_t kReadBudget = 3;
constexpr std::uint32_t kFrameRetryMs = 200; // blocks and characters
constexpr std::uint8_t kFrameBudget = 10;
constexpr std::uint8_t kLastBlock = kBlockCount - 1;
constexpr std::uint8_t kLastChar = kFontChars - 1;

} // namespace

TOsdLink::TOsdLink(TConfigImage& image, TLinkPort& port, TLinkTimer& timer1, TLinkTimer& timer2,
                   TLinkHost& host)
    : image_(image), port_(port), Timer1(timer1), Timer2(timer2), host_(host) {
    Timer1.SetEnabled(false);
    Timer1.SetInterval(kIdleTickMs);
    Timer2.SetEnabled(false);
    Timer2.SetInterval(kIdleTickMs);
    port_.OnDataRecived = [this](std::int32_t) { AfComPort1DataRecived(); };
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Timer2.OnTimer = [this] { Timer2Timer(); };
}

TOsdLink::~TOsdLink() {
    port_.OnDataRecived = nullptr;
    Timer1.OnTimer = nullptr;
    Timer2.OnTimer = nullptr;
}

bool TOsdLink::Busy() const {
    return readActive_ || writeActive_ || fontActive_ || Timer2.Enabled();
}

void TOsdLink::ResetRecogniser() {
    rxCount_ = kRxWaitHash;
    replyChar_ = 0;
}

// LastFrame := frame, written in one call; then the budget and the retry timer. Block and
// character frames also park Timer1 at the step delay, disabled, until their
// acknowledgement arms it.
// Timer2 is restarted for every new frame, so each frame waits its full interval before
// its first resend. Left running across frames, its tick would resend the frame in
// flight a few ms after it left, and the board's second acknowledgement would then be
// counted for the next frame (a write could end before its last block was confirmed).
void TOsdLink::SendFrame(const std::string& frame, std::uint8_t budget, std::uint32_t intervalMs,
                         bool stepFrame) {
    lastFrame_ = frame;
    port_.WriteString(lastFrame_);
    if (stepFrame) {
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(false);
    }
    retriesLeft_ = budget;
    Timer2.SetEnabled(false);
    Timer2.SetInterval(intervalMs);
    Timer2.SetEnabled(true);
}

// Ends the exchange without a message: flags cleared, both timers stopped, progress
// window closed.
void TOsdLink::EndExchange() {
    readActive_ = false;
    writeActive_ = false;
    fontActive_ = false;
    applying_ = false;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    host_.CloseProgress();
}

void TOsdLink::GiveUp() {
    EndExchange();
    host_.ShowMessage(TMessage::CommError);
    Finish(TExchangeOutcome::GaveUp);
}

void TOsdLink::Finish(TExchangeOutcome outcome, char reply) {
    TExchangeReport report;
    report.Kind = kind_;
    report.Outcome = outcome;
    report.Reply = reply;
    switch (kind_) {
    case TExchangeKind::Write:
        report.Total = static_cast<int>(kBlockCount);
        report.Confirmed = stepIndex_;
        break;
    case TExchangeKind::Apply:
        report.Total = 2;
        report.Confirmed = stepIndex_ == kLastBlock ? 1 : 0;
        break;
    case TExchangeKind::FontUpload:
        report.Total = static_cast<int>(kFontChars);
        report.Confirmed = stepIndex_;
        break;
    case TExchangeKind::LinkTest:
    case TExchangeKind::Read:
        break;
    }
    if (outcome == TExchangeOutcome::Done)
        report.Confirmed = report.Total;
    host_.ExchangeFinished(report);
}

// Runs the first send of a sequence. When the port refuses it, nothing supervises the
// exchange, so the start is undone (otherwise the link would stay busy for good) and the
// port's error goes on to the caller.
template <typename F> void TOsdLink::StartGuarded(F&& send) {
    try {
        send();
    } catch (...) {
        EndExchange();
        Finish(TExchangeOutcome::PortError);
        throw;
    }
}

void TOsdLink::StartTest() {
    if (!port_.IsOpen() || Busy())
        return;
    ResetRecogniser();
    kind_ = TExchangeKind::LinkTest;
    StartGuarded([this] { SendFrame(TestFrame(), kTestBudget, kTestRetryMs, false); });
}

bool TOsdLink::StartRead() {
    if (!port_.IsOpen() || Busy())
        return false;
    Timer1.SetEnabled(false);
    rxCount_ = 0;
    readActive_ = true;
    kind_ = TExchangeKind::Read;
    StartGuarded([this] { SendFrame(ReadFrame(), kReadBudget, kReadRetryMs, false); });
    return true;
}

// The common start of a block or character sequence: blinking stopped, a fresh
// recogniser, the sequence flag, StepIndex 0, and (for a write or upload) the progress
// window at 0.
void TOsdLink::BeginSequence(bool& flag, bool progress) {
    Timer1.SetEnabled(false);
    ResetRecogniser();
    flag = true;
    stepIndex_ = 0;
    if (progress) {
        host_.SetProgress(0);
        host_.ShowProgress();
    }
}

bool TOsdLink::StartWrite() {
    if (Busy())
        return false;
    applying_ = false;
    kind_ = TExchangeKind::Write;
    BeginSequence(writeActive_, true);
    StartGuarded([this] { SendConfigBlock(); });
    return true;
}

bool TOsdLink::StartFontUpload(const TFontSet& font) {
    if (Busy())
        return false;
    font_ = font;
    kind_ = TExchangeKind::FontUpload;
    BeginSequence(fontActive_, true);
    StartGuarded([this] { SendFontChar(); });
    return true;
}

bool TOsdLink::StartApply() {
    if (Busy())
        return false;
    applying_ = true;
    kind_ = TExchangeKind::Apply;
    BeginSequence(writeActive_, false);
    StartGuarded([this] { SendConfigBlock(); });
    return true;
}

void TOsdLink::PortClosed() {
    ResetRecogniser();
    if (Busy()) {
        EndExchange();
        Finish(TExchangeOutcome::Interrupted);
    } else
        Timer1.SetEnabled(false); // the blink tick
}

void TOsdLink::AfComPort1DataRecived() {
    while (port_.InBufUsed() > 0) {
        const std::uint8_t c = port_.ReadChar();
        if (readActive_) {
            // Dump data straight into the image and the check byte after it.
            if (rxCount_ < ofs::DumpSize) {
                image_.Data()[rxCount_] = c;
                ++rxCount_;
            }
            if (rxCount_ == ofs::DumpSize) {
                // The answer is complete: a resend could only cancel or delay the
                // completion, so the retry timer stops here.
                Timer2.SetEnabled(false);
                Timer1.SetEnabled(true);
            }
        } else {
            if (rxCount_ == kRxHashSeen && c == '+')
                rxCount_ = kRxAckDone;
            if (rxCount_ == kRxHashSeen && replyChar_ == 0)
                replyChar_ = c;
            if (c == '#') {
                rxCount_ = kRxHashSeen;
                replyChar_ = 0;
            }
        }
    }

    if (rxCount_ != kRxAckDone)
        return;
    // The link test is answered (a later acknowledgement finds Timer2 stopped).
    const bool testAnswered = !readActive_ && !writeActive_ && !fontActive_ && Timer2.Enabled();
    const char reply = static_cast<char>(replyChar_);
    if (testAnswered)
        Timer2.SetEnabled(false);
    if (writeActive_ || fontActive_) {
        rxCount_ = kRxHashSeen;
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(true);
        return;
    }
    if (replyChar_ == 'R' && !host_.FontButtonEnabled()) {
        replyChar_ = kReplyActedOn;
        rxCount_ = kRxHashSeen;
        host_.LinkConfirmed();
    }
    if (testAnswered)
        Finish(TExchangeOutcome::Done, reply);
}

void TOsdLink::Timer1Timer() {
    if (readActive_) {
        if (rxCount_ < ofs::DumpSize) {
            Timer1.SetEnabled(false); // not armed by a complete dump: keep waiting
            return;
        }
        ApplyImageDump();
    } else if (writeActive_) {
        Timer1.SetEnabled(false);
        NextConfigBlock();
    } else if (fontActive_) {
        Timer1.SetEnabled(false);
        NextFontChar();
    } else {
        host_.BlinkTick();
    }
}

void TOsdLink::Timer2Timer() {
    // The port went away under the exchange (another port chosen in the selector failed
    // to open, say): nothing can be resent, so give up once instead of raising a write
    // error for every remaining try.
    if (!port_.IsOpen()) {
        GiveUp();
        return;
    }
    if (retriesLeft_ > 0)
        --retriesLeft_;
    if (retriesLeft_ > 0) {
        port_.WriteString(lastFrame_);
        // A pending step is cancelled; the answer to the resent frame arms it again.
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(false);
        return;
    }
    GiveUp();
}

void TOsdLink::ApplyImageDump() {
    readActive_ = false;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    if (!image_.DumpCheckMatches()) {
        host_.ShowMessage(TMessage::ReadError);
        Finish(TExchangeOutcome::BadDump);
        return;
    }
    host_.DumpAccepted();
    Timer1.SetInterval(kIdleTickMs);
    Timer1.SetEnabled(true);
    Finish(TExchangeOutcome::Done);
}

void TOsdLink::SendConfigBlock() {
    SendFrame(BlockFrame(image_, stepIndex_), kFrameBudget, kFrameRetryMs, true);
}

void TOsdLink::NextConfigBlock() {
    if (applying_) {
        // Apply sends block 0 (the header) and block 15 (the user name) only.
        if (stepIndex_ != kLastBlock) {
            stepIndex_ = kLastBlock;
            SendConfigBlock();
            return;
        }
        writeActive_ = false;
        applying_ = false;
        Timer2.SetEnabled(false);
        Timer1.SetInterval(kIdleTickMs);
        Timer1.SetEnabled(true);
        host_.ShowMessage(TMessage::ChangesUpdated);
        Finish(TExchangeOutcome::Done);
        return;
    }
    if (stepIndex_ < kLastBlock) {
        ++stepIndex_;
        host_.SetProgress(stepIndex_ * 16);
        // Timer1 stays disabled until the acknowledgement arms it. When the port refuses
        // the frame, the retry timer resends it (LastFrame is already this block).
        SendConfigBlock();
        return;
    }
    writeActive_ = false;
    Timer2.SetEnabled(false);
    host_.CloseProgress();
    Timer1.SetInterval(kIdleTickMs);
    Timer1.SetEnabled(true);
    Finish(TExchangeOutcome::Done);
}

void TOsdLink::SendFontChar() {
    SendFrame(CharFrame(stepIndex_, font_[stepIndex_]), kFrameBudget, kFrameRetryMs, true);
}

void TOsdLink::NextFontChar() {
    if (stepIndex_ < kLastChar) {
        ++stepIndex_;
        host_.SetProgress(stepIndex_);
        SendFontChar();
        return;
    }
    Timer2.SetEnabled(false);
    fontActive_ = false;
    host_.CloseProgress();
    host_.ShowMessage(TMessage::FontsLoaded);
    Finish(TExchangeOutcome::Done);
}

} // namespace halvex
