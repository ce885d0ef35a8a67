#include "OsdSimulator.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace halvex::sim {

namespace {

constexpr std::size_t kHistoryCap = 100'000; // received lines kept for inspection

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Parses a decimal or 0x-prefixed hexadecimal number within [lo, hi].
bool ParseNumber(std::string_view text, long lo, long hi, long& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size() && value >= lo && value <= hi;
}

// "K" or "K:N": an index and an optional count of times (count absent: -1 = always).
bool ParseIndexTimes(std::string_view text, long hi, int& index, int& times) {
    long v = 0;
    long n = -1;
    const auto colon = text.find(':');
    if (colon != std::string_view::npos) {
        if (!ParseNumber(text.substr(colon + 1), 0, 1'000'000, n))
            return false;
        text = text.substr(0, colon);
    }
    if (!ParseNumber(text, 0, hi, v))
        return false;
    index = static_cast<int>(v);
    times = static_cast<int>(n);
    return true;
}

// A chance: a number from 0 to 1, or a percentage from 0% to 100%.
bool ParseChance(std::string_view text, double& chance) {
    const bool percent = !text.empty() && text.back() == '%';
    if (percent)
        text.remove_suffix(1);
    const std::string digits(text);
    if (digits.empty() || digits.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    const double v = std::strtod(digits.c_str(), &end) / (percent ? 100.0 : 1.0);
    if (end != digits.c_str() + digits.size() || v < 0 || v > 1)
        return false;
    chance = v;
    return true;
}

std::string Printable(std::string_view line, std::size_t max) {
    std::string out;
    for (std::size_t k = 0; k < line.size() && k < max; ++k) {
        const auto c = static_cast<unsigned char>(line[k]);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (line.size() > max)
        out += "...";
    return out;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

const char* const kSimulatorUsage =
    "Usage: osdsim [options]\n"
    "Simulated OSD board on a pseudo-terminal. Prints \"PTY <slave path>\" first.\n"
    "  --baud N              pace both directions at N baud, 10 bits per byte\n"
    "                        (default 57600; 0 = unpaced)\n"
    "  --link PATH           symlink PATH to the slave (removed on exit)\n"
    "  --image FILE          load the 512-byte image (default: built-in image)\n"
    "  --save-image FILE     write the image after each stored block and on exit\n"
    "  --save-font FILE      write the character set as .mcm after character 255 and on exit\n"
    "  --log                 print each received frame to standard error\n"
    "Fault injection:\n"
    "  --never-answer        answer nothing\n"
    "  --test-letter C       answer the link test with letter C instead of R\n"
    "  --drop-block K[:N]    lose the frames of block K (N times; default always)\n"
    "  --drop-char C[:N]     lose the frames of character C (N times; default always)\n"
    "  --forget-block K      acknowledge the frames of block K without storing them\n"
    "  --bytewise            send replies one byte at a time\n"
    "  --byte-gap US         gap between bytes for --bytewise (default 1000 us)\n"
    "  --reply-delay MS      start each answer MS milliseconds after its request\n"
    "  --queue-replies       handle frames one at a time: each answer starts MS after its\n"
    "                        request or after the previous answer ended, if that is later\n"
    "  --answer-time-from FRAME:MS  answer every frame after MS milliseconds from the first\n"
    "                        frame FRAME on (block:N or char:N), as a board turning slow\n"
    "  --answer-time-for FRAME:MS   answer the frames of FRAME (every copy) after MS\n"
    "                        milliseconds, the others as before (a spike)\n"
    "  --lose-first-copy P   lose a frame that is not a repeat of the line before with\n"
    "                        chance P (0.05 or 5%), as a noisy cable; repeats arrive\n"
    "  --seed N              seed of those losses (default 1)\n"
    "  --noise               send a few bytes before every acknowledgement\n"
    "  --bad-dump-check      send a wrong dump check byte\n"
    "  --short-dump N[:T]    send only N dump bytes (T times; default always)\n"
    "  --extra-after-dump N  send N more bytes after the dump\n";

namespace {

// A number within [lo, hi] into `out`.
template <typename T> bool TakeNumber(const std::string& v, long lo, long hi, T& out) {
    long n = 0;
    if (!ParseNumber(v, lo, hi, n))
        return false;
    out = static_cast<T>(n);
    return true;
}

// "block:N:MS" or "char:N:MS": a frame and an answer time.
bool ParseAnswerTime(std::string_view text, TAnswerTime& out) {
    const auto first = text.find(':');
    const auto second = text.find(':', first == std::string_view::npos ? 0 : first + 1);
    if (second == std::string_view::npos)
        return false;
    const std::string_view kind = text.substr(0, first);
    long index = 0;
    long ms = 0;
    const bool block = kind == "block";
    if ((!block && kind != "char") ||
        !ParseNumber(text.substr(first + 1, second - first - 1), 0,
                     block ? kBlockCount - 1 : kCharCount - 1, index) ||
        !ParseNumber(text.substr(second + 1), 0, 60'000, ms))
        return false;
    out = {block ? TFrameKind::Block : TFrameKind::Char, static_cast<int>(index),
           static_cast<unsigned>(ms)};
    return true;
}

// One option: a switch, or one taking a value; Take is false for a value it refuses.
struct TSimulatorOption {
    const char* Name;
    bool TakesValue;
    bool (*Take)(TSimulatorOptions& o, const std::string& v);
};

using O = TSimulatorOptions;
using V = const std::string&;

constexpr TSimulatorOption kOptions[] = {
    {"--never-answer", false, [](O& o, V) { return o.board.neverAnswer = true; }},
    {"--bytewise", false, [](O& o, V) { return o.bytewise = true; }},
    {"--noise", false, [](O& o, V) { return o.board.noise = true; }},
    {"--bad-dump-check", false, [](O& o, V) { return o.board.badDumpCheck = true; }},
    {"--log", false, [](O& o, V) { return o.log = true; }},
    {"--queue-replies", false, [](O& o, V) { return o.queueReplies = true; }},
    {"--baud", true, [](O& o, V v) { return TakeNumber(v, 0, 4'000'000, o.baud); }},
    {"--byte-gap", true, [](O& o, V v) { return TakeNumber(v, 0, 1'000'000, o.byteGapUs); }},
    {"--reply-delay", true, [](O& o, V v) { return TakeNumber(v, 0, 60'000, o.replyDelayMs); }},
    {"--answer-time-from", true, [](O& o, V v) { return ParseAnswerTime(v, o.answerTimeFrom); }},
    {"--answer-time-for", true, [](O& o, V v) { return ParseAnswerTime(v, o.answerTimeFor); }},
    {"--link", true, [](O& o, V v) { return o.linkPath = v, true; }},
    {"--image", true, [](O& o, V v) { return o.imagePath = v, true; }},
    {"--save-image", true, [](O& o, V v) { return o.saveImagePath = v, true; }},
    {"--save-font", true, [](O& o, V v) { return o.saveFontPath = v, true; }},
    {"--test-letter", true,
     [](O& o, V v) {
         return v.size() == 1 && (o.board.testLetter = static_cast<std::uint8_t>(v[0]), true);
     }},
    {"--drop-block", true,
     [](O& o, V v) {
         return ParseIndexTimes(v, kBlockCount - 1, o.board.dropBlock, o.board.dropBlockTimes);
     }},
    {"--forget-block", true,
     [](O& o, V v) { return TakeNumber(v, 0, kBlockCount - 1, o.board.forgetBlock); }},
    {"--drop-char", true,
     [](O& o, V v) {
         return ParseIndexTimes(v, kCharCount - 1, o.board.dropChar, o.board.dropCharTimes);
     }},
    {"--short-dump", true,
     [](O& o, V v) {
         return ParseIndexTimes(v, kDumpSize, o.board.shortDump, o.board.shortDumpTimes);
     }},
    {"--lose-first-copy", true, [](O& o, V v) { return ParseChance(v, o.board.loseFirstCopy); }},
    {"--seed", true, [](O& o, V v) { return TakeNumber(v, 0, 0xFFFFFFFFL, o.board.seed); }},
    {"--extra-after-dump", true,
     [](O& o, V v) { return TakeNumber(v, 0, 1'000'000, o.board.extraAfterDump); }},
};

const TSimulatorOption* FindOption(std::string_view name) {
    for (const TSimulatorOption& option : kOptions)
        if (name == option.Name)
            return &option;
    return nullptr;
}

} // namespace

TParsedArgs ParseSimulatorArgs(const std::vector<std::string>& args) {
    TParsedArgs r;
    for (std::size_t k = 0; k < args.size() && r.error.empty(); ++k) {
        std::string name = args[k];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            r.help = true;
            continue;
        }
        const TSimulatorOption* option = FindOption(name);
        if (!option) {
            r.error = "unknown option \"" + name + "\"";
        } else if (option->TakesValue && !value && k + 1 >= args.size()) {
            r.error = name + ": value missing";
        } else {
            if (option->TakesValue && !value)
                value = args[++k];
            if (!option->Take(r.options, value.value_or(std::string())))
                r.error = name + ": bad value \"" + *value + "\"";
        }
    }
    return r;
}

TBoardImage LoadImageFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open image file " + path + ": " + std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("cannot read image file " + path);
    if (bytes.size() != kImageSize && bytes.size() != kDumpSize)
        throw std::runtime_error("image file " + path + " holds " + std::to_string(bytes.size()) +
                                 " bytes; 512 (or a 513-byte dump) expected");
    TBoardImage image{};
    std::copy_n(bytes.begin(), kImageSize, image.begin());
    return image;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error("cannot create " + tmp + ": " + std::strerror(errno));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out)
            throw std::runtime_error("cannot write " + tmp);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        std::remove(tmp.c_str());
        throw std::runtime_error("cannot replace " + path + ": " + std::strerror(e));
    }
}

std::string DescribeEvent(const TBoardEvent& event) {
    char index[16] = "";
    if (event.index >= 0)
        std::snprintf(index, sizeof index, " %02X", static_cast<unsigned>(event.index & 0xFF));
    std::string out;
    switch (event.kind) {
    case TFrameKind::Test:
        out = "test";
        break;
    case TFrameKind::Read:
        out = "read";
        break;
    case TFrameKind::Block:
        out = std::string("block") + index;
        break;
    case TFrameKind::Char:
        out = std::string("char") + index;
        break;
    case TFrameKind::Unknown:
        return "unknown frame: " + Printable(event.line, 40);
    case TFrameKind::Bad:
        return "bad frame: " + Printable(event.line, 40);
    }
    return out + (event.answered ? ": answered" : ": not answered");
}

TOsdSimulator::TOsdSimulator(TSimulatorOptions options)
    : TOsdSimulator(options, options.imagePath.empty() ? DefaultBoardImage()
                                                       : LoadImageFile(options.imagePath)) {}

TOsdSimulator::TOsdSimulator(TSimulatorOptions options, const TBoardImage& image)
    : options_(std::move(options)), board_(options_.board, image),
      pacer_(ByteTimeNs(options_.baud),
             options_.bytewise ? std::max(1u, options_.byteGapUs) * 1000ull : 0),
      origin_(std::chrono::steady_clock::now()) {
    board_.OnFrame = [this](const TBoardEvent& e) { OnBoardFrame(e); };
}

TOsdSimulator::~TOsdSimulator() {
    try {
        Stop();
    } catch (const std::exception& e) {
        std::cerr << "osdsim: " << e.what() << '\n';
    }
}

void TOsdSimulator::Open() {
    if (master_ >= 0)
        return;
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_ < 0)
        ThrowErrno("eventfd");
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        ThrowErrno("posix_openpt");
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0)
        ThrowErrno("pseudo-terminal set-up");
    slavePath_ = name;
    // Raw mode for the line (termios set through the master apply to the slave): no echo,
    // no CR/LF translation, no signal characters, until the program sets its own mode.
    termios t{};
    if (::tcgetattr(master_, &t) != 0)
        ThrowErrno("tcgetattr");
    ::cfmakeraw(&t);
    if (::tcsetattr(master_, TCSANOW, &t) != 0)
        ThrowErrno("tcsetattr");
    const int fl = ::fcntl(master_, F_GETFL);
    if (fl < 0 || ::fcntl(master_, F_SETFL, fl | O_NONBLOCK) != 0)
        ThrowErrno("fcntl");
    // While nobody holds the slave open the master reads EIO and polls as hung up; keeping
    // it open here lets the program close and reopen its port at will.
    slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveHold_ < 0)
        ThrowErrno("open " + slavePath_);

    if (!options_.linkPath.empty()) {
        struct stat st {};
        if (::lstat(options_.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode))
                throw std::runtime_error(options_.linkPath + " exists and is not a symlink");
            ::unlink(options_.linkPath.c_str());
        }
        if (::symlink(slavePath_.c_str(), options_.linkPath.c_str()) != 0)
            ThrowErrno("symlink " + options_.linkPath);
        linkMade_ = true;
    }
}

void TOsdSimulator::Start() {
    Open();
    if (thread_.joinable())
        return;
    stop_ = false;
    thread_ = std::thread([this] { Loop(); });
}

void TOsdSimulator::Run() {
    Open();
    Loop();
}

void TOsdSimulator::RequestStop() noexcept {
    stop_.store(true);
    if (wake_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    }
}

void TOsdSimulator::Stop() {
    RequestStop();
    if (thread_.joinable())
        thread_.join();
    if (master_ >= 0) {
        // Final files, as the program left the board.
        SaveImage();
        SaveFont();
    }
    if (linkMade_) {
        // Remove the link only while it still points to this pseudo-terminal.
        char target[256];
        const ssize_t n = ::readlink(options_.linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string_view(target, static_cast<std::size_t>(n)) == slavePath_)
            ::unlink(options_.linkPath.c_str());
        linkMade_ = false;
    }
    CloseFd(slaveHold_);
    CloseFd(master_);
    CloseFd(wake_);
}

TBoardImage TOsdSimulator::Image() const {
    std::lock_guard lock(mutex_);
    return board_.Image();
}

TBoardFont TOsdSimulator::Font() const {
    std::lock_guard lock(mutex_);
    return board_.Font();
}

TBoardStats TOsdSimulator::Stats() const {
    std::lock_guard lock(mutex_);
    return board_.Stats();
}

bool TOsdSimulator::CharStored(int c) const {
    std::lock_guard lock(mutex_);
    return board_.CharStored(c);
}

std::vector<TBoardEvent> TOsdSimulator::History() const {
    std::lock_guard lock(mutex_);
    return history_;
}

std::vector<std::uint64_t> TOsdSimulator::AckToFrameUs() const {
    std::lock_guard lock(mutex_);
    return samples_;
}

std::vector<std::uint64_t> TOsdSimulator::AckLateUs() const {
    std::lock_guard lock(mutex_);
    return lateSamples_;
}

void TOsdSimulator::ClearSamples() {
    std::lock_guard lock(mutex_);
    samples_.clear();
    lateSamples_.clear();
}

bool TOsdSimulator::WaitFor(const std::function<bool(const TOsdBoard&)>& done,
                            std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done(board_); });
}

