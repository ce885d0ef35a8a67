#include "ui/LayoutEditor.h"

#include "ui/Captions.h"
#include "ui/CodePage.h"
#include "ui/LayoutStudio.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QValidator>

#include <algorithm>
#include <set>

namespace halvex {

namespace {

using namespace editor_layout;

// Pixel geometry inside the right area (x, y from its top-left corner).
constexpr int kRowHeight = 17;  // check boxes and radio items
constexpr int kEditHeight = 19; // edits and spinners
// The panel leaves the window's bottom band to the status line.
constexpr int kPanelHeight = 89;

QRect AreaRect(int x, int y, int w, int h) {
    return QRect(AreaLeft + x, AreaTop + y, w, h);
}

// Radio items 17 pixels high, columns of equal width: the groups keep their designed size
// in either language instead of growing with the style's size hints.
void Compact(TRadioGroup* group) {
    auto* grid = static_cast<QGridLayout*>(group->layout());
    grid->setContentsMargins(1, 0, 1, 0);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(0);
    for (int k = 0; k < group->Count(); ++k) {
        group->Button(k)->setFixedHeight(kRowHeight);
        group->Button(k)->setMinimumWidth(1);
    }
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setColumnStretch(c, 1);
}

} // namespace

// Key filter and exit event of the sensitivity edits.
class TLayoutEditor::TEditFilter : public QObject {
public:
    explicit TEditFilter(TLayoutEditor& editor) : editor_(editor) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!TLayoutEditor::Edit3KeyPress(key->key(), key->text()))
                return true; // discarded
        } else if (event->type() == QEvent::FocusOut) {
            if (watched == editor_.Edit3)
                editor_.Edit3Exit();
            else if (watched == editor_.Edit4)
                editor_.Edit4Exit();
        }
        return false;
    }

private:
    TLayoutEditor& editor_;
};

TLayoutEditor::TLayoutEditor(TConfigImage& image, TItemCatalogue& catalogue, QWidget* form)
    : History(image), image_(image), catalogue_(catalogue), model_(image, catalogue),
      panel_(image, model_), editFilter_(std::make_unique<TEditFilter>(*this)),
      context_(std::make_unique<QObject>()) {
    CreateControls(form);
    studio_ = std::make_unique<TLayoutStudio>(*this, image_, catalogue_, RadioGroup2);
    ApplyInitialCaptions();
    WireHandlers();
    SetEditorVisible(false);
}

TLayoutEditor::~TLayoutEditor() {
    // The form may outlive the editor: no control may call back into it any more.
    context_.reset();
    studio_.reset();
    editFilter_.reset();
    if (!form_)
        return;
    for (TCheckBox* b : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5})
        b->OnClick = nullptr;
    for (TRadioGroup* g : {RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4, RadioGroup5})
        g->OnClick = nullptr;
    UpDown1->OnClick = nullptr;
    UpDown2->OnClick = nullptr;
    // The grid paints the editor's cell model: it goes with it.
    delete StringGrid1;
    StringGrid1 = nullptr;
}

void TLayoutEditor::CreateControls(QWidget* form) {
    form_ = form;
    StringGrid1 = new TLayoutGrid(model_, form);
    StringGrid1->move(GridLeft, GridTop);
    CreateChoices(form);
    CreatePanel(form);
    CreatePositionControls();
    for (TRadioGroup* g : {RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4, RadioGroup5})
        Compact(g);
    // The layout mode starts on OFF; the video standard starts with no selection, so the
    // first good read always runs the video standard switch.
    RadioGroup2->SetItemIndex(0);
}

// The item list, the video standard and, below them, the layout mode.
void TLayoutEditor::CreateChoices(QWidget* form) {
    GroupBox4 = Place<QGroupBox>(form, "GroupBox4", AreaRect(0, 0, 136, 42));
    ComboBox1 = Place<QComboBox>(GroupBox4, "ComboBox1", QRect(3, 18, 130, 21));
    ComboBox1->setMaxVisibleItems(kItemCount);
    RadioGroup4 = Place<TRadioGroup>(form, "RadioGroup4", AreaRect(139, 0, 122, 42), QString());
    RadioGroup4->SetItems({QStringLiteral("NTSC"), QStringLiteral("PAL")}, 2);
    RadioGroup2 = Place<TRadioGroup>(form, "RadioGroup2", AreaRect(0, 44, 261, 38), QString());
    QStringList modes;
    for (const char* name : kLayoutModeNames)
        modes << QLatin1String(name);
    RadioGroup2->SetItems(modes, kLayoutModes);
}

