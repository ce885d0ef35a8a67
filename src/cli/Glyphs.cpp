#include "cli/Glyphs.h"

#include "cli/Commands.h"
#include "config/Texts.h"
#include "link/FontDocument.h"
#include "link/PictureSource.h"

#include <optional>

namespace halvex::cli {

namespace {

[[noreturn]] void Fail(int code, std::string message) {
    throw EGlyphsFailure{code, std::move(message)};
}

[[noreturn]] void FailUnreadable(const std::string& path, const TPictureSource& source) {
    Fail(exit_code::File, "Cannot use " + path + ": " + source.Error());
}

TFontDocument ReadBase(const std::string& path) {
    std::optional<TFontDocument> base;
    TMcmNotes notes;
    try {
        base = TFontDocument::Load(path, &notes);
    } catch (const std::exception& e) {
        Fail(exit_code::File, e.what());
    }
    if (!base)
        Fail(exit_code::File, SetRefusal(path, notes.Refusal));
    return std::move(*base);
}

} // namespace

TGlyphsResult RunGlyphs(const std::string& picturePath, const TGlyphsArgs& args) {
    TPictureSource source = TPictureSource::FromFile(picturePath);
    if (!source.Usable())
        FailUnreadable(picturePath, source);
    TGlyphsResult result;
    result.Width = source.Width();
    result.Height = source.Height();
    result.First = args.At;
    result.Columns = args.Columns;
    result.Rows = args.Rows;
    if (args.Columns == 0) {
        if (!WholeCharacters(result.Width, result.Height))
            Fail(exit_code::File,
                 "Cannot use " + picturePath + ": " + std::to_string(result.Width) + " x " +
                     std::to_string(result.Height) +
                     " pixels is not a whole number of characters (12 x 18 pixels each); give "
                     "--columns and --rows to scale it");
        result.Columns = result.Width / kGlyphWidth;
        result.Rows = result.Height / kGlyphHeight;
        if (args.At + result.Columns * result.Rows > 256)
            Fail(exit_code::Usage, "a picture of " + std::to_string(result.Columns * result.Rows) +
                                       " characters from " + std::to_string(args.At) +
                                       " passes character 255");
    }
    TFontDocument set = ReadBase(args.Font);
    const TRgbaPicture& picture = source.ForBlock(result.Columns, result.Rows);
    if (!source.Usable())
        FailUnreadable(picturePath, source);
    const TPixelBlock block = MapPicture(picture, {result.Columns, result.Rows, args.Threshold,
                                                   args.Dither, args.Key, args.Outline});
    result.Exact = PlacePicture(result.Width, result.Height, result.Columns, result.Rows).Exact;
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

std::string SetRefusal(const std::string& path, TMessage refusal) {
    const std::string message = MessageText(refusal, TLanguage::English);
    if (refusal == TMessage::BadFileFormat)
        return message + " (" + path + " is not a MAX7456 character set)";
    return message + ": " + path;
}

} // namespace halvex::cli
