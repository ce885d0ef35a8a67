// The machine's stored preferences: an INI file in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config) at "Brenn/HalvexCfg.ini". The key path
// "SOFTWARE\Brenn\HalvexCfg" is the INI group (QSettings writes it as the section
// [SOFTWARE] with keys "Brenn\HalvexCfg\<name>"; a hand-written section
// [SOFTWARE\Brenn\HalvexCfg] is the same group); leading and trailing backslashes of a
// key path name the same key. Values:
//   "Lang"   32-bit integer, non-zero = Polish
//   "Port"   32-bit integer, the serial port number (1 = COM1)
//   "COM<n>" text, the device path that port number n stands for (overrides the
//            built-in port table)
//   "SetFolder", "McmFolder"  text, the folder last used for settings files and
//            character set files in the file dialogs
//
// Errors are EPreferenceError with the text the user sees:
//   "Invalid data type for '<name>'"  a value that is not a 32-bit integer
//   "Failed to set data for '<name>'" the file cannot be written
#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

class QSettings;

namespace halvex {

class EPreferenceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr const char* kPreferenceKey = "SOFTWARE\\Brenn\\HalvexCfg";

class TPreferences;

// The program's key, opened by TPreferences::Open and closed when this goes. False when
// the store could not be reached: nothing can be read then, and a write fails with
// "Failed to set data for '<name>'".
class TPreferenceKey {
public:
    ~TPreferenceKey();
    TPreferenceKey(const TPreferenceKey&) = delete;
    TPreferenceKey& operator=(const TPreferenceKey&) = delete;

    explicit operator bool() const { return opened_; }
    // The store's reads and writes, on this key.
    TPreferences* operator->() const { return &preferences_; }

private:
    friend class TPreferences;
    TPreferenceKey(TPreferences& preferences, bool opened)
        : preferences_(preferences), opened_(opened) {}
    TPreferences& preferences_;
    bool opened_;
};

class TPreferences {
public:
    // The store at `path` (DefaultPath() when empty). Nothing is touched until OpenKey.
    explicit TPreferences(QString path = QString());
    ~TPreferences();
    TPreferences(const TPreferences&) = delete;
    TPreferences& operator=(const TPreferences&) = delete;

    // "<config folder>/Brenn/HalvexCfg.ini".
    static QString DefaultPath();
    const QString& Path() const { return path_; }

    // Opens the key `keyPath`; with `canCreate` the folder of the file is created when
    // missing. False when the store cannot be reached (then nothing can be read).
    bool OpenKey(const QString& keyPath, bool canCreate);
    // Forgets the opened key (pending writes are already on disk).
    void CloseKey();
    // The program's key (kPreferenceKey) opened as OpenKey does, closed by the key's
    // destructor.
    [[nodiscard]] TPreferenceKey Open(bool canCreate);

    bool ValueExists(const QString& name) const;
    // Throws "Invalid data type for '<name>'" when the value is missing or not an integer
    // within 32 bits (unsigned values above 2^31 - 1 wrap, as a DWORD read as Integer).
    std::int32_t ReadInteger(const QString& name) const;
    // Writes and flushes to disk; throws "Failed to set data for '<name>'" on any failure.
    void WriteInteger(const QString& name, std::int32_t value);
    std::optional<QString> ReadString(const QString& name) const;
    void WriteString(const QString& name, const QString& value);
    bool ReadBool(const QString& name) const { return ReadInteger(name) != 0; }
    void WriteBool(const QString& name, bool value) { WriteInteger(name, value ? 1 : 0); }

    // The "COM<n>" values of the key (n = 1..255) as port number -> device path.
    std::map<int, QString> PortPaths() const;

    // The folder a file dialog for files ending in `suffix` ("set", "mcm") opens in: the
    // one last used for that kind ("SetFolder", "McmFolder") while it exists, else the
    // user's documents folder, else the home folder; never the working folder. Opens and
    // closes the key itself.
    QString StartFolder(const QString& suffix);
    // Remembers the folder of `chosenPath` for its kind, when that folder exists (a name
    // typed into a folder that does not exist fails to save and leaves the old folder). A
    // store that cannot be written keeps the old folder silently: remembering a folder never
    // stops the file's use.
    void RememberFolder(const QString& suffix, const QString& chosenPath);

private:
    void Write(const QString& name, const QVariant& value);
    QString path_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace halvex