// The attribute panel: Visible in the title band, right of the title; below it three
// columns (the X and Y spinners in the third, CreatePositionControls). Rows of a group
// start under its title band (18 pixels).
void TLayoutEditor::CreatePanel(QWidget* form) {
    GroupBox2 = Place<QGroupBox>(form, "GroupBox2", AreaRect(0, 84, 261, kPanelHeight));
    CheckBox1 = Place<TCheckBox>(GroupBox2, "CheckBox1", QRect(186, 0, 69, 15), QString());
    // Left column: attributes (or the horizon's and variometer's Negative in their place).
    GroupBox3 = Place<QGroupBox>(GroupBox2, "GroupBox3", QRect(3, 17, 70, 66));
    CheckBox2 = Place<TCheckBox>(GroupBox3, "CheckBox2", QRect(3, 18, 65, 16), QString());
    CheckBox3 = Place<TCheckBox>(GroupBox3, "CheckBox3", QRect(3, 34, 65, 16), QString());
    CheckBox4 = Place<TCheckBox>(GroupBox3, "CheckBox4", QRect(3, 50, 65, 16), QString());
    CheckBox5 = Place<TCheckBox>(GroupBox2, "CheckBox5", QRect(5, 19, 69, 16), QString());
    // Middle column: font (or the audible vario) and the item option.
    RadioGroup1 = Place<TRadioGroup>(GroupBox2, "RadioGroup1", QRect(76, 17, 107, 36), QString());
    RadioGroup1->SetItems({QString(), QString()}, 2);
    RadioGroup5 = Place<TRadioGroup>(GroupBox2, "RadioGroup5", QRect(76, 17, 107, 55), QString());
    RadioGroup5->SetItems({QString(), QString()}, 1);
    RadioGroup3 = Place<TRadioGroup>(GroupBox2, "RadioGroup3", QRect(76, 53, 107, 36), QString());
    RadioGroup3->SetItems({QStringLiteral("Int."), QStringLiteral("Ext.")}, 2);
}

// The panel's right column: X and Y spinners, or the horizon's sensitivities in their places.
void TLayoutEditor::CreatePositionControls() {
    StaticText1 = Place<QLabel>(GroupBox2, "StaticText1", QRect(186, 17, 72, 14));
    Edit1 = Place<QLineEdit>(GroupBox2, "Edit1", QRect(186, 31, 30, kEditHeight));
    UpDown1 = Place<TUpDown>(GroupBox2, "UpDown1", QRect(216, 31, 15, kEditHeight), Edit1);
    UpDown1->SetRange(0, grid::MaxX);
    UpDown1->SetWrap(true);
    StaticText2 = Place<QLabel>(GroupBox2, "StaticText2", QRect(186, 51, 72, 14));
    Edit2 = Place<QLineEdit>(GroupBox2, "Edit2", QRect(186, 65, 30, kEditHeight));
    UpDown2 = Place<TUpDown>(GroupBox2, "UpDown2", QRect(216, 65, 15, kEditHeight), Edit2);
    UpDown2->SetRange(0, grid::MaxY);
    UpDown2->SetWrap(true);
    StaticText3 = Place<QLabel>(GroupBox2, "StaticText3", QRect(186, 17, 72, 14));
    Edit3 = Place<QLineEdit>(GroupBox2, "Edit3", QRect(186, 31, 36, kEditHeight));
    StaticText4 = Place<QLabel>(GroupBox2, "StaticText4", QRect(186, 51, 72, 14));
    Edit4 = Place<QLineEdit>(GroupBox2, "Edit4", QRect(186, 65, 36, kEditHeight));
    // Each label names its edit box for accessibility (Captions.h).
    StaticText1->setBuddy(Edit1);
    StaticText2->setBuddy(Edit2);
    StaticText3->setBuddy(Edit3);
    StaticText4->setBuddy(Edit4);
    for (QLineEdit* e : {Edit3, Edit4}) {
        // Only what a sensitivity may hold, whether typed, pasted or dropped.
        e->setValidator(new TKeyValidator("0123456789", SensitivityDigits, nullptr, e));
        e->setContextMenuPolicy(Qt::NoContextMenu); // no paste around the key filter
        e->setAcceptDrops(false);
        e->installEventFilter(editFilter_.get());
    }
}

