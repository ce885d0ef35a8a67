// The screen layout editor on the main window: the layout grid StringGrid1, the item list,
// the layout mode and video standard choices and the item attribute panel. Every control
// writes straight into the configuration image and the grid is redrawn from it.
#pragma once

#include "config/ConfigImage.h"
#include "config/ItemCatalogue.h"
#include "config/Texts.h"
#include "editor/GridModel.h"
#include "editor/PanelModel.h"
#include "ui/Controls.h"
#include "ui/LayoutGrid.h"
#include "ui/UndoHistory.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace halvex {

class TLayoutStudio;

// Client-area geometry of the editor on the main window (pixels).
namespace editor_layout {
constexpr int GridLeft = 6;
constexpr int GridTop = 6;
constexpr int AreaLeft = 136; // the right area below the grid
constexpr int AreaTop = 284;
constexpr int AreaWidth = 261;
constexpr int AreaHeight = 181;
} // namespace editor_layout

class TLayoutEditor {
public:
    // Creates StringGrid1 and all editor controls as children of `form`; the editor
    // controls start hidden, the grid shown and blank.
    TLayoutEditor(TConfigImage& image, TItemCatalogue& catalogue, QWidget* form);
    ~TLayoutEditor();
    TLayoutEditor(const TLayoutEditor&) = delete;
    TLayoutEditor& operator=(const TLayoutEditor&) = delete;

    // Current interface language (set by the window); English while unset.
    std::function<TLanguage()> Language;
    // Runs after every grid redraw and grid clear (the OSD preview follows the grid).
    std::function<void()> OnGridRedraw;
    // The image may have changed (after every grid redraw and a stored sensitivity).
    std::function<void()> OnImageChanged;
    // A line for the window's status line (an undo or redo, a preset, a video standard
    // switch that moved items). Shown after the step's redraw, so the overlap hint that
    // the redraw may raise does not hide it.
    std::function<void(const QString& text)> OnStatus;
    // Passes `text` to OnStatus.
    void ShowStatus(const QString& text) const;

    // Every change to the image, undoable; a read starts a new history.
    TUndoHistory History;
    // What the board last confirmed, for "Restore layout from OSD" and the modified mark.
    TWrittenState Written;

    // Runs `change` as one undoable step named `name` (changes made inside it by the
    // handlers it runs belong to the same step).
    void RecordChange(const QString& name, const std::function<void()>& change);
    // Step names in the current language: "move Speed", "change Speed", ...
    QString StepName(TUiText text, int item = -1) const;
    void Undo();
    void Redo();
    // The grid's keys: arrows move the selected item, Tab and Shift+Tab select the next
    // and previous item, Space toggles Visible. True when the key was used.
    bool GridKey(int key, Qt::KeyboardModifiers modifiers);
    // Layout copy to another mode and restore from the board, each one step.
    void CopyLayoutTo(int mode);
    void RestoreLayoutFromBoard();

    int ItemCount() const { return model_.ItemCount(); }
    void SetItemCount(int count); // 1 at start, 20 after a good read
    void GridClear();             // blank cells, no items, repaint
    void GridRedraw();            // rebuild the picture from the image and repaint
    void PanelRefresh();
    void BlinkTick();               // flip the blink phase, redraw
    void SetEditorVisible(bool on); // GroupBox2, GroupBox4, RadioGroup2, RadioGroup4
    void ResetSelection();          // ComboBox1 to item 0
    void FillItemList();            // the 20 names in the current language, item 0 selected
    void OpenOnImage();             // after a good dump
    void CompleteImport();          // after an import
    void AfterSettingsDialog();     // the settings dialog has closed

    const TGridModel& Model() const { return model_; }
    // Presets, anchors, guides and the overlap hint.
    TLayoutStudio& Studio() { return *studio_; }
    bool EditorVisible() const { return editorVisible_; }

