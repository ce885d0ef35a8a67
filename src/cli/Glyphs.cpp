#include "cli/Glyphs.h"

#include "cli/Commands.h"
#include "config/Texts.h"
#include "link/FontDocument.h"
#include "link/PictureMapping.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <optional>

namespace halvex::cli {

namespace {

[[noreturn]] void Fail(int code, std::string message) {
    throw EGlyphsFailure{code, std::move(message)};
}

TRgbaPicture ReadPictureFile(const std::string& path) {
    if (SpecialFile(path))
        Fail(exit_code::File, "Cannot use " + path + ": not a picture file");
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