void TLayoutEditor::ApplyInitialCaptions() {
    // English texts of the main window table, for the controls that belong to the editor.
    std::set<QString> mine;
    for (const QWidget* w : std::initializer_list<const QWidget*>{
             GroupBox2, GroupBox3, GroupBox4, CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5,
             RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4, RadioGroup5, StaticText1,
             StaticText2, StaticText3, StaticText4, static_cast<QWidget*>(studio_->GuidesBox),
             static_cast<QWidget*>(studio_->PresetsButton)})
        mine.insert(w->objectName());
    ApplyCaptionTexts(form_, MainWindowTexts(), TLanguage::English, [&](const TCaptionText& row) {
        return !mine.contains(QString::fromLatin1(row.Control));
    });
}

void TLayoutEditor::WireHandlers() {
    QObject::connect(ComboBox1, &QComboBox::activated, context_.get(),
                     [this](int) { ComboBox1Change(); });
    CheckBox1->OnClick = [this] { CheckBoxClick(); };
    CheckBox2->OnClick = [this] { CheckBox2Click(); };
    CheckBox3->OnClick = [this] { CheckBox3Click(); };
    CheckBox4->OnClick = [this] { CheckBox4Click(); };
    CheckBox5->OnClick = [this] { CheckBox5Click(); };
    RadioGroup1->OnClick = [this] { RadioGroup1Click(); };
    RadioGroup2->OnClick = [this] { RadioGroup2Click(); };
    RadioGroup3->OnClick = [this] { RadioGroup3Click(); };
    RadioGroup4->OnClick = [this] { RadioGroup4Click(); };
    RadioGroup5->OnClick = [this] { RadioGroup5Click(); };
    UpDown1->OnClick = [this](TUpDown::TButton) { UpDown1Click(); };
    UpDown2->OnClick = [this](TUpDown::TButton button) {
        UpDown2Click(button == TUpDown::TButton::Up);
    };
    StringGrid1->OnMouseDown = [this](Qt::MouseButton b, TShiftState s, int x, int y) {
        StringGrid1MouseDown(b, s, x, y);
    };
    StringGrid1->OnMouseMove = [this](TShiftState s, int x, int y) {
        StringGrid1MouseMove(s, x, y);
    };
    StringGrid1->OnMouseUp = [this](Qt::MouseButton, TShiftState, int, int) {
        StringGrid1MouseUp();
    };
    StringGrid1->OnKey = [this](int key, Qt::KeyboardModifiers mods) { return GridKey(key, mods); };
    StringGrid1->OnContextMenu = [this](const QPoint& at) { ShowContextMenu(at); };
    History.OnApplied = [this](int mode, int item, const std::string& shownName) {
        ShowStep(mode, item, shownName);
    };
}

TLanguage TLayoutEditor::Lang() const {
    return Language ? Language() : TLanguage::English;
}

int TLayoutEditor::SelectedItem() const {
    return std::max(0, ComboBox1->currentIndex());
}

void TLayoutEditor::SelectItem(int item) {
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setCurrentIndex(item);
    model_.SetSelected(SelectedItem());
}

// ---- The API used by the main window -------------------------------------------------

void TLayoutEditor::SetItemCount(int count) {
    model_.SetItemCount(count);
}

void TLayoutEditor::GridClear() {
    model_.Clear();
    StringGrid1->update();
    if (OnGridRedraw)
        OnGridRedraw();
}

void TLayoutEditor::GridRedraw() {
    model_.Redraw();
    studio_->AfterRedraw();
    StringGrid1->update();
    if (OnImageChanged)
        OnImageChanged();
    if (OnGridRedraw)
        OnGridRedraw();
}

void TLayoutEditor::BlinkTick() {
    model_.FlipBlink();
    // While the editor is closed the grid stays blank.
    if (editorVisible_)
        GridRedraw();
}

void TLayoutEditor::SetEditorVisible(bool on) {
    editorVisible_ = on;
    for (QWidget* w :
         std::initializer_list<QWidget*>{GroupBox2, GroupBox4, RadioGroup2, RadioGroup4})
        w->setVisible(on);
    if (!on) {
        model_.Drop();
        dragBefore_.reset();
    }
}

void TLayoutEditor::ResetSelection() {
    SelectItem(0);
}

