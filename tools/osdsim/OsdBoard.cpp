#include "OsdBoard.h"

#include "config/ConfigImage.h"

#include <algorithm>
#include <numeric>

namespace halvex::sim {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Value of an upper-case hex digit, or -1. Lower case is refused: the program always
// writes upper case, and a board that accepted anything would hide such a fault.
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendHex(std::string& out, std::uint8_t b) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0x0F]);
}

// Bytes sent before "#" by the noise option: none of them is "#" or "+", so a program
// that ignores bytes outside "#" ... "+" is not disturbed.
constexpr std::string_view kNoise{"\x00~?\xFE\r\n", 6};

// Consumes one count of a limited fault; `times` < 0 means the fault is permanent.
bool TakeFault(int times, int& left) {
    if (times < 0)
        return true;
    if (left > 0) {
        --left;
        return true;
    }
    return false;
}

} // namespace

int TBoardStats::BlockFramesTotal() const {
    return std::accumulate(blockFrames.begin(), blockFrames.end(), 0);
}

int TBoardStats::CharFramesTotal() const {
    return std::accumulate(charFrames.begin(), charFrames.end(), 0);
}

TBoardImage DefaultBoardImage() {
    TBoardImage img{};
    std::uint8_t* b = img.data();
    SetFieldValue(b, field::FirmwareVersion, 0x0105);                     // "Firmware: v1.05 HX"
    SetFieldValue(b, field::Mode, 2);                                     // ALL
    SetFieldValue(b, field::Config, cfg::Pal | (1 << cfg::ChannelShift)); // PAL, RC channel 7
    SetFieldValue(b, field::Alarms, 0x7F);                                // all but temperature
    SetFieldValue(b, field::MinThempAlarm, -10);                          // degrees C
    SetFieldValue(b, field::MaxThempAlarm, 85);
    SetFieldValue(b, field::BattAlarm, 0x8A); // video 3.3 V, motor 3.5 V
    SetFieldValue(b, field::Themp0Cal, 560);
    SetFieldValue(b, field::Themp100Cal, 760);
    SetFieldValue(b, field::Odometer, 123456); // 123.456 km
    SetFieldValue(b, field::MahAlarm, 2200);
    SetFieldValue(b, field::DistAlarm, 2000);
    SetFieldValue(b, field::FlytimAlarm, 12);
    SetFieldValue(b, field::AltAlarm, 30); // 300 m
    SetFieldValue(b, field::BattCal, 200);
    SetFieldValue(b, field::RssiAlarm, 35);

    // Item positions on the 30 x 16 PAL screen, shared by the three layout modes; the
    // modes differ in which items are visible. Item 0 holds the horizon's sensitivities.
    struct TPlace {
        std::uint8_t x, y, flags;
    };
    constexpr TPlace kPlaces[kItemCount] = {
        {100, 100, 0},          // 0 horizon: Nick, Roll
        {1, 1, 0},              // 1 on time
        {23, 1, 0},             // 2 fly time
        {1, 2, 0},              // 3 video battery
        {23, 2, 0},             // 4 engine battery
        {1, 13, 0},             // 5 motor current
        {1, 14, 0},             // 6 consumed mAh
        {23, 7, 0},             // 7 height
        {1, 7, 0},              // 8 speed
        {23, 13, 0},            // 9 distance from base
        {13, 1, 0},             // 10 RSSI
        {24, 3, 0},             // 11 satellites (HDOP shown)
        {28, 8, 0},             // 12 variometer
        {1, 15, 0},             // 13 latitude
        {18, 15, 0},            // 14 longitude
        {12, 2, 0},             // 15 compass
        {14, 13, 0},            // 16 course to base
        {12, 14, flag::Small},  // 17 user name
        {1, 4, 0},              // 18 flying mode
        {24, 14, flag::Option}, // 19 temperature, external sensor
    };
    constexpr bool kVisibleMin[kItemCount] = {true,  false, true,  true,  true,  false, false,
                                              true,  false, true,  true,  false, false, false,
                                              false, false, false, false, true,  false};
    for (int m = 0; m < kLayoutModes; ++m) {
        for (int i = 0; i < kItemCount; ++i) {
            const bool visible = m == 2 || (m == 1 && kVisibleMin[i]) || (m == 0 && i == 3);
            const std::size_t at = ItemRecordOffset(m, i);
            b[at] = static_cast<std::uint8_t>(kPlaces[i].flags | (visible ? flag::Visible : 0));
            b[at + 1] = kPlaces[i].x;
            b[at + 2] = kPlaces[i].y;
        }
    }
    std::fill(img.begin() + ofs::UnusedFillStart, img.begin() + ofs::UserName, 0xFF);
    constexpr std::string_view kName = "Pilot";
    std::copy(kName.begin(), kName.end(), img.begin() + ofs::UserName);
    img[ofs::UserName + kName.size()] = 0x00;
    return img;
}

