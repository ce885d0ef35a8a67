#include "ui/PresetForm.h"

#include "editor/GridModel.h"
#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/ExceptionReport.h"
#include "ui/LayoutGrid.h"
#include "ui/LayoutStudio.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace halvex {

namespace {

constexpr int kThumbScale = 2; // the picture is half the grid's size
constexpr int kListColumns = 2;
constexpr int kCaptionHeight = 34; // room for the name under a picture

} // namespace

QPixmap LayoutThumbnail(const TConfigImage& image, const TItemCatalogue& catalogue, int mode) {
    TConfigImage copy = image;
    TGridModel model(copy, catalogue);
    model.SetItemCount(kItemCount);
    model.FollowStandard();
    model.SetLayoutMode(mode);
    model.ShowSelection(false);
    model.Redraw(true);
    TLayoutGrid grid(model);
    grid.FitRows();
    const QPixmap full = grid.grab();
    return full.scaled(full.size() / kThumbScale, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

TPresetForm::TPresetForm(TLayoutStudio& studio, const TConfigImage& image,
                         const TItemCatalogue& catalogue, QWidget* parent)
    : QDialog(parent), studio_(studio), image_(image), catalogue_(catalogue) {
    setObjectName(QStringLiteral("TPresetForm"));
    setFont(InterfaceFont());
    MissingNote = Make<QLabel>(this, "MissingNote");
    MissingNote->setWordWrap(true);
    MissingNote->hide();
    PresetList = Make<QListWidget>(this, "PresetList");
    PresetList->setViewMode(QListView::IconMode);
    PresetList->setMovement(QListView::Static);
    PresetList->setResizeMode(QListView::Adjust);
    PresetList->setWrapping(true);
    PresetList->setWordWrap(true);
    PresetList->setSelectionMode(QAbstractItemView::SingleSelection);
    const QSize thumb(grid::Width / kThumbScale, grid::HeightFor(grid::PalRows) / kThumbScale);
    PresetList->setIconSize(thumb);
    PresetList->setGridSize(thumb + QSize(16, kCaptionHeight));
    PresetList->setMinimumSize(kListColumns * (thumb.width() + 16) + 24,
                               2 * (thumb.height() + kCaptionHeight) + 8);
    ApplyTo = Make<TRadioGroup>(this, "ApplyTo", QString());
    ApplyTo->SetItems({QString(), QString()}, 2);
    ApplyTo->SetItemIndex(0);
    ApplyButton = Make<QPushButton>(this, "ApplyButton");
    SaveButton = Make<QPushButton>(this, "SaveButton");
    RenameButton = Make<QPushButton>(this, "RenameButton");
    DeleteButton = Make<QPushButton>(this, "DeleteButton");
    CloseButton = Make<QPushButton>(this, "CloseButton");

    auto* own = new QHBoxLayout;
    own->addWidget(SaveButton);
    own->addWidget(RenameButton);
    own->addWidget(DeleteButton);
    own->addStretch(1);
    own->addWidget(ApplyButton);
    own->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MissingNote);
    layout->addWidget(PresetList, 1);
    layout->addWidget(ApplyTo);
    layout->addLayout(own);
    ApplyButton->setDefault(true);

    connect(PresetList, &QListWidget::currentRowChanged, this, [this] { ShowChoice(); });
    connect(PresetList, &QListWidget::itemActivated, this, Guard([this] { ApplyChosen(); }));
    connect(ApplyButton, &QPushButton::clicked, this, Guard([this] { ApplyChosen(); }));
    connect(SaveButton, &QPushButton::clicked, this, Guard([this] { SaveLayout(); }));
    connect(RenameButton, &QPushButton::clicked, this, Guard([this] { RenameChosen(); }));
    connect(DeleteButton, &QPushButton::clicked, this, Guard([this] { DeleteChosen(); }));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);

    AskName = [this](const QString& prompt, const QString& text) {
        return QInputDialog::getText(this, windowTitle(), prompt, QLineEdit::Normal, text);
    };
    Question = [this](const QString& question) { return AskYesNo(question, this); };
}

QString TPresetForm::Text(TUiText text) const {
    return QString::fromUtf8(UiText(text, language_));
}

void TPresetForm::Reload(TLanguage language, int mode) {
    language_ = language;
    mode_ = mode;
    ApplyCaptionTexts(this, PresetDialogTexts(), language);
    ApplyTo->SetItemText(0,
                         Text(TUiText::PresetToCurrent).arg(QLatin1String(kLayoutModeNames[mode])));
    ApplyTo->SetItemText(1, Text(TUiText::PresetToAll));
    ReloadChoosing(Chosen() ? Chosen()->Path : QString());
}

