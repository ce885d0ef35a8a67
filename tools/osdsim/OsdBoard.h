// The simulated OSD board: the link behaviour of the real board, byte stream in,
// reply bytes out, with no I/O and no clock. TOsdSimulator puts it behind a
// pseudo-terminal; tests drive it directly.
//
// What the board understands (lines of printable ASCII ending CR LF; anything between
// lines is ignored):
//   "$w747374A4"                    link test      -> "#" letter "+" (letter "R")
//   "$w657264C4"                    read request   -> 513 raw bytes: image + check byte
//   "$w" index(00..0F) 32 bytes chk configuration block -> stored at 32*index, "#+"
//   "$c" index(00..FF) 55 bytes chk character      -> stored in the character set, "#+"
// Payload bytes are two upper-case hex digits each; the check byte makes the 8-bit sum
// of the payload and the check equal 0xFF. A frame failing any of this is ignored
// (counted as bad). The same frame may arrive any number of times; each is stored and
// acknowledged again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace halvex::sim {

constexpr std::size_t kImageSize = 512;
constexpr std::size_t kDumpSize = 513; // the image and its check byte
constexpr int kBlockCount = 16;
constexpr std::size_t kBlockSize = 32;
constexpr int kCharCount = 256;
constexpr std::size_t kCharBytes = 55; // rows 0..54 of a character; the board keeps no more
constexpr std::size_t kMaxLine = 118;  // the longest frame, "$c" + 56 bytes + check + CR LF

using TBoardImage = std::array<std::uint8_t, kImageSize>;
using TBoardChar = std::array<std::uint8_t, kCharBytes>;
using TBoardFont = std::array<TBoardChar, kCharCount>;

// Fault injection. The defaults give a well-behaved board.
struct TBoardOptions {
    bool neverAnswer = false;      // frames are counted but nothing is stored or answered
    std::uint8_t testLetter = 'R'; // letter of the link test acknowledgement
    int dropBlock = -1;            // frames of this block index are lost (not stored, no ack)
    int dropBlockTimes = -1;       // ... this many times, then handled; < 0 = always
    int forgetBlock = -1;          // frames of this block are acknowledged but not stored
    int dropChar = -1;             // same as dropBlock for one character index
    int dropCharTimes = -1;
    bool noise = false;        // a few bytes (never "#" or "+") before every "#"
    bool badDumpCheck = false; // the dump's check byte is off by one
    int shortDump = -1;        // send only this many dump bytes; < 0 = all 513
    int shortDumpTimes = -1;   // ... for this many dumps, then whole ones; < 0 = always
    int extraAfterDump = 0;    // bytes sent after the dump (the dump again, as a late repeat)
    // A noisy cable: a frame that is not a repeat of the line before it is lost (not
    // stored, no answer) with this chance, 0..1; repeats always arrive.
    double loseFirstCopy = 0;
    std::uint32_t seed = 1; // of the losses above
};

enum class TFrameKind {
    Test,    // link test request
    Read,    // read request
    Block,   // configuration block
    Char,    // character
    Unknown, // well-formed frame with a payload the board has no use for
    Bad,     // malformed line: wrong letter, digits, length, check byte or line end
};

// One received line and what the board did with it.
struct TBoardEvent {
    TFrameKind kind = TFrameKind::Bad;
    int index = -1;        // block or character index; -1 otherwise
    bool answered = false; // an acknowledgement or dump was produced
    std::string line;      // the line as received, without CR LF (bad lines: as far as kept)
};

struct TBoardStats {
    int testFrames = 0;
    int readFrames = 0;
    std::array<int, kBlockCount> blockFrames{}; // frames received per block index
    std::array<int, kCharCount> charFrames{};   // frames received per character index
    int unknownFrames = 0;
    int badFrames = 0;
    int acksSent = 0;
    int dumpsSent = 0;
    int lostCopies = 0;             // frames lost by loseFirstCopy
    std::uint64_t ignoredBytes = 0; // bytes outside any frame

    int BlockFramesTotal() const;
    int CharFramesTotal() const;
};

// A plausible board image: firmware 1.05, layout mode ALL, PAL, sensible alarms and
// calibrations, all 20 item records placed in the three layout modes, user name "Pilot".
TBoardImage DefaultBoardImage();

// The dump check byte: (0xAA + sum of the 512 image bytes) mod 256.
std::uint8_t DumpCheck(const TBoardImage& image);

// Check byte of a frame payload: the 8-bit sum of payload and check is 0xFF.
std::uint8_t FrameCheck(std::string_view payload);

// A frame as the program sends it: "$" letter, payload in upper-case hex, check, CR LF.
std::string BuildFrame(char letter, std::string_view payload);

// The character set as a .mcm text file: "MAX7456", then 64 rows of eight binary digits
// per character (rows 55..63, which the board does not keep, as "00000000"), CR LF ends.
std::string FontToMcm(const TBoardFont& font);

class TOsdBoard {
public:
    explicit TOsdBoard(TBoardOptions options = {}, const TBoardImage& image = DefaultBoardImage());

    // Bytes from the line, in any split. Returns the reply bytes the board sends, in order.
    std::string Receive(std::string_view bytes);

    const TBoardImage& Image() const { return image_; }
    void SetImage(const TBoardImage& image) { image_ = image; }
    const TBoardFont& Font() const { return font_; }
    // True once a frame of character c has been stored.
    bool CharStored(int c) const { return charStored_[static_cast<std::size_t>(c & 0xFF)]; }
    const TBoardStats& Stats() const { return stats_; }
    const TBoardOptions& Options() const { return options_; }

    // Raised for every complete line, after it has been acted on.
    std::function<void(const TBoardEvent&)> OnFrame;

private:
    void HandleLine(std::string& reply);
    void Acknowledge(std::string& reply, std::uint8_t letter);
    void SendDump(std::string& reply);
    void Report(TFrameKind kind, int index, bool answered, std::string_view line);
    bool LoseFirstCopy(std::string_view line);

    TBoardOptions options_;
    TBoardImage image_;
    TBoardFont font_{};
    std::array<bool, kCharCount> charStored_{};
    TBoardStats stats_;
    std::string line_;       // the frame being received, from its "$"
    bool inFrame_ = false;   // a "$" has been seen and no line end yet
    bool overlong_ = false;  // the current line outgrew every frame: bad when it ends
    int blockDropsLeft_ = 0; // remaining losses for dropBlock (when counted)
    int charDropsLeft_ = 0;  // remaining losses for dropChar (when counted)
    int shortDumpsLeft_ = 0; // remaining short dumps (when counted)
    std::mt19937 random_;    // loseFirstCopy draws
    std::string lastLine_;   // the last well-formed frame, to tell a repeat
};

} // namespace halvex::sim
