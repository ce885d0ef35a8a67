#include "link/OsdLink.h"

#include "link/LinkFrames.h"

#include <algorithm>

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
constexpr std::uint8_t kReplyActedOn = 0xFF; // the letter after an "R" confirmed the link
// An acknowledgement later than this after its frame is not expected: of the unanswered
// copies of a frame, only those sent this recently can still be answered.
constexpr std::uint32_t kLateAnswerMs = 400;
constexpr int kLateCopies = kLateAnswerMs / kFrameRetryMs - 1;

TExchangeKind ReportKind(TLinkExchange exchange) {
    switch (exchange) {
    case TLinkExchange::Read:
        return TExchangeKind::Read;
    case TLinkExchange::Write:
        return TExchangeKind::Write;
    case TLinkExchange::Apply:
        return TExchangeKind::Apply;
    case TLinkExchange::FontUpload:
        return TExchangeKind::FontUpload;
    case TLinkExchange::Idle:
    case TLinkExchange::Test:
        break;
    }
    return TExchangeKind::LinkTest;
}

// Block and character sequences: an acknowledgement arms the step to the next frame.
bool Stepping(TLinkExchange exchange) {
    return exchange == TLinkExchange::Write || exchange == TLinkExchange::Apply ||
           exchange == TLinkExchange::FontUpload;
}

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

void TOsdLink::ResetRecogniser() {
    ack_ = TAck::WaitHash;
    replyChar_ = 0;
}

// LastFrame := frame, with its budget and the retry timer, then written in one call.
// Block and character frames also park Timer1 at the step delay, disabled, until their
// acknowledgement arms it.
// Timer2 is restarted for every new frame, so each frame waits its full interval before
// its first resend. Left running across frames, its tick would resend the frame in
// flight a few ms after it left.
// The budget and the timer come before the write: a frame the port refuses is resent by
// the retry timer with its own full budget.
void TOsdLink::SendFrame(const std::string& frame, std::uint8_t budget, std::uint32_t intervalMs,
                         bool stepFrame) {
    if (stepFrame) {
        // The copies of the block or character before (also one that ended the sequence
        // before) still unanswered: their acknowledgements are not this frame's.
        late_ = std::clamp(copies_ - answers_, 0, kLateCopies);
        copies_ = 0;
        answers_ = 0;
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(false);
    }
    lastFrame_ = frame;
    retriesLeft_ = budget;
    Timer2.SetEnabled(false);
    Timer2.SetInterval(intervalMs);
    Timer2.SetEnabled(true);
    port_.WriteString(lastFrame_);
    if (stepFrame)
        ++copies_;
}

// Drops the received bytes waiting in the port.
void TOsdLink::DiscardInput() {
    while (port_.InBufUsed() > 0)
        port_.ReadChar();
}

// Ends the exchange without a message: both timers stopped, progress window closed. The
// frame given up, refused or cut off by a close gets no late acknowledgement.
void TOsdLink::EndExchange() {
    exchange_ = TLinkExchange::Idle;
    copies_ = 0;
    answers_ = 0;
    late_ = 0;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    host_.CloseProgress();
}

void TOsdLink::GiveUp() {
    const TLinkExchange ended = exchange_;
    EndExchange();
    host_.ShowMessage(TMessage::CommError);
    Finish(ended, TExchangeOutcome::GaveUp);
}

void TOsdLink::Finish(TLinkExchange ended, TExchangeOutcome outcome, char reply) {
    TExchangeReport report;
    report.Kind = ReportKind(ended);
    report.Outcome = outcome;
    report.Reply = reply;
    switch (ended) {
    case TLinkExchange::Write:
        report.Total = static_cast<int>(kBlockCount);
        report.Confirmed = stepIndex_;
        break;
    case TLinkExchange::Apply:
        report.Total = 2;
        report.Confirmed = stepIndex_ == kLastBlock ? 1 : 0;
        break;
    case TLinkExchange::FontUpload:
        report.Total = static_cast<int>(kFontChars);
        report.Confirmed = stepIndex_;
        break;
    case TLinkExchange::Idle:
    case TLinkExchange::Test:
    case TLinkExchange::Read:
        break;
    }
    if (outcome == TExchangeOutcome::Done)
        report.Confirmed = report.Total;
    host_.ExchangeFinished(report);
}

