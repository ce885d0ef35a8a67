// The layout studio of the editor: layout presets (the chooser and the user's own), the
// "Place at" anchors and "Copy position to" of the grid's menu, the screen guides and the
// overlap hint of the status line. Every change it makes to the image is one undoable step
// of the editor; nothing is sent to the board until Write.
#pragma once

#include "config/LayoutPresets.h"
#include "editor/LayoutTools.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QPushButton;
class QWidget;

namespace halvex {

class TCheckBox;
class TLayoutEditor;
class TPreferences;
class TPresetForm;

class TLayoutStudio {
public:
    // Places its controls in the layout mode group `modeGroup`: the guides box in the title
    // band, the presets button right of the mode buttons.
    TLayoutStudio(TLayoutEditor& editor, TConfigImage& image, TItemCatalogue& catalogue,
                  QWidget* modeGroup);
    ~TLayoutStudio();
    TLayoutStudio(const TLayoutStudio&) = delete;
    TLayoutStudio& operator=(const TLayoutStudio&) = delete;

    QPushButton* PresetsButton = nullptr; // "Layout presets..."
    TCheckBox* GuidesBox = nullptr;       // "Guides"
    TPresetLibrary Presets = TPresetLibrary::ForProgram();

    // The chooser, made when first opened (tests drive it without showing it).
    TPresetForm& PresetForm();
    void OpenPresets();
    // Takes the preset's layout of the current layout mode, or all three, into the image:
    // one step named after the preset.
    void ApplyPreset(const TPresetEntry& preset, bool allModes);
    // The selected item (not the horizon) at an anchor of the current video standard's
    // screen, or of its 16:9 area while the guides show.
    void PlaceAt(TAnchor anchor);
    // The selected item's record to layout mode `mode`.
    void CopyPositionTo(int mode);
    // "Place at" and "Copy position to" for the selected item.
    void AddMenuEntries(QMenu& menu);

    // The guides box's state; the preferences remember it ("Guides").
    bool GuidesShown() const;
    void UsePreferences(TPreferences& preferences);

    // After a grid redraw: the hint is made again, and told when it changed.
    void AfterRedraw();
    // "Overlaps: Speed, Height" in the interface language; empty when the selected item
    // shares no cell with another.
    QString OverlapHint() const;
    // The hint changed from `was` to `now` (either may be empty).
    std::function<void(const QString& was, const QString& now)> OnOverlapHint;

private:
    TLanguage Lang() const;
    QString Text(TUiText text) const;
    // The rows Place at keeps an item in: the screen's, or its 16:9 area's with the guides.
    TRowSpan PlacingRows() const;
    QString ItemName(int item) const;
    void ShowGuides(bool on);
    void StoreGuides(bool on);

    TLayoutEditor& editor_;
    TConfigImage& image_;
    TItemCatalogue& catalogue_;
    TPreferences* preferences_ = nullptr;
    QPointer<TPresetForm> form_;
    QPointer<TCheckBox> guidesAlive_; // GuidesBox while its window lives
    // Context of the controls' connections: goes first, so no control calls a gone studio.
    std::unique_ptr<QObject> context_ = std::make_unique<QObject>();
    std::vector<int> overlaps_; // the selected item's, at the last redraw
    QString hint_;
};

} // namespace halvex
