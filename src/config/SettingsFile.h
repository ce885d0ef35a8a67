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

// Splits bytes into lines. The first line end decides the file's kind: a CR (with or
// without an LF after it) makes it a CR file, an LF alone an LF file (saved by Linux
// editors). A line ends at a CR, and an LF right after the CR belongs to the same line
// end; in an LF file an LF alone ends a line too, while in a CR file a stray LF is dropped
// (it neither ends a line nor becomes text). The end of the input ends the last line; the
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

private:
    void EndLine();

    enum class TEnding { Unknown, Cr, Lf }; // the kind of line end the first line has

    TLineSink sink_;
    std::string line_;
    TEnding ending_ = TEnding::Unknown;
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

// What an import found in the file.
struct TSettingsImportResult {
    // The header of a chosen section appeared: the file is a settings file for this import.
    // When false nothing was applied.
    bool Recognised = false;
    // Lines that changed nothing although they were read for this import: an unknown key or
    // a value out of range inside a chosen section, text outside every section, and lines
    // that could not be processed. Lines of sections not chosen are not counted.
    int IgnoredLines = 0;
};

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
    const TSettingsImportResult& Result() const { return result_; }

private:
    void ParseLineUnchecked(std::string_view line);
    bool ParseHeader(std::string_view line);
    // Each returns whether the line changed the image.
    bool ParseMainLine(std::string_view line, int v);
    bool ParseItemLine(std::string_view line, int v);

    TConfigImage& image_;
    const TItemCatalogue& catalogue_;
    int itemCount_;
    int flags_;
    TSettingsSection section_ = TSettingsSection::None;
    TSettingsImportResult result_;
};

// Imports a whole text (reader and parser together).
TSettingsImportResult ImportSettingsText(std::string_view text, TConfigImage& image,
                                         const TItemCatalogue& catalogue, int itemCount, int flags,
                                         const std::function<void(TMessage)>& onError);

} // namespace halvex
