// Reader of MAX7456 character set files (.mcm).
//
// Text format: line 1 is exactly "MAX7456"; then 64 lines per character for 256
// characters, each line eight digits, the first one bit 7. Line ends may be CR LF, CR or
// LF; the last line may lack its end. A digit counts as 1 only when it is '1'; only the
// first 8 characters of a row are looked at. Rows 0..54 of each character are kept (they
// are what the board stores); rows 55..63 are ignored. Lines after the 16385th are never
// looked at.
//
// The whole file is checked before anything is sent: fewer than 16385 lines, or a row
// shorter than 8 characters, make the file bad. The same check gates the preview font. A
// set of 512 characters (1 + 512 * 64 lines, as INAV's) is good: the board takes its first
// 256, and TMcmNotes says how many it holds.
//
// A character's picture (as the MAX7456 draws it): 12 x 18 pixels, 2 bits each, four
// pixels to a byte with the leftmost in the top bits, three bytes to a row, so the first
// 54 stored bytes. 00 is black, 10 is white, 01 and 11 are transparent.
#pragma once

#include "config/Messages.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvex {

constexpr std::size_t kFontChars = 256;
constexpr std::size_t kFontRowsSent = 55; // rows per character sent to the board
constexpr std::size_t kFontRowsInFile = 64;
constexpr std::size_t kMcmLines = 1 + kFontChars * kFontRowsInFile; // 16385

using TFontChar = std::array<std::uint8_t, kFontRowsSent>;
using TFontSet = std::array<TFontChar, kFontChars>;

// What the user is told about a set file besides its characters.
struct TMcmNotes {
    // Why a bad file is refused: BadFileFormat, or BadSetHeader when its first line is
    // "MAX7456" once a byte-order mark before it, blanks around it or letter case are set
    // aside (the header must be exact; the message says so).
    TMessage Refusal = TMessage::BadFileFormat;
    // The whole characters of 64 rows the file holds after its header: 256 for a set as the
    // board takes it, 512 for INAV's (the board takes characters 0-255).
    std::size_t Characters = 0;
};
TMcmNotes McmNotes(std::string_view text);

// Parses a whole file held in memory; nullopt means it is refused (`notes` say why).
std::optional<TFontSet> ParseMcm(std::string_view text, TMcmNotes* notes = nullptr);

// Where the 16385 lines of a good file lie: line k (0 is the header) starts at byte Start[k]
// and holds Length[k] bytes before its line end, which runs up to Start[k + 1].
// Start[kMcmLines] is the first byte after the last line's end; whatever follows it (more
// lines) is never read. nullopt when the file is bad, by the same rule as ParseMcm.
struct TMcmLines {
    std::vector<std::uint32_t> Start;  // kMcmLines + 1 offsets
    std::vector<std::uint32_t> Length; // kMcmLines lengths
};
std::optional<TMcmLines> IndexMcm(std::string_view text);
// The byte a row stands for: its first 8 characters, '1' for a one bit, the first bit 7.
std::uint8_t McmRowByte(std::string_view row);

// Reads the file at `path` and parses it. When the file cannot be opened or read it
// throws EFileError (config/FileError.h: "File not found", "File access denied", "is a
// folder" or "I/O error <errno>", with the quoted path). At most kMcmReadLimit bytes are
// read (a character set file is about 150 KB; this keeps devices and endless files
// harmless); nullopt means it is refused (`notes` say why).
constexpr std::size_t kMcmReadLimit = 8u << 20;
std::optional<TFontSet> LoadMcm(const std::string& path, TMcmNotes* notes = nullptr);
// The file's bytes, read as LoadMcm reads them (same errors, same limit).
std::string ReadMcmFile(const std::string& path);
// Replaces the file at `path` with `text` whole or not at all (a temporary file beside it,
// renamed over it once written and synced); a new file gets the usual permissions (0666
// less the umask), a replaced one keeps its own; a symbolic link is kept and the file it
// names replaced. Throws EFileError as LoadMcm does.
void WriteMcmFile(const std::string& path, std::string_view text);

constexpr int kGlyphWidth = 12;
constexpr int kGlyphHeight = 18;
constexpr std::size_t kGlyphBytes = kGlyphWidth * kGlyphHeight / 4; // 54

enum class TGlyphPixel : std::uint8_t { Black, White, Transparent };
// Pixels row by row, kGlyphWidth to a row.
using TGlyph = std::array<TGlyphPixel, kGlyphWidth * kGlyphHeight>;
using TGlyphSet = std::array<TGlyph, kFontChars>;

// The pixel a 2-bit value stands for (only the low two bits of `bits` count).
constexpr TGlyphPixel GlyphPixel(unsigned bits) {
    switch (bits & 3u) {
    case 0:
        return TGlyphPixel::Black;
    case 2:
        return TGlyphPixel::White;
    default:
        return TGlyphPixel::Transparent;
    }
}
TGlyph DecodeGlyph(const TFontChar& ch);
TGlyphSet DecodeFont(const TFontSet& set);

} // namespace halvex