void TOsdSimulator::SetLogSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(mutex_);
    logSink_ = std::move(sink);
}

std::uint64_t TOsdSimulator::NowNs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now() - origin_)
                                          .count());
}

// When an answer produced at `now`, taking `delayMs`, starts on the line.
std::uint64_t TOsdSimulator::ReplyStart(std::uint64_t now, unsigned delayMs) const {
    const std::uint64_t delay = delayMs * 1'000'000ull;
    if (options_.queueReplies)
        return std::max(now, pacer_.OutEnd()) + delay;
    return now + delay;
}

// How long the board takes over a frame: --answer-time-for's frame its own time; once
// --answer-time-from's frame has come, that time for every frame; else --reply-delay.
unsigned TOsdSimulator::AnswerDelayMs(const TBoardEvent& event) {
    if (options_.answerTimeFor.Matches(event))
        return options_.answerTimeFor.ms;
    slowFrom_ = slowFrom_ || options_.answerTimeFrom.Matches(event);
    return slowFrom_ ? options_.answerTimeFrom.ms : options_.replyDelayMs;
}

// The bytes that have reached the board by `now`: handled line by line, so that each
// frame's answer is timed on its own.
void TOsdSimulator::TakeInput(std::uint64_t now) {
    std::uint64_t lastDue = now;
    const std::string in = pacer_.TakeArrived(now, &lastDue);
    if (in.empty())
        return;
    inputLagNs_ = now - lastDue;
    std::vector<std::pair<std::string, unsigned>> replies; // each with its answer time
    std::vector<std::string> log;
    std::function<void(const std::string&)> sink;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t from = 0; from < in.size();) {
            const std::size_t end = std::min(in.find('\n', from), in.size() - 1) + 1;
            replyDelayMs_ = options_.replyDelayMs;
            std::string reply = board_.Receive(std::string_view(in).substr(from, end - from));
            replies.emplace_back(std::move(reply), replyDelayMs_);
            from = end;
        }
        log.swap(pendingLog_);
        sink = logSink_;
    }
    changed_.notify_all();
    for (const std::string& line : log) {
        if (sink)
            sink(line);
        else
            std::cerr << line << std::endl;
    }
    for (const auto& [reply, delayMs] : replies)
        if (!reply.empty())
            pacer_.Send(reply, ReplyStart(now, delayMs));
}

