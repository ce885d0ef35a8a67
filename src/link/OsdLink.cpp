#include "link/OsdLink.h"

#include "link/LinkFrames.h"
#include "link/LinkLog.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>
#include <utility>

namespace halvex {

namespace {

constexpr std::uint32_t kStepDelayMs = 2;  // acknowledgement to next frame
constexpr std::uint32_t kIdleTickMs = 200; // blink tick when no exchange runs
constexpr std::uint32_t kTestRetryMs = 100;
constexpr std::uint32_t kReadRetryMs = 800;
constexpr std::uint32_t kFrameRetryMs = 200;     // blocks and characters ...
constexpr std::uint32_t kFrameRetryMaxMs = 800;  // ... lengthened by slow answers up to this
constexpr std::uint64_t kMinAnswerMarginMs = 50; // scheduling jitter around an answer time
constexpr std::uint8_t kLastBlock = kBlockCount - 1;
constexpr std::uint8_t kLastChar = kFontChars - 1;
constexpr std::uint8_t kReplyActedOn = 0xFF; // the letter after an "R" confirmed the link

// Names in the trace, in the order of TExchangeKind and TExchangeOutcome.
constexpr const char* kExchangeNames[] = {"link test", "read", "write", "apply", "font upload"};
constexpr const char* kOutcomeNames[] = {"done", "gave up", "bad dump", "interrupted",
                                         "port error"};

const char* ExchangeName(TExchangeKind exchange) {
    return kExchangeNames[static_cast<int>(exchange)];
}

const char* OutcomeName(TExchangeOutcome outcome) {
    return kOutcomeNames[static_cast<int>(outcome)];
}

unsigned long long Ull(std::uint64_t n) {
    return static_cast<unsigned long long>(n);
}

// A frame's budget, in the order of TExchangeKind: link test, read, write, Apply, upload.
constexpr std::uint8_t kBudgets[] = {link_budget::Test, link_budget::Read, link_budget::Frame,
                                     link_budget::Frame, link_budget::Frame};

std::uint8_t BudgetOf(TExchangeKind exchange) {
    return kBudgets[static_cast<int>(exchange)];
}

} // namespace

TOsdLink::TOsdLink(TConfigImage& image, TLinkPort& port, TLinkTimer& timer1, TLinkTimer& timer2,
                   TLinkHost& host)
    : image_(image), port_(port), Timer1(timer1), Timer2(timer2), host_(host) {
    Timer1.SetEnabled(false);
    Timer1.SetInterval(kIdleTickMs);
    Timer2.SetEnabled(false);
    Timer2.SetInterval(kIdleTickMs);
    port_.OnDataRecived = [this](std::int32_t) {
        host_.RunHandler(TLinkHandler::DataReceived, [this] { AfComPort1DataRecived(); });
    };
    Timer1.OnTimer = [this] {
        host_.RunHandler(TLinkHandler::StepTick, [this] { Timer1Timer(); });
    };
    Timer2.OnTimer = [this] {
        host_.RunHandler(TLinkHandler::RetryTick, [this] { Timer2Timer(); });
    };
}

TOsdLink::~TOsdLink() {
    port_.OnDataRecived = nullptr;
    Timer1.OnTimer = nullptr;
    Timer2.OnTimer = nullptr;
}

// The frame in flight as the trace names it: "block 3", "character 200", "read request".
std::string TOsdLink::FrameName() const {
    switch (exchange_.value_or(TExchangeKind::LinkTest)) {
    case TExchangeKind::LinkTest:
        return "test frame";
    case TExchangeKind::Read:
        return "read request";
    case TExchangeKind::Write:
    case TExchangeKind::Apply:
        return "block " + std::to_string(stepIndex_);
    case TExchangeKind::FontUpload:
        return "character " + std::to_string(stepIndex_);
    }
    return {};
}

int TOsdLink::Budget() const {
    return BudgetOf(exchange_.value_or(TExchangeKind::LinkTest));
}

// The try the frame in flight is at, counted from 1 (one past the budget once it is spent).
int TOsdLink::Try() const {
    return Budget() - retriesLeft_ + 1;
}

void TOsdLink::ResetRecogniser() {
    hashSeen_ = false;
    replyChar_ = 0;
}

// LastFrame := frame, with its budget and the retry timer, then written in one call.
// Block and character frames also park Timer1 at the step delay, disabled, until their
// answer arms it.
// Timer2 is restarted for every new frame, so each frame waits its full interval before
// its first resend.
// The budget and the timer come before the write: a frame the port refuses is resent by
// the retry timer with its own full budget.
void TOsdLink::SendFrame(const std::string& frame, std::uint8_t budget, std::uint32_t intervalMs,
                         bool stepFrame) {
    if (stepFrame) {
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(false);
    }
    flight_ = {};
    draining_ = false;
    lastFrame_ = frame;
    retriesLeft_ = budget;
    RestartTimer2(intervalMs);
    port_.WriteString(lastFrame_);
    CopySent();
    qCDebug(lcLink, "%s sent (try 1 of %d, resent after %u ms without an answer)",
            FrameName().c_str(), budget, intervalMs);
}

// The port took a copy of LastFrame.
void TOsdLink::CopySent() {
    if (flight_.Copies++ == 0)
        flight_.FirstSentMs = Timer2.NowMs();
    dumpGrace_ = true;
}

// Timer2 runs `intervalMs` from now (a period already running starts again).
void TOsdLink::RestartTimer2(std::uint64_t intervalMs) {
    Timer2.SetEnabled(false);
    Timer2.SetInterval(static_cast<std::uint32_t>(std::min<std::uint64_t>(intervalMs, UINT32_MAX)));
    Timer2.SetEnabled(true);
}

std::uint64_t TOsdLink::QuietMs() const {
    const std::uint64_t t = answerMs_.value_or(0);
    return t + std::max(kMinAnswerMarginMs, t / 4);
}

std::uint32_t TOsdLink::FrameRetryMs() const {
    if (!answerMs_)
        return kFrameRetryMs;
    return static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(QuietMs(), kFrameRetryMs, kFrameRetryMaxMs));
}

