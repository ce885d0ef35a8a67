#include "link/PictureSource.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <sys/stat.h>

namespace halvex {

namespace {

// `path` names something other than a plain file (links followed): a folder, a FIFO, a
// socket or a device.
bool SpecialFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

// `reader` on `path`, with the program's memory limit, turning the picture as it says.
void Prepare(QImageReader& reader, const std::string& path) {
    QImageReader::setAllocationLimit(kPictureMemoryMb);
    reader.setFileName(QFile::decodeName(path.c_str()));
    reader.setAutoTransform(true);
}

TRgbaPicture Pixels(const QImage& image) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    return RgbaPicture(rgba.width(), rgba.height(), rgba.constBits(),
                       static_cast<std::size_t>(rgba.bytesPerLine()));
}

// Whether `pixels` read before serve for `size`: a raster picture at least that large (the
// mapping reduces it), a vector one drawn at exactly that size.
bool Serves(const TRgbaPicture& pixels, TPictureSize size, bool vector) {
    if (pixels.Width <= 0)
        return false;
    return vector ? pixels.Width == size.Width && pixels.Height == size.Height
                  : pixels.Width >= size.Width && pixels.Height >= size.Height;
}

} // namespace

TPictureSource::TPictureSource(TRgbaPicture pixels)
    : size_{pixels.Width, pixels.Height}, pixels_(std::move(pixels)) {}

TPictureSource TPictureSource::FromFile(const std::string& path) {
    TPictureSource source;
    source.path_ = path;
    if (SpecialFile(path)) {
        source.error_ = "not a picture file";
        return source;
    }
    QImageReader reader;
    Prepare(reader, path);
    const QSize stored = reader.size();
    source.vector_ = reader.format() == "svg" || reader.format() == "svgz";
    source.turned_ = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    if (stored.isValid()) {
        source.size_ = source.turned_ ? TPictureSize{stored.height(), stored.width()}
                                      : TPictureSize{stored.width(), stored.height()};
        return source;
    }
    // A format that tells its size only by decoding, or no picture at all.
    const QImage image = reader.read();
    if (image.isNull()) {
        source.error_ = reader.errorString().toStdString();
        return source;
    }
    source.pixels_ = Pixels(image);
    source.size_ = {image.width(), image.height()};
    return source;
}

const TRgbaPicture& TPictureSource::ForBlock(int columns, int rows) {
    return ReadAt(ReadingSize(size_.Width, size_.Height, columns, rows, vector_));
}

const TRgbaPicture& TPictureSource::Whole() {
    return ReadAt(size_);
}

const TRgbaPicture& TPictureSource::ReadAt(TPictureSize size) {
    if (path_.empty() || !Usable() || size.Width <= 0 || Serves(pixels_, size, vector_))
        return pixels_;
    QImageReader reader;
    Prepare(reader, path_);
    // The reader scales the picture as stored, before turning it.
    if (!(size == size_))
        reader.setScaledSize(turned_ ? QSize(size.Height, size.Width)
                                     : QSize(size.Width, size.Height));
    const QImage image = reader.read();
    if (image.isNull()) {
        error_ = reader.errorString().toStdString();
        pixels_ = {};
    } else {
        pixels_ = Pixels(image);
    }
    return pixels_;
}

} // namespace halvex