void TLayoutEditor::FillItemList() {
    const bool polish = Lang() == TLanguage::Polish;
    {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->clear();
        for (int i = 0; i < TItemCatalogue::Count; ++i)
            ComboBox1->addItem(FromWin1250(catalogue_.Name(i, polish)));
    }
    SelectItem(0);
}

namespace {

// Selects an item without running the group's click handler (the caller has done its work).
void SetItemIndexQuietly(TRadioGroup& group, int index) {
    auto click = std::move(group.OnClick);
    group.OnClick = nullptr;
    group.SetItemIndex(index);
    group.OnClick = std::move(click);
}

} // namespace

// The standard and mode groups, the Y spinner's range and the grid's rows as the model
// holds them, without running the groups' handlers.
void TLayoutEditor::ShowStandardAndMode() {
    SetItemIndexQuietly(*RadioGroup4, image_.IsPal() ? 1 : 0);
    SetItemIndexQuietly(*RadioGroup2, model_.LayoutMode());
    UpDown2->SetRange(0, panel_.LastRow());
    StringGrid1->FitRows();
}

void TLayoutEditor::FollowImage(bool alwaysSwitch) {
    const int shown = RadioGroup4->ItemIndex();
    model_.TakeStandardAndMode(shown < 0 ? std::nullopt : std::optional<bool>(shown == 1),
                               alwaysSwitch);
    ShowStandardAndMode();
    catalogue_.ReadUserName(image_);
    PanelRefresh();
    GridRedraw();
}

void TLayoutEditor::OpenOnImage() {
    FollowImage(false);
}

void TLayoutEditor::CompleteImport() {
    FollowImage(true); // the switch runs also when the standard did not change
}

void TLayoutEditor::AfterSettingsDialog() {
    catalogue_.ReadUserName(image_);
    GridRedraw();
}

// ---- Attribute panel -------------------------------------------------------------------

void TLayoutEditor::PanelRefresh() {
    model_.SetLayoutMode(std::max(0, RadioGroup2->ItemIndex()));
    model_.SetSelected(SelectedItem());
    // The handlers these setters run write back the same bits.
    const std::uint8_t flags = panel_.Flags();
    CheckBox1->SetChecked(flags & flag::Visible);
    CheckBox2->SetChecked(flags & flag::Negative);
    CheckBox3->SetChecked(flags & flag::Blinking);
    CheckBox4->SetChecked(flags & flag::Grey);
    CheckBox5->SetChecked(flags & flag::Negative);
    RadioGroup1->SetItemIndex((flags & flag::Small) ? 1 : 0);

    if (panel_.HasPosition()) {
        panel_.Refresh();
        UpDown1->SetPosition(panel_.X());
        UpDown2->SetPosition(panel_.Y());
    }

    const TPanelLayout show = panel_.Layout();
    GroupBox3->setVisible(show.Attributes);
    RadioGroup1->setVisible(show.Attributes);
    CheckBox5->setVisible(show.OwnNegative);
    for (QWidget* w :
         std::initializer_list<QWidget*>{StaticText1, Edit1, UpDown1, StaticText2, Edit2, UpDown2})
        w->setVisible(show.Position);
    for (QWidget* w : std::initializer_list<QWidget*>{StaticText3, Edit3, StaticText4, Edit4})
        w->setVisible(show.Sensitivities);
    RadioGroup5->setVisible(show.AudibleVario);
    RadioGroup3->setVisible(show.Option != TItemOption::None);

    if (show.Sensitivities) {
        sensitivityMode_ = model_.LayoutMode();
        Edit3->setText(QString::number(panel_.X()));
        Edit4->setText(QString::number(panel_.Y()));
    }
    if (show.AudibleVario)
        RadioGroup5->SetItemIndex((flags & flag::Option) ? 1 : 0);
    if (show.Option == TItemOption::Sensor) {
        SetControlCaption(RadioGroup3, -1, QString::fromUtf8(SensorCaption(Lang())));
        RadioGroup3->SetItemText(0, QStringLiteral("Int."));
        RadioGroup3->SetItemText(1, QStringLiteral("Ext."));
    } else if (show.Option == TItemOption::Hdop) {
        SetControlCaption(RadioGroup3, -1, QStringLiteral("HDOP"));
        RadioGroup3->SetItemText(0, QStringLiteral("Ena."));
        RadioGroup3->SetItemText(1, QStringLiteral("Disa"));
    }
    if (show.Option != TItemOption::None)
        RadioGroup3->SetItemIndex((flags & flag::Option) ? 1 : 0);
}

