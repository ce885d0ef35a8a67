// Layout presets: settings files (.set) that hold only the three screen layouts
// ([MODE_OFF], [MODE_MIN], [MODE_ALL]), so the ordinary import reads them. The presets
// shipped with the program lie in share/halvexcfg/presets/ of its installation (in a build
// tree: data/presets/ of the checkout); the user's own lie in
// $XDG_DATA_HOME/halvexcfg/presets/ (normally ~/.local/share/halvexcfg/presets/), one file
// "<name>.set" per preset. QtCore only.
//
// Errors of the file system are std::runtime_error with the system's reason.
#pragma once

#include "config/ConfigImage.h"
#include "config/ItemCatalogue.h"
#include "config/Texts.h"

#include <QString>

#include <optional>
#include <vector>

namespace halvex {

// What applying preset `name` to layout mode `mode` (or kAllLayoutModes) did, for the
// window's status line and halvexctl: "Preset Race applied to MIN".
QString PresetAppliedText(const QString& name, int mode, TLanguage language);

struct TPresetEntry {
    QString Name; // shown: a shipped preset's name in the interface language, else the file's
    QString Path;
    bool Own = false; // the user's (can be renamed and deleted)
};

class TPresetLibrary {
public:
    TPresetLibrary(QString shippedFolder, QString ownFolder)
        : shipped_(std::move(shippedFolder)), own_(std::move(ownFolder)) {}
    // The folders of the running program: see the top of this file.
    static TPresetLibrary ForProgram();
    static QString ShippedFolder();
    static QString OwnFolder();

    const QString& Shipped() const { return shipped_; }
    const QString& Own() const { return own_; }

    // The shipped presets (the four known ones first, in their order), then the user's in
    // alphabetical order. A missing folder lists nothing.
    std::vector<TPresetEntry> List(TLanguage language) const;

    // The preset's layouts over a copy of `base`: lines the file does not hold keep the
    // values of `base`. Lines the import cannot process are skipped. Nothing when the file
    // holds no layout section (not a preset); a file that cannot be read raises its error.
    static std::optional<TConfigImage> Load(const QString& path, const TConfigImage& base,
                                            const TItemCatalogue& catalogue);

    // A name the user may give: not empty, no "/" or control character, no leading dot,
    // at most 64 characters (after trimming blanks at both ends).
    static bool ValidName(const QString& name);
    // The file of the user's preset `name`, taken as it is: a listed name can have blanks
    // at its ends when the file was named so outside the program.
    QString OwnPath(const QString& name) const;
    // Whether a preset of the name the user gave (trimmed) exists.
    bool OwnExists(const QString& name) const;
    // Writes the three layouts of `image` as the user's preset `name` (replacing one of
    // that name); the horizon's sensitivities are left out. Returns the file's path.
    QString Save(const QString& name, const TConfigImage& image, const TItemCatalogue& catalogue);
    // Renames (to the given name, trimmed; replacing one of that name) or deletes one of
    // the user's presets, named as listed.
    void Rename(const QString& from, const QString& to);
    void Remove(const QString& name);

private:
    QString shipped_;
    QString own_;
};

} // namespace halvex
