// The program's file dialogs: owned by the window that asks (so centred on it), opening in
// the folder last used for the kind of file, in the interface language (Qt's own texts
// follow the language through its translations).
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace halvex {

class TPreferences;

// What a file dialog is asked for; the answer is the chosen path, empty when cancelled.
struct TFileDialogRequest {
    QString Name;          // "OpenDialog1", "SaveDialog1", "OpenDialog2"
    bool Save = false;     // a save dialog (asks before overwriting an existing file)
    QString Filter;        // "MAX7456 Chars Files (*.mcm)"
    QString DefaultSuffix; // "mcm", "set"
    QString Directory;     // the folder it opens in (last used for this kind, Preferences.h)
    // An open dialog that takes only a file that exists; otherwise a new name may be typed.
    bool ExistingOnly = false;
};

using TFileDialog = std::function<QString(const TFileDialogRequest&)>;

// Runs the dialog modally over `owner`. A name that does not exist yet may be typed even
// in an open dialog (unless ExistingOnly); opening it then reports the error.
QString RunFileDialog(QWidget* owner, const TFileDialogRequest& request);

// `dialog` opened in the folder last used for the request's kind of file (its default
// suffix); remembers the folder of the chosen file.
QString AskFileIn(TPreferences& preferences, const TFileDialog& dialog, TFileDialogRequest request);

} // namespace halvex