// Runs inside board_.Receive, with mutex_ held.
void TOsdSimulator::OnBoardFrame(const TBoardEvent& event) {
    replyDelayMs_ = AnswerDelayMs(event);
    if (history_.size() < kHistoryCap)
        history_.push_back(event);
    if (options_.log)
        pendingLog_.push_back("osdsim: " + DescribeEvent(event)); // written by Loop, unlocked
    try {
        if (event.kind == TFrameKind::Block && event.answered)
            SaveImage();
        if (event.kind == TFrameKind::Char && event.answered && event.index == kCharCount - 1)
            SaveFont();
    } catch (const std::exception& e) {
        // A file that cannot be written must not stop the board answering.
        std::cerr << "osdsim: " << e.what() << std::endl;
    }
}

void TOsdSimulator::SaveImage() {
    if (options_.saveImagePath.empty())
        return;
    const TBoardImage& img = board_.Image();
    WriteFileAtomically(options_.saveImagePath,
                        std::string_view(reinterpret_cast<const char*>(img.data()), img.size()));
}

void TOsdSimulator::SaveFont() {
    if (!options_.saveFontPath.empty())
        WriteFileAtomically(options_.saveFontPath, FontToMcm(board_.Font()));
}

// Writes the output that is due by `now` (advanced as writing takes time); true when the
// pty refused it (the program is not reading: wait for POLLOUT).
bool TOsdSimulator::WriteDueOutput(std::uint64_t& now) {
    for (std::size_t due = pacer_.DueOut(now); due > 0; due = pacer_.DueOut(now)) {
        const std::uint64_t frontDue = pacer_.FrontOutDue().value_or(now);
        ssize_t w;
        {
            // Samples are recorded under the lock held across the write, so whoever has read
            // the acknowledgement finds its sample.
            std::lock_guard lock(mutex_);
            w = ::write(master_, pacer_.PendingOut().data(), due);
            if (w > 0 && std::string_view(pacer_.PendingOut().data(), static_cast<std::size_t>(w))
                                 .find('+') != std::string_view::npos) {
                const std::uint64_t at = NowNs();
                ackWrittenNs_ = at;
                lateSamples_.push_back((inputLagNs_ + (at > frontDue ? at - frontDue : 0)) / 1000);
            }
        }
        if (w > 0) {
            pacer_.Written(static_cast<std::size_t>(w), now);
            now = NowNs();
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno == EAGAIN)
            return true;
        pacer_.Clear(); // the line is gone: what was queued can never arrive
        break;
    }
    return false;
}

