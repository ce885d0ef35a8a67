// The settings file (.set): the main settings, the user name and the item records of the
// three layout modes as Windows-1250 text lines "key=value" in the sections [MAIN],
// [MODE_OFF], [MODE_MIN] and [MODE_ALL], each closed by an empty line. No Qt: the text is
// bytes; the file itself is opened by SettingsFileFlow.
#pragma once

#include "config/ConfigImage.h"
#include "config/ItemCatalogue.h"
#include "config/Messages.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace halvex {

// Import choices (TForm3).
namespace import_flag {
constexpr int Layouts = 0x01; // the three layout sections
constexpr int Main = 0x02;    // the [MAIN] section
} // namespace import_flag

// The exported text: 203 lines ending in CR LF for 20 items (the item lines follow the
// item count). Temperatures are written in degrees (byte - 90), the rest as stored; the
// user name is the one stored in the image. The catalogue gives the item names.
std::string WriteSettingsText(const TConfigImage& image, const TItemCatalogue& catalogue,
                              int itemCount);
// The three layout sections alone, as a layout preset holds them. Without
// `horizonPosition` the horizon's lines are its Flags only: its position bytes are the Nick
// and Roll sensitivities, which belong to the model, not to a layout.
std::string WriteLayoutText(const TConfigImage& image, const TItemCatalogue& catalogue,
                            int itemCount, bool horizonPosition);

// Splits bytes into lines. A line ends at CR (an LF right after it belongs to the same line
// end), at an LF alone (files saved by Linux editors), and at the end of the input; the
// byte 0x1A ends the file like its physical end. Bytes can arrive in any number of pieces.
class TSettingsLineReader {
public:
    using TLineSink = std::function<void(std::string_view line)>;
    // Longest line kept; the bytes after it are dropped. The parser looks at no more than a
    // key and a dozen characters after it, so this only bounds memory on hostile files.
    static constexpr std::size_t kMaxLine = 4096;

    explicit TSettingsLineReader(TLineSink sink) : sink_(std::move(sink)) {}
    // Returns false once the end-of-file byte has been seen; later input is ignored.
    bool Feed(std::string_view bytes);
    // The physical end: delivers a last line that has no line end.
    void Finish();
    bool Ended() const { return ended_; }

private:
    void EndLine();

    TLineSink sink_;
    std::string line_;
    bool pending_ = false; // bytes of an unfinished line have arrived (possibly none kept)
    bool afterCr_ = false; // the previous byte was a CR: an LF now is part of that line end
    bool ended_ = false;
};

// The five-character value rule: leading blanks, an optional sign, an optional "$", "x",
// "X", "0x" or "0X" hexadecimal prefix, digits up to the first other character. An empty
// text is 0; when a character that is not a digit stops the reading, the number read so
// far counts without its sign. Never fails.
int SettingsNumber(std::string_view text);
// The value of a line: -1 when the line is empty or has no "=", else SettingsNumber of at
// most five characters after the first "=".
int SettingsLineValue(std::string_view line);

enum class TSettingsSection { None, Main, Off, Min, All };

// Applies the lines of one import to the image as they come.
class TSettingsImporter {
public:
    TSettingsImporter(TConfigImage& image, const TItemCatalogue& catalogue, int itemCount,
                      int flags);
    // Shown when a line cannot be processed ("Error inside import file !"); the line is
    // dropped and parsing goes on.
    std::function<void(TMessage)> OnError;

    void ParseLine(std::string_view line);
    TSettingsSection Section() const { return section_; }

private:
    void ParseLineUnchecked(std::string_view line);
    void ParseMainLine(std::string_view line, int v);
    void ParseItemLine(std::string_view line, int v);

    TConfigImage& image_;
    const TItemCatalogue& catalogue_;
    int itemCount_;
    int flags_;
    TSettingsSection section_ = TSettingsSection::None;
};

// Imports a whole text (reader and parser together).
void ImportSettingsText(std::string_view text, TConfigImage& image, const TItemCatalogue& catalogue,
                        int itemCount, int flags, const std::function<void(TMessage)>& onError);

} // namespace halvex