std::uint8_t DumpCheck(const TBoardImage& image) {
    unsigned s = 0xAA;
    for (std::uint8_t b : image)
        s += b;
    return static_cast<std::uint8_t>(s & 0xFF);
}

std::uint8_t FrameCheck(std::string_view payload) {
    unsigned s = 1;
    for (char c : payload)
        s += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

std::string BuildFrame(char letter, std::string_view payload) {
    std::string f;
    f.reserve(6 + 2 * payload.size());
    f.push_back('$');
    f.push_back(letter);
    for (char c : payload)
        AppendHex(f, static_cast<std::uint8_t>(c));
    AppendHex(f, FrameCheck(payload));
    f += "\r\n";
    return f;
}

std::string FontToMcm(const TBoardFont& font) {
    std::string out;
    out.reserve(9 + kCharCount * 64 * 10);
    out += "MAX7456\r\n";
    for (const TBoardChar& ch : font) {
        for (std::size_t r = 0; r < 64; ++r) {
            const std::uint8_t v = r < kCharBytes ? ch[r] : 0;
            for (int bit = 7; bit >= 0; --bit)
                out.push_back(((v >> bit) & 1) ? '1' : '0');
            out += "\r\n";
        }
    }
    return out;
}

TOsdBoard::TOsdBoard(TBoardOptions options, const TBoardImage& image)
    : options_(options), image_(image), blockDropsLeft_(std::max(options.dropBlockTimes, 0)),
      charDropsLeft_(std::max(options.dropCharTimes, 0)),
      shortDumpsLeft_(std::max(options.shortDumpTimes, 0)), random_(options.seed) {
    line_.reserve(kMaxLine);
}

std::string TOsdBoard::Receive(std::string_view bytes) {
    std::string reply;
    for (char c : bytes) {
        if (c == '$') {
            // A new frame starts; an unfinished one before it is lost.
            if (inFrame_)
                stats_.ignoredBytes += line_.size();
            line_.assign(1, '$');
            inFrame_ = true;
            overlong_ = false;
        } else if (!inFrame_) {
            ++stats_.ignoredBytes;
        } else if (c == '\n') {
            HandleLine(reply);
            line_.clear();
            inFrame_ = false;
        } else if (line_.size() < kMaxLine) {
            line_.push_back(c);
        } else {
            overlong_ = true; // keep the buffer bounded; the line is bad when it ends
        }
    }
    return reply;
}

void TOsdBoard::HandleLine(std::string& reply) {
    // line_ is "$", letter, hex digits, CR (the LF is not stored).
    const std::string_view line(line_);
    const std::string_view shown = line.substr(0, line.size() - (line.back() == '\r' ? 1 : 0));
    if (overlong_ || line.size() < 6 || line.back() != '\r') {
        Report(TFrameKind::Bad, -1, false, shown);
        return;
    }
    const char letter = line[1];
    const std::string_view digits = line.substr(2, line.size() - 3);
    if ((letter != 'w' && letter != 'c') || digits.size() % 2 != 0) {
        Report(TFrameKind::Bad, -1, false, shown);
        return;
    }
    std::string bytes;
    bytes.reserve(digits.size() / 2);
    unsigned sum = 0;
    for (std::size_t k = 0; k < digits.size(); k += 2) {
        const int hi = HexValue(digits[k]);
        const int lo = HexValue(digits[k + 1]);
        if (hi < 0 || lo < 0) {
            Report(TFrameKind::Bad, -1, false, shown);
            return;
        }
        const auto b = static_cast<std::uint8_t>(hi * 16 + lo);
        bytes.push_back(static_cast<char>(b));
        sum += b;
    }
    if ((sum & 0xFF) != 0xFF) {
        Report(TFrameKind::Bad, -1, false, shown);
        return;
    }
    const std::string_view payload = std::string_view(bytes).substr(0, bytes.size() - 1);
    const auto index = payload.empty() ? -1 : static_cast<std::uint8_t>(payload[0]);

    TFrameKind kind = TFrameKind::Unknown;
    if (letter == 'w' && payload == "tst")
        kind = TFrameKind::Test;
    else if (letter == 'w' && payload == "erd")
        kind = TFrameKind::Read;
    else if (letter == 'w' && payload.size() == 1 + kBlockSize && index < kBlockCount)
        kind = TFrameKind::Block;
    else if (letter == 'c' && payload.size() == 1 + kCharBytes)
        kind = TFrameKind::Char;

    switch (kind) {
    case TFrameKind::Test:
        ++stats_.testFrames;
        break;
    case TFrameKind::Read:
        ++stats_.readFrames;
        break;
    case TFrameKind::Block:
        ++stats_.blockFrames[static_cast<std::size_t>(index)];
        break;
    case TFrameKind::Char:
        ++stats_.charFrames[static_cast<std::size_t>(index)];
        break;
    default:
        ++stats_.unknownFrames;
        Report(kind, -1, false, shown);
        return;
    }
    const int reportIndex = kind == TFrameKind::Block || kind == TFrameKind::Char ? index : -1;
    if (options_.neverAnswer) {
        Report(kind, reportIndex, false, shown);
        return;
    }
    if (LoseFirstCopy(shown)) {
        ++stats_.lostCopies;
        Report(kind, reportIndex, false, shown);
        return;
    }

    switch (kind) {
    case TFrameKind::Test:
        Acknowledge(reply, options_.testLetter);
        break;
    case TFrameKind::Read:
        SendDump(reply);
        break;
    case TFrameKind::Block:
        if (index == options_.dropBlock && TakeFault(options_.dropBlockTimes, blockDropsLeft_)) {
            Report(kind, index, false, shown);
            return;
        }
        if (index != options_.forgetBlock)
            std::copy(payload.begin() + 1, payload.end(), image_.begin() + kBlockSize * index);
        Acknowledge(reply, 0);
        break;
    default: // Char
        if (index == options_.dropChar && TakeFault(options_.dropCharTimes, charDropsLeft_)) {
            Report(kind, index, false, shown);
            return;
        }
        std::copy(payload.begin() + 1, payload.end(), font_[index].begin());
        charStored_[index] = true;
        Acknowledge(reply, 0);
        break;
    }
    Report(kind, reportIndex, true, shown);
}

bool TOsdBoard::LoseFirstCopy(std::string_view line) {
    const bool repeat = line == lastLine_;
    lastLine_.assign(line);
    if (repeat || options_.loseFirstCopy <= 0)
        return false;
    // The generator's 32-bit draws, compared with the chance scaled to 2^32.
    return static_cast<double>(random_()) < options_.loseFirstCopy * 4294967296.0;
}

void TOsdBoard::Acknowledge(std::string& reply, std::uint8_t letter) {
    if (options_.noise)
        reply += kNoise;
    reply.push_back('#');
    if (letter != 0)
        reply.push_back(static_cast<char>(letter));
    reply.push_back('+');
    ++stats_.acksSent;
}

void TOsdBoard::SendDump(std::string& reply) {
    std::string dump(image_.begin(), image_.end());
    std::uint8_t check = DumpCheck(image_);
    if (options_.badDumpCheck)
        check = static_cast<std::uint8_t>(check + 1);
    dump.push_back(static_cast<char>(check));

    std::size_t n = kDumpSize;
    if (options_.shortDump >= 0 && TakeFault(options_.shortDumpTimes, shortDumpsLeft_))
        n = std::min<std::size_t>(static_cast<std::size_t>(options_.shortDump), kDumpSize);
    reply.append(dump, 0, n);
    // A late repeat of the dump: the same bytes again, as far as asked.
    for (int k = 0; k < options_.extraAfterDump; ++k)
        reply.push_back(dump[static_cast<std::size_t>(k) % kDumpSize]);
    ++stats_.dumpsSent;
}

void TOsdBoard::Report(TFrameKind kind, int index, bool answered, std::string_view line) {
    if (kind == TFrameKind::Bad)
        ++stats_.badFrames;
    if (OnFrame)
        OnFrame(TBoardEvent{kind, index, answered, std::string(line)});
}

} // namespace halvex::sim
