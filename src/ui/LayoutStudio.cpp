#include "ui/LayoutStudio.h"

#include "config/Preferences.h"
#include "ui/CodePage.h"
#include "ui/Controls.h"
#include "ui/ExceptionReport.h"
#include "ui/LayoutEditor.h"
#include "ui/PresetForm.h"

#include <QGridLayout>
#include <QMenu>
#include <QPushButton>

namespace halvex {

namespace {

// In the layout mode group (261 x 38): the guides box in the title band between the title
// and the OSD preview button (which starts at 161), the presets button right of the mode
// buttons, which keep the left 154 pixels.
const QRect kGuidesBox(74, 0, 85, 17);
const QRect kPresetsButton(156, 18, 103, 19);
constexpr int kModeButtonsRight = 261 - 154;

constexpr const char* kGuidesPreference = "Guides";

// The menu text of an anchor: the texts follow TAnchor's order.
TUiText AnchorText(TAnchor anchor) {
    return static_cast<TUiText>(static_cast<int>(TUiText::AnchorTopLeft) +
                                static_cast<int>(anchor));
}

} // namespace

TLayoutStudio::TLayoutStudio(TLayoutEditor& editor, TConfigImage& image, TItemCatalogue& catalogue,
                             QWidget* modeGroup)
    : editor_(editor), image_(image), catalogue_(catalogue) {
    GuidesBox = Place<TCheckBox>(modeGroup, "GuidesBox", kGuidesBox, QString());
    // A store that cannot be written is reported; the guides show all the same.
    GuidesBox->OnClick = [this] { RunGuarded([this] { ShowGuides(GuidesBox->Checked()); }); };
    guidesAlive_ = GuidesBox;
    PresetsButton = Place<QPushButton>(modeGroup, "PresetsButton", kPresetsButton);
    PresetsButton->setFont(InterfaceFont());
    QObject::connect(PresetsButton, &QPushButton::clicked, context_.get(),
                     Guard([this] { OpenPresets(); }));
    if (auto* grid = qobject_cast<QGridLayout*>(modeGroup->layout())) {
        const QMargins m = grid->contentsMargins();
        grid->setContentsMargins(m.left(), m.top(), kModeButtonsRight, m.bottom());
    }
}

TLayoutStudio::~TLayoutStudio() {
    context_.reset();
    delete form_.data();
    if (guidesAlive_)
        guidesAlive_->OnClick = nullptr;
}

TLanguage TLayoutStudio::Lang() const {
    return editor_.Language ? editor_.Language() : TLanguage::English;
}

QString TLayoutStudio::Text(TUiText text) const {
    return QString::fromUtf8(UiText(text, Lang()));
}

QString TLayoutStudio::ItemName(int item) const {
    return FromWin1250(catalogue_.Name(item, Lang() == TLanguage::Polish));
}

TPresetForm& TLayoutStudio::PresetForm() {
    if (!form_)
        form_ = new TPresetForm(*this, image_, catalogue_, PresetsButton->window());
    return *form_;
}

void TLayoutStudio::OpenPresets() {
    TPresetForm& form = PresetForm();
    form.Reload(Lang(), editor_.Model().LayoutMode());
    form.exec();
}

void TLayoutStudio::ApplyPreset(const TPresetEntry& preset, bool allModes) {
    const std::optional<TConfigImage> loaded =
        TPresetLibrary::Load(preset.Path, image_, catalogue_);
    if (!loaded) {
        ShowMessageText(QString::fromUtf8(MessageText(TMessage::BadFileFormat, Lang())));
        return;
    }
    const int mode = allModes ? kAllLayoutModes : editor_.Model().LayoutMode();
    editor_.RecordChange(Text(TUiText::StepPreset).arg(preset.Name), [&] {
        ApplyPresetLayouts(image_, *loaded, mode);
        editor_.PanelRefresh();
    });
    editor_.GridRedraw();
    editor_.ShowStatus(PresetAppliedText(preset.Name, mode, Lang()));
}

TRowSpan TLayoutStudio::PlacingRows() const {
    const int rows = editor_.Model().RowCount();
    return GuidesShown() ? WideScreenRows(rows) : TRowSpan{0, rows - 1};
}

void TLayoutStudio::PlaceAt(TAnchor anchor) {
    const int item = editor_.Model().Selected();
    const auto place = AnchorPlace(item, catalogue_.Width(item), anchor, PlacingRows());
    if (!place)
        return;
    const int mode = editor_.Model().LayoutMode();
    editor_.RecordChange(editor_.StepName(TUiText::StepPlace, item), [&] {
        image_.SetXPos(mode, item, static_cast<std::uint8_t>(place->Column));
        image_.SetYPos(mode, item, static_cast<std::uint8_t>(place->Row));
        editor_.PanelRefresh();
    });
    editor_.GridRedraw();
    // The anchor's menu text, in the sentence's case.
    QString where = Text(AnchorText(anchor));
    where[0] = where[0].toLower();
    editor_.ShowStatus(Text(GuidesShown() ? TUiText::StatusPlacedWide : TUiText::StatusPlaced)
                           .arg(ItemName(item), where));
}

void TLayoutStudio::CopyPositionTo(int mode) {
    const int item = editor_.Model().Selected();
    const int from = editor_.Model().LayoutMode();
    if (item == item::Horizon || mode == from || mode < 0 || mode >= kLayoutModes)
        return;
    const QString modeName = editor_.RadioGroup2->ItemText(mode);
    editor_.RecordChange(Text(TUiText::StepCopyPosition).arg(ItemName(item), modeName),
                         [&] { CopyItemRecord(image_, item, from, mode); });
    editor_.GridRedraw();
    editor_.ShowStatus(Text(TUiText::StatusPositionCopied).arg(ItemName(item), modeName));
}

void TLayoutStudio::AddMenuEntries(QMenu& menu) {
    const bool placeable = editor_.Model().Selected() != item::Horizon;
    QMenu* place = menu.addMenu(Text(TUiText::PlaceAt));
    place->setEnabled(placeable);
    for (int k = 0; k < kAnchorCount; ++k) {
        QAction* a = place->addAction(Text(AnchorText(static_cast<TAnchor>(k))));
        QObject::connect(a, &QAction::triggered,
                         Guard([this, k] { PlaceAt(static_cast<TAnchor>(k)); }));
    }
    for (int m = 0; m < kLayoutModes; ++m) {
        if (m == editor_.Model().LayoutMode())
            continue;
        QAction* copy =
            menu.addAction(Text(TUiText::CopyPositionTo).arg(editor_.RadioGroup2->ItemText(m)));
        copy->setEnabled(placeable);
        QObject::connect(copy, &QAction::triggered, Guard([this, m] { CopyPositionTo(m); }));
    }
}

bool TLayoutStudio::GuidesShown() const {
    return GuidesBox->Checked();
}

void TLayoutStudio::UsePreferences(TPreferences& preferences) {
    bool on = false;
    try {
        if (const TPreferenceKey key = preferences.Open(false);
            key && key->ValueExists(QString::fromLatin1(kGuidesPreference)))
            on = key->ReadBool(QString::fromLatin1(kGuidesPreference));
    } catch (const EPreferenceError&) {
        // Not an integer: the guides stay off.
    }
    GuidesBox->SetChecked(on);
    preferences_ = &preferences; // from now on the box's changes are stored
}

void TLayoutStudio::ShowGuides(bool on) {
    editor_.StringGrid1->SetGuides(on);
    if (editor_.OnGridRedraw)
        editor_.OnGridRedraw();
    StoreGuides(on);
}

void TLayoutStudio::StoreGuides(bool on) {
    if (!preferences_)
        return;
    // A store that cannot be reached fails the write with its error.
    preferences_->Open(true)->WriteBool(QString::fromLatin1(kGuidesPreference), on);
}

void TLayoutStudio::AfterRedraw() {
    std::vector<int> now;
    if (editor_.EditorVisible())
        now = editor_.Model().OverlapsWith(editor_.Model().Selected());
    if (now == overlaps_)
        return;
    overlaps_ = std::move(now);
    const QString was = hint_;
    hint_ = OverlapHint();
    if (OnOverlapHint)
        OnOverlapHint(was, hint_);
}

QString TLayoutStudio::OverlapHint() const {
    if (overlaps_.empty())
        return QString();
    QStringList names;
    for (const int i : overlaps_)
        names << ItemName(i);
    return Text(TUiText::StatusOverlaps).arg(names.join(QStringLiteral(", ")));
}

} // namespace halvex
