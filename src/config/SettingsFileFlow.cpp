#include "config/SettingsFileFlow.h"

#include "config/SettingsFile.h"

#include <QFile>
#include <QSaveFile>

#include <stdexcept>

namespace halvex {

namespace {

[[noreturn]] void Fail(const QFileDevice& file) {
    throw std::runtime_error(file.errorString().toStdString());
}

} // namespace

void ExportSettingsTo(const QString& path, const TConfigImage& image,
                      const TItemCatalogue& catalogue, int itemCount) {
    const std::string text = WriteSettingsText(image, catalogue, itemCount);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        Fail(file);
    // On any failure the QSaveFile is destroyed uncommitted: it removes its temporary file
    // and the old file stays. The explicit flush matters: commit() does not notice a
    // buffered write that fails while it closes (disk full, size limit) and would replace
    // the old file by a cut one.
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.flush())
        Fail(file);
    if (!file.commit())
        Fail(file);
}

TSettingsImportResult ImportSettingsFrom(const QString& path, int flags, TConfigImage& image,
                                         const TItemCatalogue& catalogue, int itemCount,
                                         const std::function<void(TMessage)>& showMessage) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(file);
    TSettingsImporter importer(image, catalogue, itemCount, flags);
    importer.OnError = showMessage;
    TSettingsLineReader reader([&importer](std::string_view line) { importer.ParseLine(line); });
    // A settings file is a few kilobytes; the limit stops an endless device file.
    constexpr qint64 kMaxBytes = 64 * 1024 * 1024;
    qint64 total = 0;
    char chunk[16384];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0)
            Fail(file);
        if (n == 0)
            break;
        total += n;
        if (total > kMaxBytes)
            throw std::runtime_error("The file is too large for a settings file");
        if (!reader.Feed(std::string_view(chunk, static_cast<std::size_t>(n))))
            break; // the end-of-file byte
    }
    reader.Finish();
    return importer.Result();
}

} // namespace halvex
