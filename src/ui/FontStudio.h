// The character editor: the current character set (the built-in one, or a .mcm opened),
// one character edited at a large zoom, a second set opened read-only beside it to copy
// characters from, pictures put into blocks of characters, "Save as..." and the upload to
// the board through FontMap Update.
//
// Every stroke, paste and picture import is one step on Qt's undo stack (Ctrl+Z; Ctrl+Y or
// Ctrl+Shift+Z), named like the layout editor's steps. Every change goes at once to
// OnSetChanged (the OSD preview draws the edited characters). The window is not modal and
// belongs to the main window; its dialogs, questions and message boxes belong to it.
#pragma once

#include "config/Preferences.h"
#include "config/StudioTexts.h"
#include "editor/GlyphUse.h"
#include "link/FontDocument.h"
#include "link/PictureMapping.h"
#include "ui/FileDialogs.h"
#include "ui/OsdPreview.h"

#include <QUndoStack>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace halvex {

class TGlyphEditView;
class TGlyphTable;
class TPictureSource;
class TRadioGroup;

// Whether the upload can run: it can exactly when the main window's FontMap Update can.
enum class TUploadGate {
    Ready,      // the link is confirmed and no configuration is loaded
    NotLinked,  // the port is closed, or the board has not answered the connection check
    Configured, // a configuration is loaded (FontMap Update is hidden then)
};

// What the picture import asks: where the block starts and how the picture maps.
struct TPictureImportChoice {
    int First = 0;
    TMappingOptions Options;
};

class TFontStudio : public QWidget {
public:
    TFontStudio(TPreferences& preferences, QWidget* parent = nullptr);
    ~TFontStudio() override;

    // --- The set ---
    const TFontDocument& Document() const { return *document_; }
    // The file the set was read from or last saved to; empty for the built-in set.
    const QString& DocumentPath() const { return path_; }
    // Starts on the set in `path` (empty, or a file that cannot be used: the built-in set),
    // with a new history. Asks nothing.
    void StartOn(const QString& path);
    // Opens the set in `path` for editing: asks first when edits are not saved; "Bad file
    // format !" (or the header's message) when it is not a character set. Errors of the file
    // system are thrown.
    bool OpenSet(const QString& path);
    // Writes the set to `path` (whole or not at all); it is the set's file from then on.
    void SaveSetAs(const QString& path);
    // Opens a second set beside, read only.
    bool OpenBeside(const QString& path);
    bool HasBeside() const { return beside_ != nullptr; }
    const TFontDocument* Beside() const { return beside_.get(); }
    // Asks whether edits not saved may be dropped; true when there are none.
    bool ConfirmDiscard();

    // --- Editing ---
    int Current() const { return current_; }
    void Choose(int code);
    // A stroke on the current character: every pixel painted between Begin and End is one
    // undo step.
    void BeginStroke();
    void PaintPixel(int pixel, TGlyphPixel value);
    void EndStroke();
    // Copies the chosen character of the table used last (the set or the one beside);
    // pastes it into the current character of the set (its picture rows; one step).
    void Copy();
    void Paste();
    bool CanPaste() const { return clip_.has_value(); }
    // Puts `picture` into the block starting at `choice.First`, after the question when
    // characters the layout's items are drawn with would change; one step. False when
    // nothing was put.
    bool ImportPicture(const TRgbaPicture& picture, const TPictureImportChoice& choice);
    void Undo();
    void Redo();
    const QUndoStack& History() const { return history_; }

    // --- The window ---
    void ApplyLanguage();
    void SetUploadGate(TUploadGate gate);
    // Shows the window over its owner the first time, then where it was left.
    void ShowStudio();

    // --- Hooks ---
    std::function<TLanguage()> Language;
    TFileDialog FileDialog; // default: RunFileDialog over this window
    // A Yes / No question over this window; true for Yes.
    std::function<bool(const QString& question)> Question;
    // The picture import dialog for `picture`; nullopt when cancelled.
    std::function<std::optional<TPictureImportChoice>(TPictureSource& picture, int first)>
        ImportOptions;
    // The characters the layout's items are drawn with (none when unset).
    std::function<TGlyphUse()> GlyphUse;
    // The item name shown in the warning, in the interface language.
    std::function<QString(int item)> ItemName;
    // The set changed: its pictures, edits or file.
    std::function<void()> OnSetChanged;
    // "Upload to OSD" with the set's 256 characters.
    std::function<void(const TFontSet& font)> OnUpload;

    // --- Controls (objectName = name) ---
    QPushButton* OpenButton;
    QPushButton* SaveButton;
    QPushButton* BesideButton;
    QPushButton* ImportButton;
    QPushButton* UploadButton;
    QPushButton* CopyButton;
    QPushButton* PasteButton;
    QPushButton* UndoButton;
    QPushButton* RedoButton;
    TRadioGroup* InkGroup; // what the left button paints: white, black, transparent
    TGlyphTable* SetTable;
    QWidget* BesidePane; // the set beside: shown once one is opened
    TGlyphTable* BesideTable;
    TGlyphEditView* EditView;
    QLabel* SetLabel;    // the set's file name, " *" when edited
    QLabel* BesideLabel; // the name of the set beside
    QLabel* CharLabel;   // the current character's code

private:
    class TStepCommand;

    TLanguage Lang() const;
    QString Text(TStudioText text) const;
    QString Text(TUiText text) const;
    void CreateControls();
    void LayOut();
    void Connect();
    void UseDocument(std::unique_ptr<TFontDocument> document, const QString& path);
    // The set in `path`; nullopt after the box that says why it is refused.
    std::optional<TFontDocument> LoadSet(const QString& path);
    // Says that `set` holds more characters than the board takes (INAV's 512).
    void NoteExtraCharacters(const TFontDocument& set);
    // Records the change from `before` to the set as it is now as one step named `name`.
    void Record(const QString& name, const TMcmChars& before);
    void Apply(const TFontStep& step, bool undo);
    // Shows the set's state everywhere and tells OnSetChanged.
    void SetChanged();
    void ShowCurrent();
    void ShowNames();
    void ShowHistory();
    void ChooseOpen();
    void ChooseSave();
    void ChooseBeside();
    void ChooseImport();
    QString AskFile(const QString& name, bool save, const QString& filter, const QString& suffix);
    // A character set file, in the folder FontMap Update uses too; empty when cancelled.
    QString AskSetFile(const char* name, bool save);
    bool ConfirmOverwrite(int first, int count);

    TPreferences& preferences_;
    std::unique_ptr<TFontDocument> document_;
    std::unique_ptr<TFontDocument> beside_;
    std::unique_ptr<TPreviewPainter> setPainter_;
    std::unique_ptr<TPreviewPainter> besidePainter_;
    QString path_;
    QString besidePath_;
    QUndoStack history_;
    bool applying_ = false;    // an undo or redo runs
    TMcmChars strokeBefore_{}; // the set when the running stroke began
    bool stroking_ = false;
    int current_ = 'A';
    int besideCurrent_ = 'A';
    bool copyBeside_ = false; // Copy takes from the set beside
    std::optional<TMcmChar> clip_;
    TUploadGate gate_ = TUploadGate::NotLinked;
    bool placed_ = false;
};

} // namespace halvex
