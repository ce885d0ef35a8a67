#include "link/OsdLink.h"

#include "link/LinkFrames.h"
#include "link/LinkLog.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>
#include <numeric>
#include <utility>

namespace halvex {

namespace {

constexpr std::uint32_t kStepDelayMs = 2;  // acknowledgement to next frame
constexpr std::uint32_t kIdleTickMs = 200; // blink tick when no exchange runs
constexpr std::uint32_t kTestRetryMs = 100;
constexpr std::uint32_t kReadRetryMs = 800;
constexpr std::uint32_t kFrameRetryMs = 200;     // blocks, characters and fences ...
constexpr std::uint32_t kFrameRetryMaxMs = 800;  // ... lengthened by slow answers up to this
constexpr std::uint64_t kMinAnswerMarginMs = 50; // scheduling jitter around an answer time
constexpr std::uint64_t kJitterMs = 10;          // scatter of a steady board's answer time

// Names in the trace, in the order of TExchangeKind and TExchangeOutcome.
constexpr const char* kExchangeNames[] = {"link test", "read", "write", "apply", "font upload"};
constexpr const char* kOutcomeNames[] = {"done",        "gave up",    "bad dump",
                                         "interrupted", "port error", "verify failed"};

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

std::vector<std::uint8_t> Indices(std::size_t count) {
    std::vector<std::uint8_t> v(count);
    std::iota(v.begin(), v.end(), std::uint8_t{0});
    return v;
}

// Offsets the board keeps itself (firmware version, odometer): never compared.
bool BoardKeeps(std::size_t offset) {
    return offset < 2 || (offset >= ofs::Odometer && offset < ofs::Odometer + 4);
}

// Where block `block` of `got` differs from `sent`; Block stays -1 when it does not.
TVerifyMismatch BlockMismatch(const TConfigImage& sent, const TConfigImage& got, int block) {
    TVerifyMismatch m;
    const std::size_t from = static_cast<std::size_t>(block) * kBlockBytes;
    for (std::size_t k = from; k < from + kBlockBytes; ++k) {
        if (BoardKeeps(k) || sent.Byte(k) == got.Byte(k))
            continue;
        if (m.Block < 0)
            m = {block, static_cast<int>(k), static_cast<int>(k)};
        m.Last = static_cast<int>(k);
    }
    return m;
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

// The frame out as the trace names it: "block 3", "character 200", "fence".
std::string TOsdLink::FrameName() const {
    switch (role_) {
    case TRole::Test:
        return "test frame";
    case TRole::Read:
        return exchange_ == TExchangeKind::Read ? "read request" : "read-back request";
    case TRole::Block:
        return "block " + std::to_string(stepIndex_);
    case TRole::Char:
        return "character " + std::to_string(stepIndex_);
    case TRole::Fence:
        break;
    }
    return "fence";
}

int TOsdLink::Budget() const {
    return budget_;
}

// The try the frame out is at, counted from 1 (one past the budget once it is spent).
int TOsdLink::Try() const {
    return Budget() - retriesLeft_ + 1;
}

void TOsdLink::ResetRecogniser() {
    hashSeen_ = false;
    replyChar_ = 0;
}

// LastFrame := frame, with its budget and the retry timer, then written in one call.
// Block, character and fence frames also park Timer1 at the step delay, disabled, until
// their answer arms it. Timer2 is restarted for every new frame, so each frame waits its
// full interval before its first resend. The budget and the timer come before the write: a
// frame the port refuses (or a read request whose waiting bytes cannot be read away) is
// resent by the retry timer with its own full budget.
void TOsdLink::SendFrame(TRole role, const std::string& frame, std::uint8_t budget,
                         std::uint32_t intervalMs) {
    if (role != TRole::Test && role != TRole::Read) {
        Timer1.SetInterval(kStepDelayMs);
        Timer1.SetEnabled(false);
    }
    role_ = role;
    wait_ = TWait::Answer;
    flight_ = {};
    lastFrame_ = frame;
    retriesLeft_ = budget_ = budget;
    RestartTimer2(intervalMs);
    if (role == TRole::Read)
        DiscardInput(); // whatever came before the request is no part of the dump
    port_.WriteString(lastFrame_);
    CopySent();
    qCDebug(lcLink, "%s sent (try 1 of %d, resent after %u ms without an answer)",
            FrameName().c_str(), budget, intervalMs);
}

// The port took a copy of LastFrame.
void TOsdLink::CopySent() {
    const std::uint64_t now = Timer2.NowMs();
    if (flight_.Copies++ == 0)
        flight_.FirstSentMs = now;
    flight_.LastSentMs = now;
    lastLineMs_ = now;
    dumpGrace_ = true;
}

// The next step leaves on Timer1: 2 ms from now, or (a read's completion) at its interval.
void TOsdLink::ArmStep(bool stepDelay) {
    wait_ = TWait::Step;
    Timer2.SetEnabled(false);
    if (stepDelay)
        Timer1.SetInterval(kStepDelayMs);
    Timer1.SetEnabled(true);
}

// Timer2 runs `intervalMs` from now (a period already running starts again).
void TOsdLink::RestartTimer2(std::uint64_t intervalMs) {
    Timer2.SetEnabled(false);
    Timer2.SetInterval(static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(intervalMs, 1, static_cast<std::uint64_t>(UINT32_MAX))));
    Timer2.SetEnabled(true);
}

// `wait` until `atMs` on Timer2 (at once when that has passed).
void TOsdLink::WaitUntil(TWait wait, std::uint64_t atMs) {
    wait_ = wait;
    const std::uint64_t now = Timer2.NowMs();
    RestartTimer2(atMs > now ? atMs - now : 1);
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

// The frame out is left behind: copies of it still waiting for an answer are owed.
void TOsdLink::LeaveFrame() {
    if (wait_ == TWait::Answer || wait_ == TWait::Settle)
        Owe(flight_.Copies - flight_.Answers);
    flight_ = {};
    wait_ = TWait::Step;
}

// Ends the exchange without a message: both timers stopped, progress window closed.
void TOsdLink::EndExchange() {
    LeaveFrame();
    exchange_.reset();
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
    report.Budget = Budget();
    report.Ms = Timer2.NowMs() - startMs_;
    report.Reply = reply;
    report.PortError = std::move(portError);
    report.Total = static_cast<int>(total_);
    report.Confirmed = outcome == TExchangeOutcome::Done ? report.Total : confirmed_;
    report.Frame = role_ == TRole::Block || role_ == TRole::Char ? stepIndex_ : -1;
    report.Step = role_ == TRole::Fence                                  ? TExchangeStep::Fence
                  : role_ == TRole::Read && ended != TExchangeKind::Read ? TExchangeStep::ReadBack
                                                                         : TExchangeStep::Frame;
    report.Verified = verified_;
    report.Mismatch = mismatch_;
    if (readBackTaken_)
        report.ReadBack = readBack_;
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

// A new exchange: a fresh recogniser, and nothing known of the board's answer time. What
// the line still owes stays.
void TOsdLink::BeginExchange(TExchangeKind exchange) {
    ResetRecogniser();
    exchange_ = exchange;
    startMs_ = Timer2.NowMs();
    qCDebug(lcLink, "%s started", ExchangeName(exchange));
    flight_ = {};
    wait_ = TWait::Step;
    budget_ = BudgetOf(exchange);
    answerMs_.reset();
    answerClean_ = false;
    dumpArriving_ = false;
    dumpGrace_ = false;
    surplusBytes_ = 0;
    reply_ = 0;
    portError_.clear();
    sequence_ = {};
    written_.clear();
    next_ = 0;
    confirmed_ = 0;
    total_ = 1;
    readDue_ = dumpReady_ = rewritten_ = verified_ = readBackTaken_ = false;
    mismatch_ = {};
}

void TOsdLink::StartTest() {
    if (!port_.IsOpen() || Busy())
        return;
    BeginExchange(TExchangeKind::LinkTest);
    StartGuarded([this] { SendFrame(TRole::Test, TestFrame(), link_budget::Test, kTestRetryMs); });
}

bool TOsdLink::StartRead() {
    if (!port_.IsOpen() || Busy())
        return false;
    Timer1.SetEnabled(false);
    BeginExchange(TExchangeKind::Read); // the received bytes are dump data once asked for
    dumpBytes_ = 0;
    dumpInto_ = &image_;
    readDue_ = true;
    StartGuarded([this] { NextStep(); });
    return true;
}

// The common start of a block or character sequence: blinking stopped, a new exchange, and
// (for a write or upload) the progress window at 0.
void TOsdLink::BeginSequence(TExchangeKind exchange, TSequence sequence) {
    Timer1.SetEnabled(false);
    BeginExchange(exchange);
    sequence_ = std::move(sequence);
    written_ = sequence_.Frames;
    total_ = sequence_.Frames.size();
    readDue_ = sequence_.ReadBack;
    dumpInto_ = &readBack_;
    stepIndex_ = 0;
    if (sequence_.ProgressStep > 0) {
        host_.SetProgress(0);
        host_.ShowProgress();
    }
    StartGuarded([this] { NextStep(); });
}

bool TOsdLink::StartWrite(bool readBack) {
    if (Busy())
        return false;
    sent_ = image_;
    BeginSequence(TExchangeKind::Write, {.Frames = Indices(kBlockCount),
                                         .ProgressStep = 16,
                                         .ReadBack = readBack,
                                         .ResumeBlink = true});
    return true;
}

bool TOsdLink::StartFontUpload(const TFontSet& font) {
    if (Busy())
        return false;
    font_ = font;
    BeginSequence(TExchangeKind::FontUpload, {.Frames = Indices(kFontChars),
                                              .Chars = true,
                                              .ProgressStep = 1,
                                              .DoneMessage = TMessage::FontsLoaded});
    return true;
}

bool TOsdLink::StartApply() {
    if (Busy())
        return false;
    sent_ = image_;
    // Block 0 (the header) and block 15 (the user name) only.
    BeginSequence(TExchangeKind::Apply, {.Frames = {0, kBlockCount - 1},
                                         .ReadBack = true,
                                         .DoneMessage = TMessage::ChangesUpdated,
                                         .ResumeBlink = true});
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

// ---- Steps ----------------------------------------------------------------------------

// What the exchange does next, once nothing is out: take a dump that came, prove the line
// clean before a frame, send the next block or character, ask for the read (-back), or end
// (leaving what the line owes to the next exchange).
void TOsdLink::NextStep() {
    const bool frameDue = next_ < sequence_.Frames.size() || readDue_;
    if (dumpReady_)
        TakeDump();
    else if (frameDue && LineOwed() && boardLetters_)
        Drain();
    else if (frameDue && LineOwed())
        SendFence();
    else if (next_ < sequence_.Frames.size())
        SendSequenceFrame();
    else if (readDue_)
        SendReadRequest();
    else
        FinishSequence(TExchangeOutcome::Done, sequence_.DoneMessage);
}

void TOsdLink::SendFence() {
    qCDebug(lcLink, "fence: earlier copies owe %d plain and %d lettered answers", owedPlain_,
            owedLettered_);
    SendFrame(TRole::Fence, TestFrame(), link_budget::Frame, FrameRetryMs());
}

void TOsdLink::SendSequenceFrame() {
    stepIndex_ = sequence_.Frames[next_];
    if (next_ > 0 && !rewritten_ && sequence_.ProgressStep > 0)
        host_.SetProgress(stepIndex_ * sequence_.ProgressStep);
    ++next_;
    if (sequence_.Chars)
        SendFrame(TRole::Char, CharFrame(stepIndex_, font_[stepIndex_]), link_budget::Frame,
                  FrameRetryMs());
    else
        SendFrame(TRole::Block, BlockFrame(sent_, stepIndex_), link_budget::Frame, FrameRetryMs());
}

void TOsdLink::SendReadRequest() {
    readDue_ = false;
    dumpBytes_ = 0;
    surplusBytes_ = 0;
    dumpArriving_ = false;
    SendFrame(TRole::Read, ReadFrame(), link_budget::Read, kReadRetryMs);
}

void TOsdLink::TakeDump() {
    dumpReady_ = false;
    if (exchange_ == TExchangeKind::Read)
        ApplyImageDump();
    else
        CompareReadBack();
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

// The read-back: the blocks written compared with what the board holds. Those that differ
// are written once more; a dump failing its check byte is asked for again.
void TOsdLink::CompareReadBack() {
    if (!readBack_.DumpCheckMatches()) {
        qCDebug(lcLink, "the read-back dump failed its check byte");
        if (retriesLeft_ <= 1) {
            GiveUp();
            return;
        }
        --retriesLeft_;
        dumpBytes_ = 0;
        surplusBytes_ = 0;
        wait_ = TWait::Answer;
        RestartTimer2(kReadRetryMs);
        Resend();
        return;
    }
    readBackTaken_ = true;
    std::vector<std::uint8_t> differ;
    for (const std::uint8_t block : written_)
        if (BlockMismatch(sent_, readBack_, block).Block >= 0)
            differ.push_back(block);
    if (differ.empty()) {
        verified_ = true;
        FinishSequence(TExchangeOutcome::Done, sequence_.DoneMessage);
    } else if (!rewritten_) {
        qCDebug(lcLink, "read-back: %zu blocks differ, written once more", differ.size());
        rewritten_ = true;
        sequence_.Frames = std::move(differ);
        next_ = 0;
        readDue_ = true;
        NextStep();
    } else {
        mismatch_ = BlockMismatch(sent_, readBack_, differ.front());
        FinishSequence(TExchangeOutcome::VerifyFailed, std::nullopt);
    }
}

// The sequence ends: the blink tick runs again after a write's or Apply's success.
void TOsdLink::FinishSequence(TExchangeOutcome outcome, std::optional<TMessage> message) {
    const TExchangeKind ended = *exchange_;
    EndExchange();
    if (outcome == TExchangeOutcome::Done && sequence_.ResumeBlink) {
        Timer1.SetInterval(kIdleTickMs);
        Timer1.SetEnabled(true);
    }
    Finish(ended, outcome, message);
}

// ---- Receiving ------------------------------------------------------------------------

// The acknowledgement recogniser, one byte. A "#" starts afresh; the first byte after it
// (unless "+") is the reply letter; "+" completes the acknowledgement, and the next one
// needs a "#" of its own.
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
    hashSeen_ = false;
    return true;
}

void TOsdLink::AfComPort1DataRecived() {
    while (port_.InBufUsed() > 0) {
        const std::uint8_t c = port_.ReadChar();
        if (exchange_ && role_ == TRole::Read)
            TakeDumpByte(c);
        else if (Recognise(c))
            Acknowledged(replyChar_);
    }
}

// An acknowledgement is complete; `letter` is its letter (0: none). What it answers
// depends on what waits for it.
void TOsdLink::Acknowledged(std::uint8_t letter) {
    lastLineMs_ = Timer2.NowMs();
    if (!exchange_ || wait_ == TWait::Step) {
        OwedAnswer(letter); // nothing out waits for it
        return;
    }
    if (wait_ == TWait::Drain) {
        DrainAnswer();
        return;
    }
    switch (role_) {
    case TRole::Test:
        TestAnswer(letter);
        break;
    case TRole::Fence:
        FenceAnswer(letter);
        break;
    case TRole::Block:
    case TRole::Char:
        FrameAnswer(letter);
        break;
    case TRole::Read:
        break; // its bytes are dump data
    }
}

// The link test's first answer names its letter; an "R" confirms the link while the font
// button is disabled.
void TOsdLink::TestAnswer(std::uint8_t letter) {
    if (flight_.Answers == 0 && flight_.Copies > 0) {
        reply_ = static_cast<char>(letter);
        if (letter == 'R' && !host_.FontButtonEnabled())
            host_.LinkConfirmed();
    }
    TakeAnswer();
}

// An answer to a block or character sent on a clean line. "R" is never its answer.
void TOsdLink::FrameAnswer(std::uint8_t letter) {
    if (letter == 'R') {
        qCDebug(lcLink, "%s: answer \"R\" dropped (a fence's or a link test's)",
                FrameName().c_str());
        doubtful_ = true;
        return;
    }
    if (letter != 0 && !boardLetters_) {
        qCDebug(lcLink, "the board puts letters in its acknowledgements: no fences");
        boardLetters_ = true;
    }
    const bool first = flight_.Answers == 0;
    // Later after its last copy than the board takes: an earlier copy's answer, so the
    // others are on their way (or the board has slowed). Not knowing yet how long the board
    // takes, the link fences at once.
    const bool earlierCopy =
        flight_.Copies > 1 && answerMs_ && SlowerThanKnown(Timer2.NowMs() - flight_.LastSentMs);
    if (!CountAnswer())
        return;
    if (first && !rewritten_)
        ++confirmed_;
    if (flight_.Answers == flight_.Copies)
        FrameDone();
    else if (first && earlierCopy && !boardLetters_)
        WaitUntil(TWait::Settle, flight_.LastSentMs + QuietMs());
    else if (first)
        FrameDone(); // the next step fences (or drains) what is still owed
}

// The fence waits for its lettered answer: answers without a letter before it belong to
// earlier copies (or are its own with the letter lost).
void TOsdLink::FenceAnswer(std::uint8_t letter) {
    if (letter == 0) {
        qCDebug(lcLink, "fence: an earlier copy's answer dropped");
        if (owedPlain_ > 0) {
            --owedPlain_;
            RestartTimer2(FrameRetryMs()); // the board is busy with earlier copies
        }
        return;
    }
    // Every earlier answer is through; the fence's other copies, and lettered answers owed
    // from before, may still come.
    owedPlain_ = 0;
    doubtful_ = false;
    owedLettered_ = std::max(0, owedLettered_ + flight_.Copies - 1);
    flight_.Answers = flight_.Copies;
    qCDebug(lcLink, "fence answered (\"%c\"), %d more answers owed", letter, owedLettered_);
    if (owedLettered_ == 0)
        ArmStep();
    else
        Drain();
}

// An answer while the link waits out what the line owes.
void TOsdLink::DrainAnswer() {
    if (owedPlain_ > 0)
        --owedPlain_;
    else if (owedLettered_ > 0)
        --owedLettered_;
    doubtful_ = false;
    if (LineOwed())
        Drain(); // the time limit counts from this answer
    else
        ArmStep();
}

// An answer no frame out waits for: one the line owed, or one nobody asked for.
void TOsdLink::OwedAnswer(std::uint8_t letter) {
    if (letter == 0 && owedPlain_ > 0)
        --owedPlain_;
    else if (owedLettered_ > 0) // (without a letter: one whose letter was lost)
        --owedLettered_;
    else
        doubtful_ = true;
    qCDebug(lcLink, "answer with nothing out dropped");
}

// The link waits for the answers owed, by the time limit: n owed, n x 2.0 s after the last
// copy or answer. Each answer starts the wait again.
void TOsdLink::Drain() {
    const int owed = std::max(owedPlain_ + owedLettered_, 1);
    role_ = TRole::Fence;
    qCDebug(lcLink, "waiting for %d owed answers, up to %llu ms", owed, Ull(owed * kAnswerLimitMs));
    WaitUntil(TWait::Drain, lastLineMs_ + static_cast<std::uint64_t>(owed) * kAnswerLimitMs);
}

void TOsdLink::LineClean() {
    owedPlain_ = 0;
    owedLettered_ = 0;
    doubtful_ = false;
}

// Copies of the frame out that may still be answered, owed to the line.
void TOsdLink::Owe(int copies) {
    if (copies <= 0)
        return;
    if (role_ == TRole::Block || role_ == TRole::Char)
        owedPlain_ += copies;
    else
        owedLettered_ += copies;
}

bool TOsdLink::LineOwed() const {
    return owedPlain_ > 0 || owedLettered_ > 0 || doubtful_;
}

// A byte received while a read request is out: dump data straight into its image and the
// check byte after it; bytes after the dump are a repeated dump, dropped and counted.
void TOsdLink::TakeDumpByte(std::uint8_t c) {
    lastLineMs_ = Timer2.NowMs();
    if (dumpBytes_ < ofs::DumpSize) {
        dumpInto_->Data()[dumpBytes_++] = c;
        dumpArriving_ = true;
        if (dumpBytes_ == ofs::DumpSize)
            TakeAnswer();
        return;
    }
    if (wait_ != TWait::Settle) {
        doubtful_ = true; // more than the copies out can bring
        return;
    }
    if (++surplusBytes_ % ofs::DumpSize == 0)
        TakeAnswer();
    else
        RestartTimer2(QuietMs()); // the line is not quiet
}

// An answer to the frame out: taken only while one of its copies waits for it.
bool TOsdLink::CountAnswer() {
    if (flight_.Answers >= flight_.Copies) {
        // No copy waits: it answers nothing the link knows of.
        qCDebug(lcLink, "%s: answer dropped (%d copies sent, all answered)", FrameName().c_str(),
                flight_.Copies);
        doubtful_ = true;
        return false;
    }
    if (++flight_.Answers == 1)
        SampleAnswerTime();
    qCDebug(lcLink,
            "%s: answer %d of %d copies taken %llu ms after the first (answer time %llu ms)",
            FrameName().c_str(), flight_.Answers, flight_.Copies,
            Ull(Timer2.NowMs() - flight_.FirstSentMs), Ull(answerMs_.value_or(0)));
    return true;
}

// An answer to the link test or the read request: the exchange moves on once no other
// copy can be answered, or the line has been quiet for longer than the board takes.
void TOsdLink::TakeAnswer() {
    if (!CountAnswer())
        return;
    if (flight_.Answers < flight_.Copies) {
        WaitUntil(TWait::Settle, Timer2.NowMs() + QuietMs());
        qCDebug(lcLink, "%s: up to %llu ms of quiet for the other copies' answers",
                FrameName().c_str(), Ull(QuietMs()));
        return;
    }
    FrameDone();
}

// The first answer to the frame out: its time since the first copy is the answer time when
// one copy was out (Karn's rule), else an upper bound, taken when the answer came later
// after the last copy than the board takes.
void TOsdLink::SampleAnswerTime() {
    const std::uint64_t now = Timer2.NowMs();
    const std::uint64_t took = now - flight_.FirstSentMs;
    if (flight_.Copies == 1) {
        answerMs_ = answerClean_ ? std::max(*answerMs_, took) : took;
        answerClean_ = true;
    } else if (!answerMs_ || SlowerThanKnown(now - flight_.LastSentMs)) {
        answerMs_ = std::max(answerMs_.value_or(0), took);
        answerClean_ = false;
    }
}

bool TOsdLink::SlowerThanKnown(std::uint64_t ms) const {
    return ms > *answerMs_ + *answerMs_ / 8 + kJitterMs;
}

// The frame out needs nothing more: what it still owes goes to the line, and the exchange
// moves on.
void TOsdLink::FrameDone() {
    Owe(flight_.Copies - flight_.Answers);
    flight_.Answers = flight_.Copies;
    Timer2.SetEnabled(false);
    switch (role_) {
    case TRole::Test:
        EndTest();
        break;
    case TRole::Read:
        dumpReady_ = true;
        ArmStep(false); // the completion, at Timer1's interval
        break;
    case TRole::Block:
    case TRole::Char:
    case TRole::Fence:
        ArmStep();
        break;
    }
}

void TOsdLink::EndTest() {
    const char reply = reply_;
    wait_ = TWait::Step;
    exchange_.reset();
    flight_ = {};
    // A letter other than "R": the board answered but is not ready. An answer without a
    // letter (a late one of an earlier exchange, say) ends the test quietly.
    const bool notReady = reply != 0 && reply != 'R';
    Finish(TExchangeKind::LinkTest, TExchangeOutcome::Done,
           notReady ? std::optional(TMessage::NotReady) : std::nullopt, reply);
}

// ---- Timers ---------------------------------------------------------------------------

void TOsdLink::Timer1Timer() {
    if (!exchange_ || exchange_ == TExchangeKind::LinkTest) {
        host_.BlinkTick();
        return;
    }
    Timer1.SetEnabled(false);
    if (wait_ == TWait::Step)
        NextStep();
}

void TOsdLink::Timer2Timer() {
    switch (wait_) {
    case TWait::Settle:
        qCDebug(lcLink, "%s: quiet, %d of %d copies answered", FrameName().c_str(), flight_.Answers,
                flight_.Copies);
        FrameDone();
        break;
    case TWait::Drain:
        qCDebug(lcLink, "no owed answer can come any more");
        LineClean();
        ArmStep();
        break;
    case TWait::Answer:
        RetryTick();
        break;
    case TWait::Step:
        Timer2.SetEnabled(false);
        break;
    }
}

void TOsdLink::RetryTick() {
    // The port went away under the exchange (another port chosen in the selector failed
    // to open, say): nothing can be resent, so give up once instead of trying on.
    if (!port_.IsOpen()) {
        qCDebug(lcLink, "%s: the port is closed", FrameName().c_str());
        GiveUp();
        return;
    }
    // A dump on its way is never cut. The first tick that finds one arriving for a request
    // gives it one more interval without spending a try.
    const bool arriving = role_ == TRole::Read && std::exchange(dumpArriving_, false);
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
        if (role_ == TRole::Read && dumpBytes_ > 0) {
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

} // namespace halvex
