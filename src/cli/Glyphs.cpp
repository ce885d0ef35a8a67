#include "cli/Glyphs.h"

#include "cli/Commands.h"
#include "config/Texts.h"
#include "link/FontDocument.h"
#include "link/PictureMapping.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <array>
#include <optional>

namespace halvex::cli {

namespace {

struct TOptionInfo {
    std::string_view Name;
    bool TakesValue;
};

constexpr std::array<TOptionInfo, 7> kOptions{{{"--font", true},
                                               {"--at", true},
                                               {"--out", true},
                                               {"--columns", true},
                                               {"--rows", true},
                                               {"--threshold", true},
                                               {"--dither", false}}};

// A whole number from `text` within low..high: decimal, or hexadecimal after "0x".
std::optional<int> Number(std::string_view text, int low, int high) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 6)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'                 ? c - '0'
                          : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                               : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

[[noreturn]] void Fail(int code, std::string message) {
    throw EGlyphsFailure{code, std::move(message)};
}

TRgbaPicture ReadPictureFile(const std::string& path) {
    QImageReader reader(QFile::decodeName(path.c_str()));
    reader.setAutoTransform(true);
    const QImage image = reader.read().convertToFormat(QImage::Format_RGBA8888);
    if (image.isNull())
        Fail(exit_code::File, "Cannot use " + path + ": " + reader.errorString().toStdString());
    return RgbaPicture(image.width(), image.height(), image.constBits(),
                       static_cast<std::size_t>(image.bytesPerLine()));
}

TFontDocument ReadBase(const std::string& path) {
    std::optional<TFontDocument> base;
    try {
        base = TFontDocument::Load(path);
    } catch (const std::exception& e) {
        Fail(exit_code::File, e.what());
    }
    if (!base)
        Fail(exit_code::File,
             std::string(MessageText(TMessage::BadFileFormat, TLanguage::English)) + " (" + path +
                 " is not a MAX7456 character set)");
    return std::move(*base);
}

} // namespace

bool IsGlyphsOption(std::string_view name) {
    for (const TOptionInfo& o : kOptions)
        if (o.Name == name)
            return true;
    return false;
}

bool GlyphsOptionTakesValue(std::string_view name) {
    for (const TOptionInfo& o : kOptions)
        if (o.Name == name)
            return o.TakesValue;
    return false;
}

std::string ParseGlyphsOptions(const TGivenOptions& given, TGlyphsArgs& glyphs) {
    const struct {
        std::string_view Name;
        int Low;
        int High;
        int* Value;
        const char* Takes;
    } numbers[] = {
        {"--at", 0, 255, &glyphs.At, "a character code 0 to 255 (decimal or 0x hex)"},
        {"--columns", 1, 256, &glyphs.Columns, "a number of characters 1 to 256"},
        {"--rows", 1, 256, &glyphs.Rows, "a number of characters 1 to 256"},
        {"--threshold", 0, 100, &glyphs.Threshold, "a percentage 0 to 100"},
    };
    for (const auto& [name, value] : given) {
        glyphs.Font = name == "--font" ? value : glyphs.Font;
        glyphs.Out = name == "--out" ? value : glyphs.Out;
        glyphs.Dither = glyphs.Dither || name == "--dither";
        for (const auto& number : numbers) {
            if (name != number.Name)
                continue;
            // "50%" is 50 percent.
            const std::string digits =
                name == "--threshold" && !value.empty() && value.back() == '%'
                    ? value.substr(0, value.size() - 1)
                    : value;
            const std::optional<int> n = Number(digits, number.Low, number.High);
            if (!n)
                return name + " takes " + number.Takes + ", not '" + value + "'";
            *number.Value = *n;
        }
    }
    if (glyphs.Font.empty() || glyphs.Out.empty() || glyphs.At < 0)
        return "glyphs needs --font BASE.mcm, --at CODE and --out NEW.mcm";
    if ((glyphs.Columns == 0) != (glyphs.Rows == 0))
        return "--columns and --rows go together";
    if (glyphs.Columns > 0 && glyphs.At + glyphs.Columns * glyphs.Rows > 256)
        return "a block of " + std::to_string(glyphs.Columns * glyphs.Rows) + " characters from " +
               std::to_string(glyphs.At) + " passes character 255";
    return {};
}

TGlyphsResult RunGlyphs(const std::string& picturePath, const TGlyphsArgs& args) {
    const TRgbaPicture picture = ReadPictureFile(picturePath);
    TGlyphsResult result;
    result.Width = picture.Width;
    result.Height = picture.Height;
    result.First = args.At;
    result.Columns = args.Columns;
    result.Rows = args.Rows;
    if (args.Columns == 0) {
        if (!WholeCharacters(picture.Width, picture.Height))
            Fail(exit_code::File,
                 "Cannot use " + picturePath + ": " + std::to_string(picture.Width) + " x " +
                     std::to_string(picture.Height) +
                     " pixels is not a whole number of characters (12 x 18 pixels each); give "
                     "--columns and --rows to scale it");
        result.Columns = picture.Width / kGlyphWidth;
        result.Rows = picture.Height / kGlyphHeight;
        if (args.At + result.Columns * result.Rows > 256)
            Fail(exit_code::Usage, "a picture of " + std::to_string(result.Columns * result.Rows) +
                                       " characters from " + std::to_string(args.At) +
                                       " passes character 255");
    }
    TFontDocument set = ReadBase(args.Font);
    const TPixelBlock block =
        MapPicture(picture, {result.Columns, result.Rows, args.Threshold, args.Dither});
    result.Exact = PlacePicture(picture.Width, picture.Height, result.Columns, result.Rows).Exact;
    for (int r = 0; r < result.Rows; ++r)
        for (int c = 0; c < result.Columns; ++c)
            result.Changed += set.SetGlyph(
                static_cast<std::size_t>(args.At + r * result.Columns + c), block.Glyph(c, r));
    try {
        WriteMcmFile(args.Out, set.McmText());
    } catch (const std::exception& e) {
        Fail(exit_code::File, e.what());
    }
    return result;
}

} // namespace halvex::cli