// Runs the first send of an exchange. When the port refuses it, nothing supervises the
// exchange, so the start is undone (otherwise the link would stay busy for good) and the
// port's error goes on to the caller.
template <typename F> void TOsdLink::StartGuarded(F&& send) {
    try {
        send();
    } catch (...) {
        const TLinkExchange ended = exchange_;
        EndExchange();
        Finish(ended, TExchangeOutcome::PortError);
        throw;
    }
}

void TOsdLink::StartTest() {
    if (!port_.IsOpen() || Busy())
        return;
    ResetRecogniser();
    exchange_ = TLinkExchange::Test;
    StartGuarded([this] { SendFrame(TestFrame(), kTestBudget, kTestRetryMs, false); });
}

bool TOsdLink::StartRead() {
    if (!port_.IsOpen() || Busy())
        return false;
    Timer1.SetEnabled(false);
    ResetRecogniser(); // the received bytes are dump data until the read ends
    dumpBytes_ = 0;
    exchange_ = TLinkExchange::Read;
    StartGuarded([this] {
        DiscardInput(); // whatever came before the request is no part of the dump
        SendFrame(ReadFrame(), kReadBudget, kReadRetryMs, false);
    });
    return true;
}

// The common start of a block or character sequence: blinking stopped, a fresh
// recogniser, StepIndex 0, and (for a write or upload) the progress window at 0.
void TOsdLink::BeginSequence(TLinkExchange exchange, bool progress) {
    Timer1.SetEnabled(false);
    ResetRecogniser();
    exchange_ = exchange;
    stepIndex_ = 0;
    if (progress) {
        host_.SetProgress(0);
        host_.ShowProgress();
    }
}

bool TOsdLink::StartWrite() {
    if (Busy())
        return false;
    sent_ = image_;
    BeginSequence(TLinkExchange::Write, true);
    StartGuarded([this] { SendConfigBlock(); });
    return true;
}

bool TOsdLink::StartFontUpload(const TFontSet& font) {
    if (Busy())
        return false;
    font_ = font;
    BeginSequence(TLinkExchange::FontUpload, true);
    StartGuarded([this] { SendFontChar(); });
    return true;
}

bool TOsdLink::StartApply() {
    if (Busy())
        return false;
    sent_ = image_;
    BeginSequence(TLinkExchange::Apply, false);
    StartGuarded([this] { SendConfigBlock(); });
    return true;
}

std::optional<TMessage> TOsdLink::PortClosed() {
    ResetRecogniser();
    if (!Busy()) {
        Timer1.SetEnabled(false); // the blink tick
        return std::nullopt;
    }
    const TLinkExchange ended = exchange_;
    EndExchange();
    Finish(ended, TExchangeOutcome::Interrupted);
    switch (ended) {
    case TLinkExchange::Write:
    case TLinkExchange::Apply:
        return TMessage::WriteInterrupted;
    case TLinkExchange::FontUpload:
        return TMessage::FontUploadInterrupted;
    case TLinkExchange::Idle:
    case TLinkExchange::Test:
    case TLinkExchange::Read:
        break;
    }
    return std::nullopt;
}

// The acknowledgement recogniser, one byte. A "#" starts afresh; the first byte after it
// (unless "+") is the reply letter; "+" completes the acknowledgement. A completed one
// stays complete until the next "#". A late acknowledgement of the frame before is
// dropped and leaves the "#"-seen state, as a taken one does after its step is armed.
void TOsdLink::Recognise(std::uint8_t c) {
    if (c == '#') {
        ack_ = TAck::HashSeen;
        replyChar_ = 0;
    } else if (ack_ == TAck::HashSeen) {
        if (c != '+') {
            if (replyChar_ == 0)
                replyChar_ = c;
        } else if (late_ > 0) {
            --late_;
        } else {
            ack_ = TAck::Complete;
            ++answers_;
        }
    }
}