    // Handlers.
    void ComboBox1Change();
    void CheckBoxClick(); // CheckBox1
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void RadioGroup1Click();
    void RadioGroup2Click(); // layout mode switch
    void RadioGroup3Click();
    void RadioGroup4Click(); // video standard switch
    void RadioGroup5Click();
    void UpDown1Click();
    void UpDown2Click(bool up = true); // after a click on the up (or down) arrow
    // Key filter of Edit3 and Edit4: true when the key may reach the edit.
    static bool Edit3KeyPress(int key, const QString& text);
    void Edit3Exit();
    void Edit4Exit();
    void StringGrid1MouseDown(Qt::MouseButton button, TShiftState shift, int x, int y);
    void StringGrid1MouseMove(TShiftState shift, int x, int y);
    void StringGrid1MouseUp();

    // Controls (objectName = name).
    TLayoutGrid* StringGrid1 = nullptr;
    QGroupBox* GroupBox2 = nullptr; // attribute panel
    QGroupBox* GroupBox3 = nullptr; // attributes: CheckBox2..CheckBox4
    QGroupBox* GroupBox4 = nullptr; // item list
    QComboBox* ComboBox1 = nullptr;
    TCheckBox* CheckBox1 = nullptr;
    TCheckBox* CheckBox2 = nullptr;
    TCheckBox* CheckBox3 = nullptr;
    TCheckBox* CheckBox4 = nullptr;
    TCheckBox* CheckBox5 = nullptr;
    TRadioGroup* RadioGroup1 = nullptr; // font
    TRadioGroup* RadioGroup2 = nullptr; // layout mode
    TRadioGroup* RadioGroup3 = nullptr; // HDOP / temperature sensor
    TRadioGroup* RadioGroup4 = nullptr; // video standard
    TRadioGroup* RadioGroup5 = nullptr; // audible vario
    QLabel* StaticText1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLabel* StaticText3 = nullptr;
    QLabel* StaticText4 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr; // Nick sensitivity
    QLineEdit* Edit4 = nullptr; // Roll sensitivity
    TUpDown* UpDown1 = nullptr;
    TUpDown* UpDown2 = nullptr;

private:
    class TEditFilter;

    void CreateControls(QWidget* form);
    void CreateChoices(QWidget* form);
    void CreatePanel(QWidget* form);
    void CreatePositionControls();
    void ApplyInitialCaptions();
    void WireHandlers();
    TLanguage Lang() const;
    int SelectedItem() const;
    void SelectItem(int item); // item list index set from code, without the change handler
    // The attribute handlers: `mask` of the selected item's flags set to `on`, one step.
    void ToggleFlag(std::uint8_t mask, bool on);
    // Returns how many items the switch to NTSC moved up (0 for PAL).
    int ApplyVideoStandard();
    // OpenOnImage and CompleteImport: the model takes the image's standard and mode, the
    // controls follow.
    void FollowImage(bool alwaysSwitch);
    void ShowStandardAndMode();
    void StoreSensitivity(QLineEdit* edit, TSensitivity which);
    // Moves the selected item through the spinners, as a drag does.
    void MoveSelected(TCellPos target);
    // Shows the editor on the image an undo or redo has left.
    void ShowStep(int mode, int item, const std::string& shownName);
    void UndoOrRedo(bool redo);
    void ShowContextMenu(const QPoint& globalPos);
    void SelectItemAt(const QPoint& at); // grid pixels
    // Runs a handler's change as a step named by `text` for the selected item.
    void Change(TUiText text, const std::function<void()>& change);

    QPointer<QWidget> form_;
    TConfigImage& image_;
    TItemCatalogue& catalogue_;
    TGridModel model_;
    TPanelModel panel_;
    bool editorVisible_ = false;
    // Layout mode whose horizon record the sensitivity edits show.
    int sensitivityMode_ = 0;
    int recording_ = 0;                     // depth of RecordChange
    std::optional<TImageBytes> dragBefore_; // the image when the running drag began
    std::unique_ptr<TEditFilter> editFilter_;
    std::unique_ptr<TLayoutStudio> studio_;
    // Context of every signal connection: destroyed first, so no handler runs on a
    // half-destroyed editor.
    std::unique_ptr<QObject> context_;
};

} // namespace halvex
