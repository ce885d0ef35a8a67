#include "config/Preferences.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <limits>

namespace halvex {

namespace {

std::string Quoted(const char* format, const QString& name) {
    return QString::fromLatin1(format).arg(name).toStdString();
}

// "\SOFTWARE\Brenn\HalvexCfg\" and "SOFTWARE\Brenn\HalvexCfg" name the same key. QSettings
// separates subkeys with "/", so the group is "SOFTWARE/Brenn/HalvexCfg"; a section written
// by hand as [SOFTWARE\Brenn\HalvexCfg] reads as that group too.
QString NormalisedKey(const QString& keyPath) {
    QString key = keyPath;
    key.replace(u'\\', u'/');
    while (key.startsWith(u'/'))
        key.remove(0, 1);
    while (key.endsWith(u'/'))
        key.chop(1);
    return key;
}

// "set" -> "SetFolder".
QString FolderValueName(const QString& suffix) {
    QString name = suffix.toLower();
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name + QStringLiteral("Folder");
}

} // namespace

TPreferences::TPreferences(QString path) : path_(path.isEmpty() ? DefaultPath() : path) {}

TPreferences::~TPreferences() = default;

QString TPreferences::DefaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Brenn/HalvexCfg.ini");
}

bool TPreferences::OpenKey(const QString& keyPath, bool canCreate) {
    CloseKey();
    const QFileInfo file(path_);
    if (file.exists() && !file.isFile())
        return false;
    const QString dir = file.absolutePath();
    const QFileInfo dirInfo(dir);
    if (!dirInfo.exists()) {
        if (!canCreate || !QDir().mkpath(dir))
            return false;
    } else if (!dirInfo.isDir()) {
        return false;
    }
    settings_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
    settings_->beginGroup(NormalisedKey(keyPath));
    return true;
}

void TPreferences::CloseKey() {
    settings_.reset();
}

TPreferenceKey TPreferences::Open(bool canCreate) {
    return TPreferenceKey(*this, OpenKey(QString::fromLatin1(kPreferenceKey), canCreate));
}

TPreferenceKey::~TPreferenceKey() {
    preferences_.CloseKey();
}

bool TPreferences::ValueExists(const QString& name) const {
    return settings_ && settings_->contains(name);
}

std::int32_t TPreferences::ReadInteger(const QString& name) const {
    const QVariant v = settings_ ? settings_->value(name) : QVariant();
    bool ok = false;
    qlonglong n = 0;
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        n = v.toString().trimmed().toLongLong(&ok, 10);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        n = v.toLongLong(&ok);
        break;
    default:
        break;
    }
    // A DWORD holds 0 .. 2^32 - 1; negative values written as signed integers are accepted.
    if (!ok || n < std::numeric_limits<std::int32_t>::min() ||
        n > static_cast<qlonglong>(std::numeric_limits<std::uint32_t>::max()))
        throw EPreferenceError(Quoted("Invalid data type for '%1'", name));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n & 0xFFFFFFFF));
}

void TPreferences::WriteInteger(const QString& name, std::int32_t value) {
    Write(name, QVariant(static_cast<int>(value)));
}

std::optional<QString> TPreferences::ReadString(const QString& name) const {
    if (!ValueExists(name))
        return std::nullopt;
    const QVariant v = settings_->value(name);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return v.toString();
}

void TPreferences::WriteString(const QString& name, const QString& value) {
    Write(name, QVariant(value));
}

void TPreferences::Write(const QString& name, const QVariant& value) {
    const auto fail = [&name] {
        return EPreferenceError(Quoted("Failed to set data for '%1'", name));
    };
    if (!settings_)
        throw fail();
    const QFileInfo file(path_);
    const QFileInfo dir(file.absolutePath());
    if (file.exists() ? !(file.isFile() && file.isWritable()) : !(dir.isDir() && dir.isWritable()))
        throw fail();
    settings_->setValue(name, value);
    settings_->sync();
    if (settings_->status() != QSettings::NoError || !QFileInfo::exists(path_))
        throw fail();
}

std::map<int, QString> TPreferences::PortPaths() const {
    std::map<int, QString> paths;
    if (!settings_)
        return paths;
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const QString& key : settings_->childKeys()) {
        const auto m = comName.match(key);
        if (!m.hasMatch())
            continue;
        const int n = m.captured(1).toInt();
        const QString path = ReadString(key).value_or(QString()).trimmed();
        if (n >= 1 && n <= 255 && !path.isEmpty())
            paths[n] = path;
    }
    return paths;
}

QString TPreferences::StartFolder(const QString& suffix) {
    std::optional<QString> stored;
    if (const TPreferenceKey key = Open(false))
        stored = ReadString(FolderValueName(suffix));
    if (stored && !stored->isEmpty() && QFileInfo(*stored).isDir())
        return *stored;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void TPreferences::RememberFolder(const QString& suffix, const QString& chosenPath) {
    const QString folder = QFileInfo(chosenPath).absolutePath();
    if (!QFileInfo(folder).isDir())
        return;
    try {
        if (const TPreferenceKey key = Open(true))
            WriteString(FolderValueName(suffix), folder);
    } catch (const EPreferenceError&) {
    }
}

} // namespace halvex
