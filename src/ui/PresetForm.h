// The layout preset chooser "Layout presets": a picture of each preset's layout, drawn by
// the layout grid's painter, the choice between the layout being edited and all three, and
// the user's own presets (save the layouts being edited, rename, delete).
#pragma once

#include "config/LayoutPresets.h"

#include <QDialog>
#include <QPixmap>

#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace halvex {

class TLayoutStudio;
class TRadioGroup;

// The picture of layout mode `mode` of `image` as the grid draws the board's screen (the
// visible items, nothing selected), at half the grid's size.
QPixmap LayoutThumbnail(const TConfigImage& image, const TItemCatalogue& catalogue, int mode);

class TPresetForm : public QDialog {
public:
    TPresetForm(TLayoutStudio& studio, const TConfigImage& image, const TItemCatalogue& catalogue,
                QWidget* parent);

    // Lists the presets with their pictures of layout mode `mode` (the one being edited) in
    // the image's video standard, texts in `language`.
    void Reload(TLanguage language, int mode);
    const std::vector<TPresetEntry>& Entries() const { return entries_; }
    // The chosen preset; null when none.
    const TPresetEntry* Chosen() const;
    void Choose(int index);

    // Buttons' work (the buttons call these under the exception report).
    void ApplyChosen();
    void SaveLayout();
    void RenameChosen();
    void DeleteChosen();

    // Hooks (tests replace them): a name asked with `prompt`, starting as `text` (empty when
    // cancelled), and a Yes / No question.
    std::function<QString(const QString& prompt, const QString& text)> AskName;
    std::function<bool(const QString& question)> Question;

    QLabel* MissingNote = nullptr; // shown when no shipped preset is found
    QListWidget* PresetList = nullptr;
    TRadioGroup* ApplyTo = nullptr; // 0: the layout being edited, 1: all three
    QPushButton* ApplyButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* RenameButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* CloseButton = nullptr;

private:
    QString Text(TUiText text) const;
    // A valid name the user gave, asked again while it is not; empty when cancelled.
    QString AskValidName(const QString& start);
    void ShowChoice();
    void ReloadChoosing(const QString& path);
    // Runs `change` of the user's presets; when it fails, lists the folder again (choosing
    // `path`) and passes the error on.
    void ReloadAfter(const std::function<void()>& change, const QString& path);

    TLayoutStudio& studio_;
    const TConfigImage& image_;
    const TItemCatalogue& catalogue_;
    TLanguage language_ = TLanguage::English;
    int mode_ = 0;
    std::vector<TPresetEntry> entries_;
};

} // namespace halvex
