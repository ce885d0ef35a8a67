#include "ui/FontStudio.h"

#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/ExceptionReport.h"
#include "ui/GlyphViews.h"
#include "ui/PictureImport.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QUndoCommand>
#include <QVBoxLayout>

namespace halvex {

namespace {

constexpr TGlyphPixel kInks[] = {TGlyphPixel::White, TGlyphPixel::Black, TGlyphPixel::Transparent};

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

class TFontStudio::TStepCommand : public QUndoCommand {
public:
    TStepCommand(TFontStudio& studio, const QString& name, TFontStep step)
        : QUndoCommand(name), studio_(studio), step_(std::move(step)) {}
    void undo() override { studio_.Apply(step_, true); }
    void redo() override {
        // The change itself was made before the step was pushed.
        if (pushed_)
            studio_.Apply(step_, false);
        pushed_ = true;
    }

private:
    TFontStudio& studio_;
    TFontStep step_;
    bool pushed_ = false;
};

TFontStudio::TFontStudio(TPreferences& preferences, QWidget* parent)
    : QWidget(parent, Qt::Window), preferences_(preferences),
      document_(std::make_unique<TFontDocument>(BuiltInGlyphs())),
      setPainter_(std::make_unique<TPreviewPainter>()),
      besidePainter_(std::make_unique<TPreviewPainter>()) {
    setObjectName(QStringLiteral("FontStudio"));
    CreateControls();
    LayOut();
    Connect();
    FileDialog = [this](const TFileDialogRequest& request) { return RunFileDialog(this, request); };
    Question = [this](const QString& question) { return AskYesNo(question, this); };
    ImportOptions = [this](TPictureSource& picture, int first) {
        return AskPictureImport(picture, first, Lang(), this);
    };
    resize(780, 700);
    ApplyLanguage();
    SetChanged();
}

TFontStudio::~TFontStudio() {
    // The commands refer back to this window: they go first.
    history_.clear();
}

void TFontStudio::CreateControls() {
    OpenButton = Make<QPushButton>(this, "OpenButton");
    SaveButton = Make<QPushButton>(this, "SaveButton");
    BesideButton = Make<QPushButton>(this, "BesideButton");
    ImportButton = Make<QPushButton>(this, "ImportButton");
    UploadButton = Make<QPushButton>(this, "UploadButton");
    CopyButton = Make<QPushButton>(this, "CopyButton");
    PasteButton = Make<QPushButton>(this, "PasteButton");
    UndoButton = Make<QPushButton>(this, "UndoButton");
    RedoButton = Make<QPushButton>(this, "RedoButton");
    InkGroup = Make<TRadioGroup>(this, "InkGroup", QString());
    InkGroup->SetItems({QString(), QString(), QString()}, 3);
    InkGroup->SetItemIndex(0);
    SetTable = Make<TGlyphTable>(this, "SetTable", *setPainter_);
    BesideTable = Make<TGlyphTable>(this, "BesideTable", *besidePainter_);
    EditView = Make<TGlyphEditView>(this, "EditView");
    SetLabel = Make<QLabel>(this, "SetLabel");
    BesideLabel = Make<QLabel>(this, "BesideLabel");
    CharLabel = Make<QLabel>(this, "CharLabel");
    for (QWidget* table : {static_cast<QWidget*>(SetTable), static_cast<QWidget*>(BesideTable)})
        table->setFocusPolicy(Qt::StrongFocus);
    PasteButton->setEnabled(false);
}

void TFontStudio::LayOut() {
    auto* top = new QHBoxLayout;
    for (QWidget* w : {OpenButton, SaveButton, BesideButton, ImportButton, UploadButton})
        top->addWidget(w);
    top->addStretch(1);

    auto* setColumn = new QVBoxLayout;
    setColumn->addWidget(SetTable, 1);
    setColumn->addWidget(SetLabel);
    auto* edits = new QHBoxLayout;
    for (QWidget* w : {CopyButton, PasteButton, UndoButton, RedoButton})
        edits->addWidget(w);
    auto* editColumn = new QVBoxLayout;
    editColumn->addWidget(EditView, 1);
    editColumn->addWidget(CharLabel);
    editColumn->addWidget(InkGroup);
    editColumn->addLayout(edits);
    // The set beside, in a pane of its own that takes room only while shown.
    BesidePane = Make<QWidget>(this, "BesidePane");
    BesideTable->setParent(BesidePane);
    BesideLabel->setParent(BesidePane);
    auto* besideColumn = new QVBoxLayout(BesidePane);
    besideColumn->setContentsMargins(0, 0, 0, 0);
    besideColumn->addWidget(BesideTable, 1);
    besideColumn->addWidget(BesideLabel);
    BesidePane->hide();

    auto* main = new QHBoxLayout;
    main->addLayout(setColumn, 3);
    main->addLayout(editColumn, 2);
    main->addWidget(BesidePane, 3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addLayout(main, 1);
}

void TFontStudio::Connect() {
    const auto own = [this](auto fn) { return GuardOver(this, std::move(fn)); };
    connect(OpenButton, &QPushButton::clicked, this, own([this] { ChooseOpen(); }));
    connect(SaveButton, &QPushButton::clicked, this, own([this] { ChooseSave(); }));
    connect(BesideButton, &QPushButton::clicked, this, own([this] { ChooseBeside(); }));
    connect(ImportButton, &QPushButton::clicked, this, own([this] { ChooseImport(); }));
    connect(UploadButton, &QPushButton::clicked, this, own([this] {
                if (OnUpload)
                    OnUpload(document_->Sent());
            }));
    connect(CopyButton, &QPushButton::clicked, this, own([this] { Copy(); }));
    connect(PasteButton, &QPushButton::clicked, this, own([this] { Paste(); }));
    connect(UndoButton, &QPushButton::clicked, this, own([this] { Undo(); }));
    connect(RedoButton, &QPushButton::clicked, this, own([this] { Redo(); }));
    InkGroup->OnClick = [this] {
        EditView->SetInk(kInks[std::clamp(InkGroup->ItemIndex(), 0, 2)]);
    };
    SetTable->OnChoose = [this](int code) {
        copyBeside_ = false;
        Choose(code);
    };
    BesideTable->OnChoose = [this](int code) {
        copyBeside_ = true;
        besideCurrent_ = code;
        BesideTable->SetCurrent(code);
    };
    EditView->OnStrokeBegin = [this] { BeginStroke(); };
    EditView->OnPaint = [this](int pixel, TGlyphPixel value) { PaintPixel(pixel, value); };
    EditView->OnStrokeEnd = [this] { EndStroke(); };

    const std::pair<QKeySequence, void (TFontStudio::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), &TFontStudio::Undo},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), &TFontStudio::Redo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TFontStudio::Redo},
        {QKeySequence(Qt::CTRL | Qt::Key_C), &TFontStudio::Copy},
        {QKeySequence(Qt::CTRL | Qt::Key_V), &TFontStudio::Paste}};
    for (const auto& [key, action] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, own([this, a = action] { (this->*a)(); }));
    }
}