void TPresetForm::ReloadChoosing(const QString& path) {
    entries_ = studio_.Presets.List(language_);
    PresetList->clear();
    int chosen = entries_.empty() ? -1 : 0;
    for (int k = 0; k < static_cast<int>(entries_.size()); ++k) {
        const TPresetEntry& e = entries_[static_cast<std::size_t>(k)];
        // A file that cannot be read or is no preset shows an empty picture; Apply says why.
        QPixmap picture;
        try {
            if (const auto preset = TPresetLibrary::Load(e.Path, image_, catalogue_))
                picture = LayoutThumbnail(*preset, catalogue_, mode_);
        } catch (const std::exception&) {
        }
        // The same picture when chosen: the list marks the choice on the name.
        QIcon icon(picture);
        icon.addPixmap(picture, QIcon::Selected);
        auto* item = new QListWidgetItem(icon, e.Name, PresetList);
        item->setToolTip(e.Path);
        if (!path.isEmpty() && QFileInfo(e.Path) == QFileInfo(path))
            chosen = k;
    }
    // Without the shipped presets the installation is incomplete: said, not left empty.
    const bool missing =
        std::none_of(entries_.begin(), entries_.end(), [](const auto& e) { return !e.Own; });
    MissingNote->setText(Text(TUiText::PresetsMissing).arg(studio_.Presets.Shipped()));
    MissingNote->setVisible(missing);
    Choose(chosen);
}

const TPresetEntry* TPresetForm::Chosen() const {
    const int row = PresetList->currentRow();
    return row >= 0 && row < static_cast<int>(entries_.size())
               ? &entries_[static_cast<std::size_t>(row)]
               : nullptr;
}

void TPresetForm::Choose(int index) {
    PresetList->setCurrentRow(index);
    ShowChoice();
}

void TPresetForm::ShowChoice() {
    const TPresetEntry* chosen = Chosen();
    ApplyButton->setEnabled(chosen != nullptr);
    RenameButton->setEnabled(chosen && chosen->Own);
    DeleteButton->setEnabled(chosen && chosen->Own);
}

void TPresetForm::ApplyChosen() {
    const TPresetEntry* chosen = Chosen();
    if (!chosen)
        return;
    const TPresetEntry preset = *chosen;
    accept();
    studio_.ApplyPreset(preset, ApplyTo->ItemIndex() == 1);
}

QString TPresetForm::AskValidName(const QString& start) {
    QString name = start;
    for (;;) {
        name = AskName ? AskName(Text(TUiText::PresetNamePrompt), name).trimmed() : QString();
        if (name.isEmpty() || TPresetLibrary::ValidName(name))
            return name;
        ShowMessageText(Text(TUiText::PresetBadName));
    }
}

void TPresetForm::SaveLayout() {
    const QString name = AskValidName(QString());
    if (name.isEmpty())
        return;
    if (studio_.Presets.OwnExists(name) &&
        !(Question && Question(Text(TUiText::PresetReplace).arg(name))))
        return;
    ReloadChoosing(studio_.Presets.Save(name, image_, catalogue_));
}

void TPresetForm::RenameChosen() {
    const TPresetEntry* chosen = Chosen();
    if (!chosen || !chosen->Own)
        return;
    const QString from = chosen->Name;
    const QString to = AskValidName(from);
    if (to.isEmpty() || to == from)
        return;
    if (studio_.Presets.OwnExists(to) &&
        !(Question && Question(Text(TUiText::PresetReplace).arg(to))))
        return;
    const QString path = chosen->Path;
    ReloadAfter([&] { studio_.Presets.Rename(from, to); }, path);
    ReloadChoosing(studio_.Presets.OwnPath(to));
}

void TPresetForm::DeleteChosen() {
    const TPresetEntry* chosen = Chosen();
    if (!chosen || !chosen->Own ||
        !(Question && Question(Text(TUiText::PresetDelete).arg(chosen->Name))))
        return;
    const QString name = chosen->Name;
    ReloadAfter([&] { studio_.Presets.Remove(name); }, QString());
    ReloadChoosing(QString());
}

void TPresetForm::ReloadAfter(const std::function<void()>& change, const QString& path) {
    try {
        change();
    } catch (...) {
        // Another program may have changed the folder: the list shows what is there now.
        ReloadChoosing(path);
        throw;
    }
}

} // namespace halvex