void TOsdSimulator::Loop() {
    // Wake-ups as exact as the kernel gives them: pacing sleeps are a byte time (174 us at
    // 57600 baud) long, and the default 50 us slack would be a large part of that.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    char buf[4096];
    bool outBlocked = false; // the pty refused output: wait for POLLOUT
    bool hungUp = false;     // the master reported a hang-up: stop watching it for a while
    while (!stop_.load()) {
        std::uint64_t now = NowNs();

        // Bytes that have reached the board by now.
        TakeInput(now);

        // Output that is due.
        outBlocked = WriteDueOutput(now);

        // Sleep until the next byte is due, the pty has input (or room), or a stop request.
        // Output refused by a full pty waits for POLLOUT instead of its due time.
        std::optional<std::uint64_t> wakeAt = pacer_.NextInDue();
        if (const auto out = pacer_.FrontOutDue(); out && !outBlocked)
            wakeAt = wakeAt ? std::min(*wakeAt, *out) : *out;
        if (hungUp) // look at the pty again later; meanwhile only the stop request
            wakeAt = std::min(wakeAt.value_or(UINT64_MAX), now + 50'000'000);
        timespec ts{};
        timespec* timeout = nullptr;
        if (wakeAt) {
            const std::uint64_t wait = *wakeAt > now ? *wakeAt - now : 0;
            ts.tv_sec = static_cast<time_t>(wait / 1'000'000'000);
            ts.tv_nsec = static_cast<long>(wait % 1'000'000'000);
            timeout = &ts;
        }
        pollfd fds[2] = {{wake_, POLLIN, 0}, {hungUp ? -1 : master_, POLLIN, 0}};
        if (outBlocked)
            fds[1].events |= POLLOUT;
        hungUp = false;
        const int rc = ::ppoll(fds, 2, timeout, nullptr);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            std::cerr << "osdsim: poll: " << std::strerror(errno) << std::endl;
            return;
        }
        if (fds[0].revents & POLLIN)
            break;
        if (fds[1].revents & POLLIN) {
            for (;;) {
                const ssize_t n = ::read(master_, buf, sizeof buf);
                if (n > 0) {
                    const std::uint64_t at = NowNs();
                    const std::string_view got(buf, static_cast<std::size_t>(n));
                    if (ackWrittenNs_ && got.find('$') != std::string_view::npos) {
                        std::lock_guard lock(mutex_);
                        samples_.push_back((at - *ackWrittenNs_) / 1000);
                        ackWrittenNs_.reset();
                    }
                    pacer_.Arrive(got, at);
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno == EIO)
                    hungUp = true;
                break;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            hungUp = true;
        }
    }
}

} // namespace halvex::sim