void TLayoutEditor::ComboBox1Change() {
    PanelRefresh(); // takes the selection from the list
    GridRedraw();
}

// One attribute bit of the selected item's record, set from its control as one step.
void TLayoutEditor::ToggleFlag(std::uint8_t mask, bool on) {
    Change(TUiText::StepChange, [&] { panel_.SetFlagBit(mask, on); });
    GridRedraw();
}

void TLayoutEditor::CheckBoxClick() {
    ToggleFlag(flag::Visible, CheckBox1->Checked());
}

void TLayoutEditor::CheckBox2Click() {
    ToggleFlag(flag::Negative, CheckBox2->Checked());
}

void TLayoutEditor::CheckBox3Click() {
    ToggleFlag(flag::Blinking, CheckBox3->Checked());
}

void TLayoutEditor::CheckBox4Click() {
    ToggleFlag(flag::Grey, CheckBox4->Checked());
}

void TLayoutEditor::CheckBox5Click() {
    ToggleFlag(flag::Negative, CheckBox5->Checked());
}

void TLayoutEditor::RadioGroup1Click() {
    ToggleFlag(flag::Small, RadioGroup1->ItemIndex() == 1);
}

void TLayoutEditor::RadioGroup5Click() {
    ToggleFlag(flag::Option, RadioGroup5->ItemIndex() == 1);
}

void TLayoutEditor::RadioGroup3Click() {
    Change(TUiText::StepChange, [&] {
        panel_.SetFlagBit(flag::Option, RadioGroup3->ItemIndex() == 1);
        PanelRefresh();
    });
    GridRedraw();
}

void TLayoutEditor::RadioGroup2Click() {
    const int mode = std::max(0, RadioGroup2->ItemIndex());
    image_.SetMode(static_cast<std::uint8_t>(mode));
    PanelRefresh(); // takes the layout mode from the group
    GridRedraw();
}

int TLayoutEditor::ApplyVideoStandard() {
    int moved = 0;
    if (RadioGroup4->ItemIndex() == 1) {
        model_.SelectPal();
    } else if (RadioGroup4->ItemIndex() == 0) {
        moved = model_.SelectNtsc();
    }
    // The Y spinner reaches the last row of the standard and follows a row the switch
    // has just moved.
    UpDown2->SetRange(0, panel_.LastRow());
    if (panel_.HasPosition())
        UpDown2->SetPosition(panel_.Y());
    StringGrid1->FitRows();
    return moved;
}

void TLayoutEditor::RadioGroup4Click() {
    const TUiText name = RadioGroup4->ItemIndex() == 1 ? TUiText::StepPal : TUiText::StepNtsc;
    int moved = 0;
    RecordChange(StepName(name), [&] { moved = ApplyVideoStandard(); });
    GridRedraw();
    // Items the switch moved are counted, so the change is not silent (after the redraw,
    // whose overlap hint would replace it).
    if (moved > 0)
        ShowStatus(StepName(PluralText(TUiText::StatusNtscMovedOne, moved)).arg(moved));
}

void TLayoutEditor::UpDown1Click() {
    if (!panel_.HasPosition())
        return;
    Change(TUiText::StepMove, [&] { panel_.SetPosition(UpDown1->Position(), panel_.Y()); });
    GridRedraw();
}

void TLayoutEditor::UpDown2Click(bool up) {
    if (!panel_.HasPosition())
        return;
    UpDown2->SetPosition(panel_.LimitY(UpDown2->Position(), up));
    Change(TUiText::StepMove, [&] { panel_.SetPosition(panel_.X(), UpDown2->Position()); });
    GridRedraw();
}

bool TLayoutEditor::Edit3KeyPress(int key, const QString& text) {
    // Delete edits like Backspace; X11 delivers it with the text 0x7F, which the digit
    // rule below would otherwise discard.
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Tab ||
        key == Qt::Key_Backtab)
        return true;
    if (text.isEmpty())
        return true; // cursor and editing keys that type nothing
    return text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
}

void TLayoutEditor::StoreSensitivity(QLineEdit* edit, TSensitivity which) {
    // The horizon's record in the layout mode the edits were filled for, whatever is
    // selected by the time the edit is left.
    std::uint8_t value = 0;
    RecordChange(StepName(TUiText::StepChange, item::Horizon), [&] {
        value = panel_.StoreSensitivity(sensitivityMode_, which, edit->text().toStdString());
    });
    edit->setText(QString::number(value));
    if (OnImageChanged)
        OnImageChanged();
}