// Drops the received bytes waiting in the port.
void TOsdLink::DiscardInput() {
    while (port_.InBufUsed() > 0)
        port_.ReadChar();
}

// Ends the exchange without a message: both timers stopped, progress window closed.
void TOsdLink::EndExchange() {
    exchange_.reset();
    flight_ = {};
    draining_ = false;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    host_.CloseProgress();
}

void TOsdLink::GiveUp() {
    const TExchangeKind ended = *exchange_;
    qCDebug(lcLink, "%s: giving up after %d tries%s%s", FrameName().c_str(),
            std::min(Try(), Budget()),
            portError_.empty() ? "" : "; the port refused: ", portError_.c_str());
    std::string portError = std::move(portError_);
    EndExchange();
    Finish(ended, TExchangeOutcome::GaveUp, TMessage::CommError, 0, std::move(portError));
}

void TOsdLink::Finish(TExchangeKind ended, TExchangeOutcome outcome,
                      std::optional<TMessage> message, char reply, std::string portError) {
    TExchangeReport report;
    report.Kind = ended;
    report.Outcome = outcome;
    report.Budget = BudgetOf(ended);
    report.Ms = Timer2.NowMs() - startMs_;
    report.Reply = reply;
    report.PortError = std::move(portError);
    switch (ended) {
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
    qCDebug(lcLink, "%s %s in %llu ms (%d of %d confirmed)", ExchangeName(ended),
            OutcomeName(outcome), Ull(report.Ms), report.Confirmed, report.Total);
    if (message)
        host_.ShowMessage(*message);
    host_.ExchangeFinished(report);
}

// Runs the first send of an exchange. When the port refuses it, nothing supervises the
// exchange, so the start is undone (otherwise the link would stay busy for good) and the
// port's error goes on to the caller.
template <typename F> void TOsdLink::StartGuarded(F&& send) {
    try {
        send();
    } catch (...) {
        const TExchangeKind ended = *exchange_;
        EndExchange();
        Finish(ended, TExchangeOutcome::PortError);
        throw;
    }
}

// A new exchange: a fresh recogniser, and nothing known of the board's answers.
void TOsdLink::BeginExchange(TExchangeKind exchange) {
    ResetRecogniser();
    exchange_ = exchange;
    startMs_ = Timer2.NowMs();
    qCDebug(lcLink, "%s started", ExchangeName(exchange));
    flight_ = {};
    answerMs_.reset();
    answerClean_ = false;
    draining_ = false;
    dumpArriving_ = false;
    dumpGrace_ = false;
    surplusBytes_ = 0;
    reply_ = 0;
    portError_.clear();
}

void TOsdLink::StartTest() {
    if (!port_.IsOpen() || Busy())
        return;
    BeginExchange(TExchangeKind::LinkTest);
    StartGuarded([this] { SendFrame(TestFrame(), link_budget::Test, kTestRetryMs, false); });
}

bool TOsdLink::StartRead() {
    if (!port_.IsOpen() || Busy())
        return false;
    Timer1.SetEnabled(false);
    BeginExchange(TExchangeKind::Read); // the received bytes are dump data until it ends
    dumpBytes_ = 0;
    StartGuarded([this] {
        DiscardInput(); // whatever came before the request is no part of the dump
        SendFrame(ReadFrame(), link_budget::Read, kReadRetryMs, false);
    });
    return true;
}

// The common start of a block or character sequence: blinking stopped, a new exchange,
// StepIndex 0, and (for a write or upload) the progress window at 0.
void TOsdLink::BeginSequence(TExchangeKind exchange, bool progress) {
    Timer1.SetEnabled(false);
    BeginExchange(exchange);
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
    BeginSequence(TExchangeKind::Write, true);
    StartGuarded([this] { SendConfigBlock(); });
    return true;
}

bool TOsdLink::StartFontUpload(const TFontSet& font) {
    if (Busy())
        return false;
    font_ = font;
    BeginSequence(TExchangeKind::FontUpload, true);
    StartGuarded([this] { SendFontChar(); });
    return true;
}

bool TOsdLink::StartApply() {
    if (Busy())
        return false;
    sent_ = image_;
    BeginSequence(TExchangeKind::Apply, false);
    StartGuarded([this] { SendConfigBlock(); });
    return true;
}

std::optional<TMessage> TOsdLink::PortClosed() {
    ResetRecogniser();
    if (!Busy()) {
        Timer1.SetEnabled(false); // the blink tick
        return std::nullopt;
    }
    const TExchangeKind ended = *exchange_;
    qCDebug(lcLink, "port closed under the %s at %s", ExchangeName(ended), FrameName().c_str());
    EndExchange();
    Finish(ended, TExchangeOutcome::Interrupted);
    switch (ended) {
    case TExchangeKind::Write:
    case TExchangeKind::Apply:
        return TMessage::WriteInterrupted;
    case TExchangeKind::FontUpload:
        return TMessage::FontUploadInterrupted;
    case TExchangeKind::LinkTest:
    case TExchangeKind::Read:
        break;
    }
    return std::nullopt;
}

// The acknowledgement recogniser, one byte. A "#" starts afresh; the first byte after it
// (unless "+") is the reply letter; "+" completes the acknowledgement. The "#"-seen state
// stays, so a further "+" before the next "#" is another acknowledgement.
bool TOsdLink::Recognise(std::uint8_t c) {
    if (c == '#') {
        hashSeen_ = true;
        replyChar_ = 0;
        return false;
    }
    if (!hashSeen_)
        return false;
    if (c != '+') {
        if (replyChar_ == 0)
            replyChar_ = c;
        return false;
    }
    return true;
}

void TOsdLink::AfComPort1DataRecived() {
    while (port_.InBufUsed() > 0) {
        const std::uint8_t c = port_.ReadChar();
        if (exchange_ == TExchangeKind::Read)
            TakeDumpByte(c);
        else if (Recognise(c))
            Acknowledged();
    }
}

// An acknowledgement is complete; replyChar_ is its letter. An "R" confirms the link when
// it answers a link test (its first answer) or comes unasked, while the font button is
// disabled.
void TOsdLink::Acknowledged() {
    const bool testAnswer =
        exchange_ == TExchangeKind::LinkTest && flight_.Answers == 0 && flight_.Copies > 0;
    if (testAnswer)
        reply_ = static_cast<char>(replyChar_);
    if ((testAnswer || !exchange_) && replyChar_ == 'R' && !host_.FontButtonEnabled()) {
        replyChar_ = kReplyActedOn;
        host_.LinkConfirmed();
    }
    if (exchange_)
        TakeAnswer();
}

// A byte received during a read: dump data straight into the image and the check byte
// after it; bytes after the dump are a repeated dump, dropped and counted.
void TOsdLink::TakeDumpByte(std::uint8_t c) {
    if (dumpBytes_ < ofs::DumpSize) {
        image_.Data()[dumpBytes_++] = c;
        dumpArriving_ = true;
        if (dumpBytes_ == ofs::DumpSize)
            TakeAnswer();
        return;
    }
    if (!draining_)
        return;
    if (++surplusBytes_ % ofs::DumpSize == 0)
        TakeAnswer();
    else
        RestartTimer2(QuietMs()); // the line is not quiet
}

// An answer to the frame in flight: taken only while one of its copies waits for it.
bool TOsdLink::CountAnswer() {
    if (flight_.Answers >= flight_.Copies) {
        // No copy waits: it answers an earlier frame, or nothing.
        qCDebug(lcLink, "%s: answer dropped (%d copies sent, all answered)", FrameName().c_str(),
                flight_.Copies);
        return false;
    }
    const std::uint64_t took = Timer2.NowMs() - flight_.FirstSentMs;
    if (++flight_.Answers == 1)
        SampleAnswerTime(took);
    qCDebug(lcLink,
            "%s: answer %d of %d copies taken %llu ms after the first (answer time %llu ms)",
            FrameName().c_str(), flight_.Answers, flight_.Copies, Ull(took),
            Ull(answerMs_.value_or(0)));
    return true;
}

// An answer has come; the exchange moves on once no other copy can be answered.
void TOsdLink::TakeAnswer() {
    if (!CountAnswer())
        return;
    if (flight_.Answers < flight_.Copies) {
        // Other copies may still be answered: hold the link until they are, or until the
        // line has been quiet for longer than the board takes to answer.
        draining_ = true;
        RestartTimer2(QuietMs());
        qCDebug(lcLink, "%s: draining, up to %llu ms of quiet for the other copies' answers",
                FrameName().c_str(), Ull(QuietMs()));
        return;
    }
    Drained();
}

// The first answer to the frame in flight: its time since the first copy is the answer
// time when one copy was out, else only an upper bound (Karn's rule).
void TOsdLink::SampleAnswerTime(std::uint64_t took) {
    if (flight_.Copies == 1) {
        answerMs_ = answerClean_ ? std::max(*answerMs_, took) : took;
        answerClean_ = true;
    } else if (!answerClean_) {
        answerMs_ = std::max(answerMs_.value_or(0), took);
    }
}

// The frame in flight is answered and no answer to it can follow: the exchange moves on.
void TOsdLink::Drained() {
    draining_ = false;
    Timer2.SetEnabled(false);
    if (!exchange_)
        return;
    switch (*exchange_) {
    case TExchangeKind::LinkTest:
        EndTest();
        break;
    case TExchangeKind::Read:
        Timer1.SetEnabled(true); // the completion, at Timer1's interval
        break;
    case TExchangeKind::Write:
    case TExchangeKind::Apply:
    case TExchangeKind::FontUpload:
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(true);
        break;
    }
}

void TOsdLink::EndTest() {
    const char reply = reply_;
    exchange_.reset();
    flight_ = {};
    // A letter other than "R": the board answered but is not ready. An answer without a
    // letter (a late one of an earlier exchange, say) ends the test quietly.
    const bool notReady = reply != 0 && reply != 'R';
    Finish(TExchangeKind::LinkTest, TExchangeOutcome::Done,
           notReady ? std::optional(TMessage::NotReady) : std::nullopt, reply);
}

void TOsdLink::Timer1Timer() {
    if (!exchange_) {
        host_.BlinkTick();
        return;
    }
    switch (*exchange_) {
    case TExchangeKind::Read:
        if (dumpBytes_ < ofs::DumpSize || draining_) {
            Timer1.SetEnabled(false); // not armed by a drained dump: keep waiting
            return;
        }
        ApplyImageDump();
        break;
    case TExchangeKind::Write:
    case TExchangeKind::Apply:
        Timer1.SetEnabled(false);
        NextConfigBlock();
        break;
    case TExchangeKind::FontUpload:
        Timer1.SetEnabled(false);
        NextFontChar();
        break;
    case TExchangeKind::LinkTest:
        host_.BlinkTick();
        break;
    }
}

void TOsdLink::Timer2Timer() {
    if (draining_) {
        // Quiet for longer than the board takes to answer.
        qCDebug(lcLink, "%s: drained, %d of %d copies answered", FrameName().c_str(),
                flight_.Answers, flight_.Copies);
        Drained();
        return;
    }
    // The port went away under the exchange (another port chosen in the selector failed
    // to open, say): nothing can be resent, so give up once instead of trying on.
    if (!port_.IsOpen()) {
        qCDebug(lcLink, "%s: the port is closed", FrameName().c_str());
        GiveUp();
        return;
    }
    // A dump on its way is never cut. The first tick that finds one arriving for a request
    // gives it one more interval without spending a try.
    const bool arriving = exchange_ == TExchangeKind::Read && std::exchange(dumpArriving_, false);
    if (arriving && std::exchange(dumpGrace_, false)) {
        qCDebug(lcLink, "dump arriving (%zu bytes): one more interval", dumpBytes_);
        return;
    }
    if (retriesLeft_ > 0)
        --retriesLeft_;
    if (retriesLeft_ == 0) {
        GiveUp();
        return;
    }
    if (!arriving)
        Resend();
}

// Writes LastFrame again. A resend the port refuses has used up its try; the exchange goes
// on, and its give-up names the port's error.
void TOsdLink::Resend() {
    // The step timer waits for the answer (for a read: its completion comes 2 ms after).
    Timer1.SetInterval(kStepDelayMs);
    Timer1.SetEnabled(false);
    try {
        if (exchange_ == TExchangeKind::Read && dumpBytes_ > 0) {
            // No dump byte came for a whole interval: the dump that began is over (it
            // answered a copy of the request), and the board sends the whole dump again.
            qCDebug(lcLink, "the dump stopped at %zu bytes: it answered a copy", dumpBytes_);
            CountAnswer();
            DiscardInput();
            dumpBytes_ = 0;
        }
        port_.WriteString(lastFrame_);
    } catch (const std::exception& e) {
        portError_ = e.what();
        qCDebug(lcLink, "%s: resend refused by the port (try %d of %d): %s", FrameName().c_str(),
                Try(), Budget(), e.what());
        return;
    }
    CopySent();
    qCDebug(lcLink, "%s resent (try %d of %d)", FrameName().c_str(), Try(), Budget());
}

void TOsdLink::ApplyImageDump() {
    exchange_.reset();
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    if (!image_.DumpCheckMatches()) {
        Finish(TExchangeKind::Read, TExchangeOutcome::BadDump, TMessage::ReadError);
        return;
    }
    host_.DumpAccepted();
    Timer1.SetInterval(kIdleTickMs);
    Timer1.SetEnabled(true);
    Finish(TExchangeKind::Read, TExchangeOutcome::Done);
}

void TOsdLink::SendConfigBlock() {
    SendFrame(BlockFrame(sent_, stepIndex_), link_budget::Frame, FrameRetryMs(), true);
}

void TOsdLink::NextConfigBlock() {
    if (exchange_ == TExchangeKind::Apply) {
        // Apply sends block 0 (the header) and block 15 (the user name) only.
        if (stepIndex_ != kLastBlock) {
            stepIndex_ = kLastBlock;
            SendConfigBlock();
            return;
        }
        exchange_.reset();
        Timer2.SetEnabled(false);
        Timer1.SetInterval(kIdleTickMs);
        Timer1.SetEnabled(true);
        Finish(TExchangeKind::Apply, TExchangeOutcome::Done, TMessage::ChangesUpdated);
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
    exchange_.reset();
    Timer2.SetEnabled(false);
    host_.CloseProgress();
    Timer1.SetInterval(kIdleTickMs);
    Timer1.SetEnabled(true);
    Finish(TExchangeKind::Write, TExchangeOutcome::Done);
}

void TOsdLink::SendFontChar() {
    SendFrame(CharFrame(stepIndex_, font_[stepIndex_]), link_budget::Frame, FrameRetryMs(), true);
}

void TOsdLink::NextFontChar() {
    if (stepIndex_ < kLastChar) {
        ++stepIndex_;
        host_.SetProgress(stepIndex_);
        SendFontChar();
        return;
    }
    exchange_.reset();
    Timer2.SetEnabled(false);
    host_.CloseProgress();
    Finish(TExchangeKind::FontUpload, TExchangeOutcome::Done, TMessage::FontsLoaded);
}

} // namespace halvex
