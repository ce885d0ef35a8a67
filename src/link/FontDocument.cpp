#include "link/FontDocument.h"

#include <algorithm>
#include <stdexcept>

namespace halvex {

namespace {

constexpr std::uint8_t kBits[] = {0b00, 0b10, 0b01}; // black, white, transparent

void AppendDigits(std::string& text, std::uint8_t byte) {
    for (int k = 7; k >= 0; --k)
        text.push_back((byte >> k) & 1 ? '1' : '0');
}

} // namespace

TGlyph McmCharGlyph(const TMcmChar& ch) {
    TFontChar sent{};
    std::copy_n(ch.begin(), kFontRowsSent, sent.begin());
    return DecodeGlyph(sent);
}

TFontDocument::TFontDocument(const TGlyphSet& glyphs) {
    for (std::size_t c = 0; c < kFontChars; ++c) {
        chars_[c].fill(kFillRow);
        SetGlyph(c, glyphs[c]);
    }
    saved_ = chars_;
}

std::optional<TFontDocument> TFontDocument::Parse(std::string text, TMcmNotes* notes) {
    const TMcmNotes found = McmNotes(text);
    if (notes)
        *notes = found;
    std::optional<TMcmLines> lines = IndexMcm(text);
    if (!lines)
        return std::nullopt;
    TFontDocument document;
    document.fileCharacters_ = found.Characters;
    for (std::size_t k = 1; k < kMcmLines; ++k) {
        const std::string_view line(text.data() + lines->Start[k], lines->Length[k]);
        document.chars_[(k - 1) / kFontRowsInFile][(k - 1) % kFontRowsInFile] = McmRowByte(line);
    }
    document.sourceChars_ = document.saved_ = document.chars_;
    document.source_ = std::move(text);
    document.lines_ = std::move(lines);
    return document;
}

std::optional<TFontDocument> TFontDocument::Load(const std::string& path, TMcmNotes* notes) {
    std::string text = ReadMcmFile(path);
    // Reading stops at the limit: saving a set whose file goes on past it would cut the rest.
    if (text.size() >= kMcmReadLimit)
        throw std::runtime_error("File too large (" + std::to_string(kMcmReadLimit >> 20) +
                                 " MB at most): \"" + path + "\"");
    return Parse(std::move(text), notes);
}

TGlyphSet TFontDocument::Glyphs() const {
    TGlyphSet glyphs{};
    for (std::size_t c = 0; c < kFontChars; ++c)
        glyphs[c] = Glyph(c);
    return glyphs;
}

bool TFontDocument::SetGlyph(std::size_t code, const TGlyph& glyph) {
    TMcmChar& ch = chars_.at(code);
    const TMcmChar before = ch;
    for (std::size_t p = 0; p < glyph.size(); ++p) {
        const unsigned shift = 6 - 2 * static_cast<unsigned>(p % 4);
        std::uint8_t& byte = ch[p / 4];
        if (GlyphPixel(byte >> shift) == glyph[p])
            continue;
        const auto bits = static_cast<unsigned>(kBits[static_cast<int>(glyph[p])]);
        byte = static_cast<std::uint8_t>((byte & ~(3u << shift)) | (bits << shift));
    }
    return ch != before;
}

bool TFontDocument::PastePicture(std::size_t code, const TMcmChar& from) {
    TMcmChar& ch = chars_.at(code);
    const bool changes = !std::equal(from.begin(), from.begin() + kGlyphBytes, ch.begin());
    std::copy_n(from.begin(), kGlyphBytes, ch.begin());
    return changes;
}

TFontSet TFontDocument::Sent() const {
    TFontSet set{};
    for (std::size_t c = 0; c < kFontChars; ++c)
        std::copy_n(chars_[c].begin(), kFontRowsSent, set[c].begin());
    return set;
}

std::string TFontDocument::McmText() const {
    std::string text;
    if (!lines_) {
        text.reserve(9 + (kMcmLines - 1) * 10);
        text += "MAX7456\r\n";
        for (const TMcmChar& ch : chars_)
            for (const std::uint8_t row : ch) {
                AppendDigits(text, row);
                text += "\r\n";
            }
        return text;
    }
    const TMcmLines& lines = *lines_;
    text.reserve(source_.size());
    text.append(source_, 0, lines.Start[1]);
    for (std::size_t k = 1; k < kMcmLines; ++k) {
        const std::size_t c = (k - 1) / kFontRowsInFile;
        const std::size_t r = (k - 1) % kFontRowsInFile;
        std::size_t from = lines.Start[k];
        if (chars_[c][r] != sourceChars_[c][r]) {
            AppendDigits(text, chars_[c][r]);
            from += lines.Length[k]; // the row's own line end follows
        }
        text.append(source_, from, lines.Start[k + 1] - from);
    }
    text.append(source_, lines.Start[kMcmLines]);
    return text;
}

TFontStep TFontStep::Between(const TMcmChars& before, const TMcmChars& after) {
    TFontStep step;
    for (std::size_t c = 0; c < kFontChars; ++c)
        if (before[c] != after[c])
            step.Changes.push_back({static_cast<std::uint8_t>(c), before[c], after[c]});
    return step;
}

void TFontStep::Undo(TFontDocument& document) const {
    for (const TChange& change : Changes)
        document.SetChar(change.Code, change.Before);
}

void TFontStep::Redo(TFontDocument& document) const {
    for (const TChange& change : Changes)
        document.SetChar(change.Code, change.After);
}

} // namespace halvex