void TLayoutEditor::Edit3Exit() {
    StoreSensitivity(Edit3, TSensitivity::Nick);
}

void TLayoutEditor::Edit4Exit() {
    StoreSensitivity(Edit4, TSensitivity::Roll);
}

// ---- Grid mouse ------------------------------------------------------------------------

void TLayoutEditor::StringGrid1MouseDown(Qt::MouseButton button, TShiftState shift, int x, int y) {
    // The grid edits only while the editor is open (not before a read, nor while one runs).
    if (!editorVisible_)
        return;
    if (button != Qt::LeftButton || shift.Double ||
        (shift.Modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return;
    const auto cell = model_.CellAt(x, y);
    if (!cell)
        return;
    const TPick pick = model_.Pick(*cell);
    if (pick.Kind == TPick::TKind::None)
        return;
    SelectItem(pick.Item);
    PanelRefresh();
    GridRedraw();
    if (model_.Dragging())
        dragBefore_ = Snapshot(image_);
}

void TLayoutEditor::StringGrid1MouseMove(TShiftState shift, int x, int y) {
    if (!editorVisible_ || !model_.Dragging())
        return;
    if (shift.Buttons != Qt::LeftButton ||
        (shift.Modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return;
    const auto cell = model_.CellAt(x, y);
    if (!cell)
        return;
    const auto target = model_.DragTarget(*cell);
    if (!target)
        return;
    MoveSelected(*target);
}

void TLayoutEditor::StringGrid1MouseUp() {
    model_.Drop();
    // The whole drag is one step.
    if (dragBefore_)
        History.Record(StepName(TUiText::StepMove, model_.Selected()), *dragBefore_,
                       model_.LayoutMode(), model_.Selected());
    dragBefore_.reset();
}

void TLayoutEditor::MoveSelected(TCellPos target) {
    // Through the spinners, whose ranges limit the values and whose edits show them.
    UpDown1->SetPosition(target.Column);
    UpDown2->SetPosition(target.Row);
    panel_.SetPosition(UpDown1->Position(), UpDown2->Position());
    GridRedraw();
}

// ---- Edit history, keyboard and the grid's menu -----------------------------------------

void TLayoutEditor::RecordChange(const QString& name, const std::function<void()>& change) {
    if (recording_ > 0 || History.Applying()) {
        change();
        return;
    }
    const TImageBytes before = Snapshot(image_);
    const int mode = model_.LayoutMode();
    const int item = model_.Selected();
    const std::string shownName = catalogue_.UserNameSample();
    struct TDepth {
        int& Depth;
        ~TDepth() { --Depth; }
    } depth{++recording_};
    // A change cut off by an error (an import stopped by a read error) keeps what it
    // applied: that part is a step too.
    try {
        change();
    } catch (...) {
        History.Record(name, before, mode, item, shownName);
        throw;
    }
    History.Record(name, before, mode, item, shownName);
}

void TLayoutEditor::Change(TUiText text, const std::function<void()>& change) {
    RecordChange(StepName(text, model_.Selected()), change);
}

QString TLayoutEditor::StepName(TUiText text, int item) const {
    QString name = QString::fromUtf8(UiText(text, Lang()));
    if (item >= 0)
        name = name.arg(FromWin1250(catalogue_.Name(item, Lang() == TLanguage::Polish)));
    return name;
}

void TLayoutEditor::ShowStatus(const QString& text) const {
    if (OnStatus)
        OnStatus(text);
}

void TLayoutEditor::Undo() {
    UndoOrRedo(false);
}

void TLayoutEditor::Redo() {
    UndoOrRedo(true);
}

void TLayoutEditor::UndoOrRedo(bool redo) {
    if (!editorVisible_ || model_.Dragging() || !(redo ? History.CanRedo() : History.CanUndo()))
        return;
    const QString name = redo ? History.RedoText() : History.UndoText();
    if (redo)
        History.Redo();
    else
        History.Undo();
    const TUiText done = redo ? TUiText::StatusRedone : TUiText::StatusUndone;
    ShowStatus(StepName(done).arg(name));
}

void TLayoutEditor::ShowStep(int mode, int item, const std::string& shownName) {
    // The video standard as the image now holds it, without the switch's row shift.
    model_.FollowStandard();
    // The layout mode and the item the step was made on.
    if (mode >= 0)
        image_.SetMode(static_cast<std::uint8_t>(mode));
    if (image_.Mode() > 2)
        image_.SetMode(2);
    model_.SetLayoutMode(image_.Mode());
    ShowStandardAndMode();
    if (item >= 0)
        SelectItem(item);
    // Without a stored name the grid shows the name it showed before the step.
    if (!catalogue_.ReadUserName(image_) && !shownName.empty())
        catalogue_.SetUserNameSample(shownName);
    PanelRefresh();
    GridRedraw();
}

bool TLayoutEditor::GridKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!editorVisible_ || model_.Dragging())
        return false;
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    int dx = 0;
    int dy = 0;
    switch (key) {
    case Qt::Key_Left:
        dx = -1;
        break;
    case Qt::Key_Right:
        dx = 1;
        break;
    case Qt::Key_Up:
        dy = -1;
        break;
    case Qt::Key_Down:
        dy = 1;
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        SelectItem(
            panel_.Neighbour(key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier) ? 1 : -1));
        PanelRefresh();
        GridRedraw();
        return true;
    case Qt::Key_Space:
        CheckBox1->SetChecked(!CheckBox1->Checked()); // its handler makes the step
        return true;
    default:
        return false;
    }
    if (const auto target = panel_.Step(dx, dy))
        Change(TUiText::StepMove, [&] { MoveSelected(*target); });
    return true;
}

void TLayoutEditor::CopyLayoutTo(int mode) {
    const int from = model_.LayoutMode();
    if (mode == from || mode < 0 || mode >= kLayoutModes)
        return;
    RecordChange(StepName(TUiText::StepCopyLayout).arg(RadioGroup2->ItemText(mode)),
                 [&] { CopyLayout(image_, from, mode); });
    GridRedraw();
}

void TLayoutEditor::RestoreLayoutFromBoard() {
    if (!Written.Board())
        return;
    RecordChange(StepName(TUiText::StepRestoreLayout), [&] {
        RestoreLayout(image_, *Written.Board(), model_.LayoutMode());
        // The board's rows as read: under NTSC they move up as the read moved them.
        if (!image_.IsPal())
            model_.SelectNtsc();
        PanelRefresh();
    });
    GridRedraw();
}

void TLayoutEditor::SelectItemAt(const QPoint& at) {
    // The right button selects the item under it, as the left one does, without a drag.
    const auto cell = model_.CellAt(at.x(), at.y());
    if (!cell || model_.Dragging())
        return;
    const int item = model_.ItemAt(*cell);
    if (item < 0 || item == model_.Selected())
        return;
    SelectItem(item);
    PanelRefresh();
    GridRedraw();
}

void TLayoutEditor::ShowContextMenu(const QPoint& globalPos) {
    if (!editorVisible_)
        return;
    SelectItemAt(StringGrid1->mapFromGlobal(globalPos));
    const auto text = [this](TUiText t) { return QString::fromUtf8(UiText(t, Lang())); };
    QMenu menu(StringGrid1);
    QAction* undo = menu.addAction(text(TUiText::UndoAction).arg(History.UndoText()).trimmed());
    undo->setEnabled(History.CanUndo());
    QObject::connect(undo, &QAction::triggered, [this] { Undo(); });
    QAction* redo = menu.addAction(text(TUiText::RedoAction).arg(History.RedoText()).trimmed());
    redo->setEnabled(History.CanRedo());
    QObject::connect(redo, &QAction::triggered, [this] { Redo(); });
    menu.addSeparator();
    studio_->AddMenuEntries(menu);
    menu.addSeparator();
    for (int m = 0; m < kLayoutModes; ++m) {
        if (m == model_.LayoutMode())
            continue;
        QAction* copy = menu.addAction(text(TUiText::CopyLayoutTo).arg(RadioGroup2->ItemText(m)));
        QObject::connect(copy, &QAction::triggered, [this, m] { CopyLayoutTo(m); });
    }
    QAction* restore = menu.addAction(text(TUiText::RestoreLayout));
    restore->setEnabled(Written.Board().has_value());
    QObject::connect(restore, &QAction::triggered, [this] { RestoreLayoutFromBoard(); });
    menu.exec(globalPos);
}

} // namespace halvex