void TOsdLink::AfComPort1DataRecived() {
    while (port_.InBufUsed() > 0) {
        const std::uint8_t c = port_.ReadChar();
        if (exchange_ != TLinkExchange::Read) {
            Recognise(c);
            continue;
        }
        // Dump data straight into the image and the check byte after it.
        if (dumpBytes_ < ofs::DumpSize)
            image_.Data()[dumpBytes_++] = c;
        if (dumpBytes_ == ofs::DumpSize) {
            // The answer is complete: a resend could only cancel or delay the completion,
            // so the retry timer stops here.
            Timer2.SetEnabled(false);
            Timer1.SetEnabled(true);
        }
    }

    if (ack_ != TAck::Complete)
        return;
    if (Stepping(exchange_)) {
        // The frame in flight is acknowledged; the next one leaves on the step tick. The
        // recogniser stays in the "#"-seen state, so a further "+" counts as the next
        // acknowledgement.
        ack_ = TAck::HashSeen;
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(true);
        return;
    }
    const bool testAnswered = exchange_ == TLinkExchange::Test;
    const char reply = static_cast<char>(replyChar_);
    if (testAnswered) {
        Timer2.SetEnabled(false);
        exchange_ = TLinkExchange::Idle;
    }
    if (replyChar_ == 'R' && !host_.FontButtonEnabled()) {
        replyChar_ = kReplyActedOn;
        ack_ = TAck::HashSeen;
        host_.LinkConfirmed();
    }
    if (!testAnswered)
        return;
    // A letter other than "R": the board answered but is not ready. An acknowledgement
    // without a letter (a late one of an earlier exchange, say) stops the test quietly.
    if (reply != 0 && reply != 'R')
        host_.ShowMessage(TMessage::NotReady);
    Finish(TLinkExchange::Test, TExchangeOutcome::Done, reply);
}

void TOsdLink::Timer1Timer() {
    switch (exchange_) {
    case TLinkExchange::Read:
        if (dumpBytes_ < ofs::DumpSize) {
            Timer1.SetEnabled(false); // not armed by a complete dump: keep waiting
            return;
        }
        ApplyImageDump();
        break;
    case TLinkExchange::Write:
    case TLinkExchange::Apply:
        Timer1.SetEnabled(false);
        NextConfigBlock();
        break;
    case TLinkExchange::FontUpload:
        Timer1.SetEnabled(false);
        NextFontChar();
        break;
    case TLinkExchange::Idle:
    case TLinkExchange::Test:
        host_.BlinkTick();
        break;
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
    if (retriesLeft_ == 0) {
        GiveUp();
        return;
    }
    try {
        if (exchange_ == TLinkExchange::Read) {
            // The board sends the whole dump again: the part of the first one that came
            // is no beginning for it.
            DiscardInput();
            dumpBytes_ = 0;
        }
        port_.WriteString(lastFrame_);
    } catch (...) {
        // A port that refuses one resend refuses the others: one give-up, not an error
        // report for every remaining try.
        GiveUp();
        return;
    }
    if (Stepping(exchange_))
        ++copies_;
    // A pending step is cancelled; the answer to the resent frame arms it again.
    Timer1.SetInterval(kStepDelayMs);
    Timer1.SetEnabled(false);
}

void TOsdLink::ApplyImageDump() {
    exchange_ = TLinkExchange::Idle;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    if (!image_.DumpCheckMatches()) {
        host_.ShowMessage(TMessage::ReadError);
        Finish(TLinkExchange::Read, TExchangeOutcome::BadDump);
        return;
    }
    host_.DumpAccepted();
    Timer1.SetInterval(kIdleTickMs);
    Timer1.SetEnabled(true);
    Finish(TLinkExchange::Read, TExchangeOutcome::Done);
}

void TOsdLink::SendConfigBlock() {
    SendFrame(BlockFrame(sent_, stepIndex_), kFrameBudget, kFrameRetryMs, true);
}

void TOsdLink::NextConfigBlock() {
    if (exchange_ == TLinkExchange::Apply) {
        // Apply sends block 0 (the header) and block 15 (the user name) only.
        if (stepIndex_ != kLastBlock) {
            stepIndex_ = kLastBlock;
            SendConfigBlock();
            return;
        }
        exchange_ = TLinkExchange::Idle;
        Timer2.SetEnabled(false);
        Timer1.SetInterval(kIdleTickMs);
        Timer1.SetEnabled(true);
        host_.ShowMessage(TMessage::ChangesUpdated);
        Finish(TLinkExchange::Apply, TExchangeOutcome::Done);
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
    exchange_ = TLinkExchange::Idle;
    Timer2.SetEnabled(false);
    host_.CloseProgress();
    Timer1.SetInterval(kIdleTickMs);
    Timer1.SetEnabled(true);
    Finish(TLinkExchange::Write, TExchangeOutcome::Done);
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
    exchange_ = TLinkExchange::Idle;
    Timer2.SetEnabled(false);
    host_.CloseProgress();
    host_.ShowMessage(TMessage::FontsLoaded);
    Finish(TLinkExchange::FontUpload, TExchangeOutcome::Done);
}

} // namespace halvex