TLanguage TFontStudio::Lang() const {
    return Language ? Language() : TLanguage::English;
}

QString TFontStudio::Text(TStudioText text) const {
    return QString::fromUtf8(StudioText(text, Lang()));
}

QString TFontStudio::Text(TUiText text) const {
    return QString::fromUtf8(UiText(text, Lang()));
}

void TFontStudio::ApplyLanguage() {
    ApplyCaptionTexts(this, StudioTexts(), Lang());
    SetUploadGate(gate_);
    ShowNames();
    ShowCurrent();
    ShowHistory();
}

void TFontStudio::SetUploadGate(TUploadGate gate) {
    gate_ = gate;
    UploadButton->setEnabled(gate == TUploadGate::Ready);
    const TStudioText why = gate == TUploadGate::Ready       ? TStudioText::UploadReady
                            : gate == TUploadGate::NotLinked ? TStudioText::UploadNotLinked
                                                             : TStudioText::UploadConfigured;
    UploadButton->setToolTip(Text(why));
}

void TFontStudio::ShowStudio() {
    if (!placed_) {
        // Centred over the main window, moved as little as needed to be seen whole.
        placed_ = true;
        const QRect screen = this->screen()->availableGeometry();
        resize(size().boundedTo(screen.size() - QSize(16, 48)));
        QRect frame(QPoint(0, 0), size());
        if (parentWidget())
            frame.moveCenter(parentWidget()->window()->frameGeometry().center());
        frame.moveLeft(std::clamp(frame.left(), screen.left(),
                                  std::max(screen.left(), screen.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), screen.top(),
                                 std::max(screen.top(), screen.bottom() - frame.height())));
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

// ---- The set ---------------------------------------------------------------------------------

void TFontStudio::UseDocument(std::unique_ptr<TFontDocument> document, const QString& path) {
    history_.clear();
    document_ = std::move(document);
    path_ = path;
    SetChanged();
}

void TFontStudio::StartOn(const QString& path) {
    if (!path.isEmpty()) {
        try {
            if (auto document = TFontDocument::Load(NativePath(path))) {
                UseDocument(std::make_unique<TFontDocument>(std::move(*document)), path);
                return;
            }
        } catch (const std::exception&) {
            // A file gone since: the built-in set.
        }
    }
    UseDocument(std::make_unique<TFontDocument>(BuiltInGlyphs()), QString());
}

std::optional<TFontDocument> TFontStudio::LoadSet(const QString& path) {
    TMcmNotes notes;
    std::optional<TFontDocument> document = TFontDocument::Load(NativePath(path), &notes);
    if (!document)
        ShowMessageText(QString::fromUtf8(MessageText(notes.Refusal, Lang())));
    return document;
}

void TFontStudio::NoteExtraCharacters(const TFontDocument& set) {
    if (set.FileCharacters() > kFontChars)
        ShowMessageText(QString::fromUtf8(MessageText(TMessage::SetHoldsMore, Lang()))
                            .arg(static_cast<int>(set.FileCharacters())));
}

bool TFontStudio::OpenSet(const QString& path) {
    std::optional<TFontDocument> document = LoadSet(path);
    if (!document || !ConfirmDiscard())
        return false;
    UseDocument(std::make_unique<TFontDocument>(std::move(*document)), path);
    return true;
}

void TFontStudio::SaveSetAs(const QString& path) {
    WriteMcmFile(NativePath(path), document_->McmText());
    document_->MarkSaved();
    path_ = path;
    SetChanged();
}

bool TFontStudio::OpenBeside(const QString& path) {
    std::optional<TFontDocument> document = LoadSet(path);
    if (!document)
        return false;
    beside_ = std::make_unique<TFontDocument>(std::move(*document));
    besidePath_ = path;
    besidePainter_->SetGlyphs(beside_->Glyphs());
    BesideTable->SetCurrent(besideCurrent_);
    if (!BesidePane->isVisible()) {
        // The window widens by the pane's share, as far as the screen allows.
        const int room = screen()->availableGeometry().width() - frameGeometry().width();
        resize(width() + std::clamp(width() * 3 / 5, 0, std::max(0, room)), height());
        BesidePane->show();
    }
    ShowNames();
    return true;
}

bool TFontStudio::ConfirmDiscard() {
    return !document_->Modified() || (Question && Question(Text(TStudioText::DiscardSet)));
}

// ---- Editing -------------------------------------------------------------------------------

void TFontStudio::Choose(int code) {
    if (stroking_ || code < 0 || code >= static_cast<int>(kFontChars))
        return;
    current_ = code;
    ShowCurrent();
}

void TFontStudio::BeginStroke() {
    strokeBefore_ = document_->Chars();
    stroking_ = true;
}

void TFontStudio::PaintPixel(int pixel, TGlyphPixel value) {
    if (!stroking_ || pixel < 0 || pixel >= kGlyphWidth * kGlyphHeight)
        return;
    TGlyph glyph = document_->Glyph(static_cast<std::size_t>(current_));
    glyph[static_cast<std::size_t>(pixel)] = value;
    if (document_->SetGlyph(static_cast<std::size_t>(current_), glyph))
        SetChanged();
}

void TFontStudio::EndStroke() {
    if (!stroking_)
        return;
    stroking_ = false;
    Record(Text(TStudioText::StepPaint).arg(current_), strokeBefore_);
}

void TFontStudio::Copy() {
    const bool beside = copyBeside_ && beside_;
    clip_ = beside ? beside_->Char(static_cast<std::size_t>(besideCurrent_))
                   : document_->Char(static_cast<std::size_t>(current_));
    PasteButton->setEnabled(true);
}

void TFontStudio::Paste() {
    if (!clip_ || stroking_)
        return;
    const TMcmChars before = document_->Chars();
    if (!document_->PastePicture(static_cast<std::size_t>(current_), *clip_))
        return;
    Record(Text(TStudioText::StepPaste).arg(current_), before);
    SetChanged();
}

bool TFontStudio::ImportPicture(const TRgbaPicture& picture, const TPictureImportChoice& choice) {
    const TMappingOptions& o = choice.Options;
    const int count = o.Columns * o.Rows;
    if (stroking_ || o.Columns < 1 || o.Rows < 1 || choice.First < 0 ||
        choice.First + count > static_cast<int>(kFontChars) ||
        !ConfirmOverwrite(choice.First, count))
        return false;
    const TPixelBlock block = MapPicture(picture, o);
    const TMcmChars before = document_->Chars();
    for (int r = 0; r < o.Rows; ++r)
        for (int c = 0; c < o.Columns; ++c)
            document_->SetGlyph(static_cast<std::size_t>(choice.First + r * o.Columns + c),
                                block.Glyph(c, r));
    Record(Text(TStudioText::StepImport).arg(choice.First).arg(choice.First + count - 1), before);
    current_ = choice.First;
    SetChanged();
    return true;
}

// The question before a block overwrites characters the layout's items are drawn with.
bool TFontStudio::ConfirmOverwrite(int first, int count) {
    if (!GlyphUse)
        return true;
    const TGlyphConflict conflict = GlyphConflict(GlyphUse(), first, count);
    if (conflict.Empty())
        return true;
    QStringList names;
    for (const int item : conflict.Items)
        names << (ItemName ? ItemName(item) : QString::number(item));
    const QString warning = Text(TStudioText::UsedBy)
                                .arg(QString::fromStdString(CodeRanges(conflict.Codes)))
                                .arg(names.join(QStringLiteral(", ")));
    return Question && Question(warning + QLatin1Char('\n') + Text(TStudioText::Overwrite));
}

void TFontStudio::Record(const QString& name, const TMcmChars& before) {
    if (applying_)
        return;
    TFontStep step = TFontStep::Between(before, document_->Chars());
    if (!step.Empty())
        history_.push(new TStepCommand(*this, name, std::move(step)));
    ShowHistory();
}

void TFontStudio::Apply(const TFontStep& step, bool undo) {
    applying_ = true;
    if (undo)
        step.Undo(*document_);
    else
        step.Redo(*document_);
    applying_ = false;
    // The step's first character is shown, so the user sees what came back.
    if (!step.Empty())
        current_ = step.Changes.front().Code;
    SetChanged();
}

void TFontStudio::Undo() {
    if (!stroking_ && history_.canUndo())
        history_.undo();
    ShowHistory();
}

void TFontStudio::Redo() {
    if (!stroking_ && history_.canRedo())
        history_.redo();
    ShowHistory();
}

// ---- Showing ---------------------------------------------------------------------------------

void TFontStudio::SetChanged() {
    setPainter_->SetGlyphs(document_->Glyphs());
    SetTable->update();
    ShowCurrent();
    ShowNames();
    ShowHistory();
    if (OnSetChanged)
        OnSetChanged();
}

void TFontStudio::ShowCurrent() {
    SetTable->SetCurrent(current_);
    EditView->SetGlyph(document_->Glyph(static_cast<std::size_t>(current_)));
    CharLabel->setText(Text(TUiText::PreviewCharacterIndex)
                           .arg(current_)
                           .arg(QString::number(current_, 16).toUpper(), 2, u'0'));
}

void TFontStudio::ShowNames() {
    const QString name =
        path_.isEmpty() ? Text(TUiText::PreviewBuiltInFont) : QFileInfo(path_).fileName();
    SetLabel->setText(name + (document_->Modified() ? QStringLiteral(" *") : QString()));
    SetLabel->setToolTip(path_);
    BesideLabel->setText(Text(TStudioText::ReadOnly).arg(QFileInfo(besidePath_).fileName()));
    BesideLabel->setToolTip(besidePath_);
}

void TFontStudio::ShowHistory() {
    const auto tip = [this](TUiText action, const QString& step, const char* key) {
        return Text(action).arg(step).trimmed() + QStringLiteral(" (%1)").arg(QLatin1String(key));
    };
    UndoButton->setEnabled(history_.canUndo());
    RedoButton->setEnabled(history_.canRedo());
    UndoButton->setToolTip(tip(TUiText::UndoAction, history_.undoText(), "Ctrl+Z"));
    RedoButton->setToolTip(tip(TUiText::RedoAction, history_.redoText(), "Ctrl+Y"));
}

// ---- Dialogs ---------------------------------------------------------------------------------

QString TFontStudio::AskFile(const QString& name, bool save, const QString& filter,
                             const QString& suffix) {
    return AskFileIn(preferences_, FileDialog, {name, save, filter, suffix, QString()});
}

QString TFontStudio::AskSetFile(const char* name, bool save) {
    return AskFile(QString::fromLatin1(name), save, QString::fromUtf8(fixed_text::McmFilter),
                   QStringLiteral("mcm"));
}

void TFontStudio::ChooseOpen() {
    if (const QString path = AskSetFile("OpenSetDialog", false); !path.isEmpty() && OpenSet(path))
        NoteExtraCharacters(*document_);
}

void TFontStudio::ChooseSave() {
    if (const QString path = AskSetFile("SaveSetDialog", true); !path.isEmpty())
        SaveSetAs(path);
}

void TFontStudio::ChooseBeside() {
    const QString path = AskSetFile("OpenBesideDialog", false);
    if (!path.isEmpty() && OpenBeside(path))
        NoteExtraCharacters(*beside_);
}

void TFontStudio::ChooseImport() {
    const QString path =
        AskFile(QStringLiteral("OpenPictureDialog"), false,
                Text(TStudioText::PictureFilter).arg(PicturePatterns()), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    std::optional<TPictureSource> picture = ReadPicture(path);
    if (!picture) {
        ShowMessageText(Text(TUiText::PreviewBadPicture));
        return;
    }
    const auto choice = ImportOptions ? ImportOptions(*picture, current_) : std::nullopt;
    if (!choice)
        return;
    const TRgbaPicture& pixels = picture->ForBlock(choice->Options.Columns, choice->Options.Rows);
    // A vector picture is drawn again for the chosen block: the file may have gone meanwhile.
    if (picture->Usable())
        ImportPicture(pixels, *choice);
    else
        ShowMessageText(Text(TUiText::PreviewBadPicture));
}

} // namespace halvex
