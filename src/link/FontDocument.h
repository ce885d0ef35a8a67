// A character set being edited: the 256 characters with all 64 stored rows each and, for a
// set read from a file, that file's text, so that saving touches only what was changed.
//
// Rows 0..53 of a character are its picture (FontFile.h); row 54 is sent to the board but
// drawn by nothing; rows 55..63 are only stored in the file. Editing changes pictures only:
// rows 54..63 stay as read, and are 01010101 in a character made here.
//
// Saving (McmText):
//  - a set read from a file keeps that file's bytes: the header, every row whose byte is
//    the one the file held (with its own digits and line end), and whatever followed line
//    16385; a changed row gets eight digits before its own line end. An unedited set so
//    saves byte for byte as read, whatever its line ends, and a changed one differs only in
//    the rows that changed;
//  - a set made here (from the built-in pictures) is written as the format is: "MAX7456",
//    then 16384 lines of eight digits, every line ended by CR LF.
#pragma once

#include "link/FontFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvex {

constexpr std::uint8_t kFillRow = 0x55; // rows 54..63 of a character made here: 01010101

using TMcmChar = std::array<std::uint8_t, kFontRowsInFile>;
using TMcmChars = std::array<TMcmChar, kFontChars>;

// The picture of a stored character.
TGlyph McmCharGlyph(const TMcmChar& ch);

class TFontDocument {
public:
    // A set made here from pictures (the built-in font); no file behind it.
    explicit TFontDocument(const TGlyphSet& glyphs);
    // A set read from a whole file's text; nullopt: refused (`notes` say why).
    static std::optional<TFontDocument> Parse(std::string text, TMcmNotes* notes = nullptr);
    // Reads and parses the file at `path`: errors as LoadMcm, and "File too large" for a file
    // as long as the read limit, which saving could not keep whole.
    static std::optional<TFontDocument> Load(const std::string& path, TMcmNotes* notes = nullptr);

    // Read from a file (saving keeps its bytes), or made here.
    bool FromFile() const { return lines_.has_value(); }
    // The characters the file holds (TMcmNotes): more than 256 for INAV's sets, of which
    // the first 256 are edited and sent, the rest kept for saving; 256 for a set made here.
    std::size_t FileCharacters() const { return fileCharacters_; }

    const TMcmChars& Chars() const { return chars_; }
    const TMcmChar& Char(std::size_t code) const { return chars_.at(code); }
    void SetChar(std::size_t code, const TMcmChar& ch) { chars_.at(code) = ch; }

    TGlyph Glyph(std::size_t code) const { return McmCharGlyph(chars_.at(code)); }
    TGlyphSet Glyphs() const;
    // Gives character `code` the picture `glyph`. A pixel that already shows what `glyph`
    // asks keeps its two bits (01 and 11 are both transparent), so mapping the same
    // picture again changes no byte. True when a byte changed.
    bool SetGlyph(std::size_t code, const TGlyph& glyph);
    // Copies the picture rows (0..53) of `from` into character `code`; its other rows stay.
    bool PastePicture(std::size_t code, const TMcmChar& from);

    // The 55 rows of each character that go to the board.
    TFontSet Sent() const;
    // The file as saving writes it (see above).
    std::string McmText() const;

    // Changed since it was read, made or last saved.
    bool Modified() const { return chars_ != saved_; }
    void MarkSaved() { saved_ = chars_; }

private:
    TFontDocument() = default;

    TMcmChars chars_{};
    TMcmChars saved_{};
    // The file read: its text, where its lines lie and the rows it held.
    std::string source_;
    std::optional<TMcmLines> lines_;
    TMcmChars sourceChars_{};
    std::size_t fileCharacters_ = kFontChars;
};

// One undoable change of a set: the characters it changed, before and after.
struct TFontStep {
    struct TChange {
        std::uint8_t Code;
        TMcmChar Before;
        TMcmChar After;
    };
    std::vector<TChange> Changes;

    // The characters that differ between two states of a set.
    static TFontStep Between(const TMcmChars& before, const TMcmChars& after);
    bool Empty() const { return Changes.empty(); }
    void Undo(TFontDocument& document) const;
    void Redo(TFontDocument& document) const;
};

} // namespace halvex
