#include "config/LayoutPresets.h"

#include "config/SettingsFile.h"
#include "config/SettingsFileFlow.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace halvex {

namespace {

constexpr int kMaxNameLength = 64;
const QString kSuffix = QStringLiteral(".set");

// The shipped presets by file name, in the order they are offered.
struct TShippedName {
    const char* Stem;
    TUiText Name;
};
constexpr TShippedName kShipped[] = {
    {"race", TUiText::PresetRace},
    {"freestyle", TUiText::PresetFreestyle},
    {"long-range", TUiText::PresetLongRange},
    {"everything", TUiText::PresetEverything},
};

int ShippedRank(const QString& stem) {
    for (int k = 0; k < static_cast<int>(std::size(kShipped)); ++k)
        if (stem == QLatin1String(kShipped[k].Stem))
            return k;
    return static_cast<int>(std::size(kShipped));
}

QString Stem(const QFileInfo& file) {
    return file.fileName().chopped(kSuffix.size());
}

// The readable regular files "*.set" of the folder. A link to a pipe or a device is left
// out: reading it for a picture could wait for ever or never end.
QFileInfoList SetFiles(const QString& folder) {
    if (folder.isEmpty())
        return {};
    QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.set")}, QDir::Files | QDir::Readable);
    files.removeIf(
        [](const QFileInfo& file) { return !QFileInfo(file.canonicalFilePath()).isFile(); });
    return files;
}

[[noreturn]] void Fail(const QString& what) {
    throw std::runtime_error(what.toStdString());
}

} // namespace

QString PresetAppliedText(const QString& name, int mode, TLanguage language) {
    if (mode < 0 || mode >= kLayoutModes)
        return QString::fromUtf8(UiText(TUiText::StatusPresetAppliedAll, language)).arg(name);
    return QString::fromUtf8(UiText(TUiText::StatusPresetApplied, language))
        .arg(name, QLatin1String(kLayoutModeNames[mode]));
}

TPresetLibrary TPresetLibrary::ForProgram() {
    return {ShippedFolder(), OwnFolder()};
}

QString TPresetLibrary::ShippedFolder() {
    // The program's own folder, also before (or without) a QCoreApplication.
    const QString bin = QFileInfo(QStringLiteral("/proc/self/exe"))
                            .canonicalFilePath()
                            .section(QLatin1Char('/'), 0, -2);
    const QString installed =
        QDir::cleanPath(bin + QLatin1Char('/') + QStringLiteral(HALVEX_PRESETS_FROM_BIN));
    if (QFileInfo(installed).isDir())
        return installed;
    // Run from the build tree (./run, the tests): the checkout's presets.
    const QString build = QStringLiteral(HALVEX_BUILD_DIR);
    if (bin == build || bin.startsWith(build + QLatin1Char('/')))
        return QStringLiteral(HALVEX_CHECKOUT_PRESETS);
    return installed;
}

QString TPresetLibrary::OwnFolder() {
    // $XDG_DATA_HOME, else ~/.local/share.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/halvexcfg/presets");
}

std::vector<TPresetEntry> TPresetLibrary::List(TLanguage language) const {
    std::vector<TPresetEntry> shipped;
    for (const QFileInfo& file : SetFiles(shipped_)) {
        const QString stem = Stem(file);
        const int rank = ShippedRank(stem);
        const QString name = rank < static_cast<int>(std::size(kShipped))
                                 ? QString::fromUtf8(UiText(kShipped[rank].Name, language))
                                 : stem;
        shipped.push_back({name, file.absoluteFilePath(), false});
    }
    std::stable_sort(shipped.begin(), shipped.end(), [](const auto& a, const auto& b) {
        return ShippedRank(Stem(QFileInfo(a.Path))) < ShippedRank(Stem(QFileInfo(b.Path)));
    });
    std::vector<TPresetEntry> own;
    for (const QFileInfo& file : SetFiles(own_))
        own.push_back({Stem(file), file.absoluteFilePath(), true});
    QCollator collator;
    std::sort(own.begin(), own.end(),
              [&](const auto& a, const auto& b) { return collator.compare(a.Name, b.Name) < 0; });
    shipped.insert(shipped.end(), own.begin(), own.end());
    return shipped;
}

std::optional<TConfigImage> TPresetLibrary::Load(const QString& path, const TConfigImage& base,
                                                 const TItemCatalogue& catalogue) {
    TConfigImage preset = base;
    if (!ImportSettingsFrom(path, import_flag::Layouts, preset, catalogue, kItemCount, nullptr)
             .Recognised)
        return std::nullopt;
    return preset;
}

bool TPresetLibrary::ValidName(const QString& name) {
    const QString n = name.trimmed();
    if (n.isEmpty() || n.size() > kMaxNameLength || n.startsWith(QLatin1Char('.')))
        return false;
    return std::none_of(n.begin(), n.end(), [](QChar c) {
        return c == QLatin1Char('/') || c.category() == QChar::Other_Control;
    });
}

QString TPresetLibrary::OwnPath(const QString& name) const {
    return own_ + QLatin1Char('/') + name + kSuffix;
}

bool TPresetLibrary::OwnExists(const QString& name) const {
    return QFileInfo::exists(OwnPath(name.trimmed()));
}

QString TPresetLibrary::Save(const QString& name, const TConfigImage& image,
                             const TItemCatalogue& catalogue) {
    if (!ValidName(name))
        Fail(QStringLiteral("Bad preset name \"%1\"").arg(name));
    if (!QDir().mkpath(own_))
        Fail(QStringLiteral("Cannot create the folder %1").arg(own_));
    const QString path = OwnPath(name.trimmed());
    const std::string text = WriteLayoutText(image, catalogue, kItemCount, false);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.flush() || !file.commit())
        Fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return path;
}

void TPresetLibrary::Rename(const QString& from, const QString& to) {
    if (!ValidName(to))
        Fail(QStringLiteral("Bad preset name \"%1\"").arg(to));
    const QString source = OwnPath(from);
    const QString target = OwnPath(to.trimmed());
    if (target == source)
        return;
    // One step that replaces a preset of the new name: when the source is gone, that one
    // stays.
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(source).toStdString(),
                            QFile::encodeName(target).toStdString(), error);
    if (error)
        Fail(QStringLiteral("%1: %2").arg(source, QString::fromStdString(error.message())));
}

void TPresetLibrary::Remove(const QString& name) {
    QFile file(OwnPath(name));
    if (!file.remove())
        Fail(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
}

} // namespace halvex
