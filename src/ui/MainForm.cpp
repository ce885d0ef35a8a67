#include "ui/MainForm.h"

#include "config/ExchangeText.h"
#include "config/SettingsFile.h"
#include "config/SettingsFileFlow.h"
#include "editor/GlyphUse.h"
#include "link/FontFile.h"
#include "link/OsdLink.h"
#include "serial/AfComPort.h"
#include "serial/AfPortDoctor.h"
#include "serial/AfPortPaths.h"
#include "ui/AfPortControls.h"
#include "ui/Captions.h"
#include "ui/CodePage.h"
#include "ui/Controls.h"
#include "ui/ExceptionReport.h"
#include "ui/FontStudio.h"
#include "ui/ImportDialog.h"
#include "ui/LayoutEditor.h"
#include "ui/LayoutStudio.h"
#include "ui/OsdPreview.h"
#include "ui/ProgressForm.h"
#include "ui/QtTranslation.h"
#include "ui/SettingsDialog.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>

#include <utility>

namespace halvex {

namespace {

constexpr std::uint32_t kTimerIntervalMs = 200;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// A failed open of port `number` as the window reports it: the component's first line
// ("Can't open device COM%d"), then what the connection doctor finds and its fix.
EAfComPortCoreError Explained(const EAfComPortCoreError& e, int number, TLanguage language) {
    return EAfComPortCoreError(
        AfExplainOpenFailure(e.what(), TAfPortPaths::Path(number), language));
}

} // namespace

template <typename F> void TForm1::RunPortGuarded(F&& fn) {
    RunGuarded([&] {
        try {
            std::forward<F>(fn)();
        } catch (const EAfDeviceGoneError&) {
            AfComPort1DeviceLost();
        }
    });
}

TForm1::TForm1(TConfigImage& image, const TForm1Parts& parts)
    : Image(image), AfComPort1(parts.Port), Timer1(parts.Timer1), Timer2(parts.Timer2) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(Utf8(fixed_text::MainCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    // Port numbers mapped to other device paths must be known before the selector
    // probes the ports.
    if (const TPreferenceKey key = Preferences.Open(false))
        for (const auto& [number, path] : key->PortPaths())
            TAfPortPaths::SetOverride(number, path.toStdString());

    Editor = std::make_unique<TLayoutEditor>(Image, Catalogue, this);
    Editor->Language = [this] { return language_; };
    Editor->OnImageChanged = [this] { UpdateModified(); };
    Editor->OnStatus = [this](const QString& text) { ShowStatus(text); };
    // The overlap hint replaces the status line; once gone, it leaves it empty unless
    // something else has been shown since.
    Editor->Studio().OnOverlapHint = [this](const QString& was, const QString& now) {
        if (!now.isEmpty())
            ShowStatus(now);
        else if (status_ && status_() == was)
            ShowStatus(QString());
    };
    Editor->Studio().UsePreferences(Preferences);
    CreateControls();

    Link = std::make_unique<TOsdLink>(Image, AfComPort1, Timer1, Timer2, *this);
    AfComPort1.OnDeviceLost = [this] { RunGuarded([this] { AfComPort1DeviceLost(); }); };

    AfPortComboBox1->ExplainOpenFailure = [this](const EAfComPortCoreError& e, int number) {
        return Explained(e, number, language_);
    };
    FileDialog = [this](const TFileDialogRequest& request) { return RunFileDialog(this, request); };
    ImportOptions = [this](TLanguage language, int& flags) {
        return Form3 ? Form3->Execute(language, flags) : 0;
    };
    SettingsDialog = [this] {
        if (Form2)
            Form2->exec();
    };
    Question = [this](const QString& question) { return AskYesNo(question, this); };
    NoAnswerCause = [](int number, TLanguage language) {
        return Utf8(AfNoAnswerLine(TAfPortPaths::Path(number), language).c_str());
    };
}

TForm1::~TForm1() {
    // The port and the timers outlive the window: none of its handlers may run any more.
    Link.reset(); // unwires the port's notification and the timers
    AfComPort1.OnDeviceLost = nullptr;
}

void TForm1::CreateControls() {
    GroupBox5 =
        Place<QGroupBox>(this, "GroupBox5", QRect(6, 284, 124, 64), Utf8(fixed_text::PortGroup));
    AfPortComboBox1 = Place<TAfPortComboBox>(GroupBox5, "AfPortComboBox1", QRect(8, 18, 108, 20));
    AfPortComboBox1->SetMaxComPorts(32);
    Button6 =
        Place<QPushButton>(GroupBox5, "Button6", QRect(8, 40, 108, 21), Utf8(fixed_text::Open));

    // The configuration buttons in their frame, between the port group and the firmware
    // label: Read/Write, Export/Import, Settings.
    GroupBox1 = Place<QGroupBox>(this, "GroupBox1", QRect(6, 349, 124, 92));
    Button1 = Place<QPushButton>(GroupBox1, "Button1", QRect(4, 18, 56, 22));
    Button2 = Place<QPushButton>(GroupBox1, "Button2", QRect(64, 18, 56, 22));
    Button4 = Place<QPushButton>(GroupBox1, "Button4", QRect(4, 42, 56, 22));
    Button5 = Place<QPushButton>(GroupBox1, "Button5", QRect(64, 42, 56, 22));
    Button3 = Place<QPushButton>(GroupBox1, "Button3", QRect(4, 66, 116, 22));
    Label2 = Place<QLabel>(this, "Label2", QRect(6, 441, 124, 14));
    QPalette purple = Label2->palette();
    purple.setColor(QPalette::WindowText, QColor(128, 0, 128));
    Label2->setPalette(purple);

    // Right area (136, 284, 261 x 181), before a configuration is loaded.
    Button8 = Place<QPushButton>(this, "Button8", QRect(136, 292, 261, 30));
    Button7 = Place<QPushButton>(this, "Button7", QRect(136, 330, 261, 30));
    // Below the language choice: the character editor, whose set FontMap Update can send.
    Button10 = Place<QPushButton>(this, "Button10", QRect(136, 420, 261, 30));
    // In the free end of the layout mode group's title band: shown with the editor.
    Button9 = Place<QPushButton>(Editor->RadioGroup2, "Button9", QRect(161, 0, 98, 17));
    RadioGroup6 = Place<TRadioGroup>(this, "RadioGroup6", QRect(136, 370, 261, 44),
                                     Utf8(fixed_text::LanguageGroup));
    RadioGroup6->SetItems({QStringLiteral("English"), QStringLiteral("Polski")}, 2);
    RadioGroup6->SetItemIndex(0);

    // The status line in the free band below the Settings group.
    StatusLine = Place<QLabel>(this, "StatusLine", kStatusLine);

    // English captions until start-up applies the stored language.
    ApplyCaptionTexts(this, MainWindowTexts(), TLanguage::English);
    ApplyCaptionTexts(this, MainWindowToolTips(), TLanguage::English);

    ApplyState(TWindowState::Closed);
    ConnectHandlers();
}

// The buttons' handlers (those that may write to the port under RunPortGuarded), the
// language switch, and undo and redo wherever the focus is in the window.
void TForm1::ConnectHandlers() {
    const auto portGuarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { RunPortGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(Button1, &QPushButton::clicked, this, portGuarded(&TForm1::Button1Click));
    connect(Button2, &QPushButton::clicked, this, portGuarded(&TForm1::Button2Click));
    connect(Button3, &QPushButton::clicked, this, Guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, Guard([this] { Button4Click(); }));
    connect(Button5, &QPushButton::clicked, this, Guard([this] { Button5Click(); }));
    connect(Button6, &QPushButton::clicked, this, Guard([this] { Button6Click(); }));
    connect(Button7, &QPushButton::clicked, this, portGuarded(&TForm1::Button7Click));
    connect(Button8, &QPushButton::clicked, this, portGuarded(&TForm1::Button8Click));
    connect(Button9, &QPushButton::clicked, this, Guard([this] { Button9Click(); }));
    connect(Button10, &QPushButton::clicked, this, Guard([this] { Button10Click(); }));
    RadioGroup6->OnClick = Guard([this] { RadioGroup6Click(); });

    const std::pair<QKeySequence, bool> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), false},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), true},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), true}};
    for (const auto& [key, redo] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, Guard([this, redo = redo] {
                    if (redo)
                        Editor->Redo();
                    else
                        Editor->Undo();
                }));
    }
}

void TForm1::AttachForms(TForm2* form2, TForm3* form3, TForm4* form4) {
    Form2 = form2;
    Form3 = form3;
    Form4 = form4;
    if (Form2) {
        Form2->Language = [this] { return language_; };
        Form2->OnApplyUndone = [this] { UpdateModified(); };
        Form2->OnApply = [this] {
            if (Link->Busy()) {
                ShowMessage(TMessage::OsdBusy);
                return false;
            }
            bool started = false;
            RunPortGuarded([&] { started = Link->StartApply(); });
            if (started) {
                // The image side of the Apply is one undoable step; the grid still shows
                // the name it showed before the dialog.
                Editor->History.Record(Editor->StepName(TUiText::StepSettings), settingsBefore_, -1,
                                       -1, Catalogue.UserNameSample());
                settingsBefore_ = Snapshot(Image);
                UpdateModified();
            }
            return started;
        };
    }
}

void TForm1::ApplyState(TWindowState state) {
    using S = TWindowState;
    state_ = state;
    const bool loaded = state == S::Loaded;
    const bool kept = state == S::Kept || state == S::Rejoining; // shown without the link
    const bool shown = loaded || kept;                           // the editor is open
    const bool configured = shown || state == S::Reloading;      // a configuration was read
    // The board answered "R" since the port was opened.
    const bool linked = state == S::LinkConfirmed || loaded || state == S::Reloading;
    Button8->setEnabled(state != S::Closed && state != S::Kept);
    Button7->setEnabled(linked);
    Button1->setEnabled(linked);
    Button2->setEnabled(loaded || state == S::Rejoining);
    Button4->setEnabled(shown);
    Button5->setEnabled(configured);
    Button3->setVisible(loaded);
    Label2->setVisible(shown);
    Editor->SetEditorVisible(shown);
    RadioGroup6->setVisible(!configured);
    Button7->setVisible(!configured);
    Button8->setVisible(!configured);
    Button10->setVisible(!configured);
    if (studio_)
        studio_->SetUploadGate(UploadGate());
}

TUploadGate TForm1::UploadGate() const {
    using S = TWindowState;
    if (state_ == S::LinkConfirmed)
        return TUploadGate::Ready;
    return state_ == S::Loaded || state_ == S::Reloading ? TUploadGate::Configured
                                                         : TUploadGate::NotLinked;
}

QString TForm1::FirmwareLabelText() const {
    return QStringLiteral("Firmware: ") + QString::fromStdString(Image.FirmwareText());
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_ && !event->spontaneous()) {
        shown_ = true;
        RunGuarded([this] { FormShow(); });
    }
}

// Restores the language and the port number, applies the language (which writes "Lang"
// back) and shows the stored port in the selector. A stored value that is not an
// integer ends it here (reported by the caller).
void TForm1::FormShow() {
    language_ = TLanguage::English;
    bool polish = false;
    if (const TPreferenceKey key = Preferences.Open(true)) {
        if (key->ValueExists(QStringLiteral("Lang")))
            polish = key->ReadInteger(QStringLiteral("Lang")) != 0;
        if (key->ValueExists(QStringLiteral("Port")))
            AfComPort1.SetComNumber(
                static_cast<std::uint16_t>(key->ReadInteger(QStringLiteral("Port")) & 0xFFFF));
    }

    // Select the stored language without running the switch twice.
    auto onClick = std::move(RadioGroup6->OnClick);
    RadioGroup6->SetItemIndex(polish ? 1 : 0);
    RadioGroup6->OnClick = std::move(onClick);
    // A failed write of "Lang" is reported but does not keep the stored port from being
    // shown.
    RunGuarded([this] { RadioGroup6Click(); });

    AfPortComboBox1->SetSelectedPort(AfComPort1.ComNumber());
}

void TForm1::HideConfiguration() {
    Timer1.SetEnabled(false);
    Editor->SetEditorVisible(false);
    Editor->ResetSelection();
    Editor->GridClear();
}

void TForm1::Button6Click() {
    if (state_ == TWindowState::Kept) {
        // The board is back: the kept configuration waits for its connection check.
        OpenPort(TWindowState::Rejoining);
        StartCheck();
        return;
    }
    if (state_ != TWindowState::Closed && !ConfirmDiscard())
        return;
    HideConfiguration();
    if (state_ == TWindowState::Closed) {
        OpenPort(TWindowState::PortOpen);
    } else {
        // A write or upload cut off by the close is named once the window is closed.
        if (const std::optional<TMessage> interrupted = ClosePort())
            ShowMessage(*interrupted);
    }
}

void TForm1::OpenPort(TWindowState next) {
    // A failed open leaves the window in the state it was in; its message names the cause.
    try {
        if (!AfComPort1.IsOpen())
            AfComPort1.Open();
    } catch (const EAfComPortCoreError& e) {
        throw Explained(e, AfComPort1.ComNumber(), language_);
    }
    ApplyState(next);
    Button6->setText(Utf8(fixed_text::Close));
    const int port = AfComPort1.ComNumber();
    ShowStatus([this, port] { return Status(TUiText::StatusPortOpen).arg(port); });
    WritePreference("Port", AfComPort1.ComNumber());
}

std::optional<TMessage> TForm1::ClosePort(bool keep) {
    if (!keep)
        ApplyState(TWindowState::PortOpen);
    if (AfComPort1.IsOpen())
        AfComPort1.Close();
    writeAfterCheck_ = false;
    // An exchange still supervised ends instead of resending into the closed port;
    // it returns what was cut off (a write or an upload), if anything.
    const std::optional<TMessage> interrupted = Link->PortClosed();
    ApplyState(keep ? TWindowState::Kept : TWindowState::Closed);
    Button6->setText(Utf8(fixed_text::Open));
    if (keep) {
        // The grid goes on blinking while the configuration waits for the board.
        Timer1.SetInterval(kTimerIntervalMs);
        Timer1.SetEnabled(true);
    } else {
        // What was read is gone with the connection.
        Editor->Written.Forget();
        Editor->History.Clear();
    }
    UpdateModified();
    ShowStatus([this] { return Status(TUiText::StatusPortClosed); });
    return interrupted;
}

// The device has gone (unplugged, board stopped): the window closes the port, ends the
// exchange without resends and says so once; Open works again once the device is back. A
// configuration on screen stays, with its image and undo history (the Kept state). A
// write that met the loss before its notification lands here too.
void TForm1::AfComPort1DeviceLost() {
    if (state_ == TWindowState::Closed || state_ == TWindowState::Kept)
        return; // closed already: said once
    const int number = AfComPort1.ComNumber();
    if (state_ == TWindowState::Loaded || state_ == TWindowState::Rejoining) {
        ClosePort(true);
    } else {
        HideConfiguration();
        ClosePort(); // what the loss cut off is not named: the disconnect message says it
    }
    ShowMessageText(Utf8(MessageText(TMessage::PortDisconnected, language_))
                        .replace(QStringLiteral("%d"), QString::number(number)));
}

void TForm1::Button8Click() {
    StartCheck();
}

void TForm1::StartCheck() {
    // Pressed during another exchange it does nothing (and keeps that one's clock).
    if (Link->Busy() || !AfComPort1.IsOpen())
        return;
    checking_ = true; // until the check's end (ExchangeFinished), which a refused start reaches too
    Link->StartTest();
    checkTries_ = Link->RetriesLeft(); // the link's budget for the check
    ShowCheckTry();
}

void TForm1::ShowCheckTry() {
    const int tries = checkTries_;
    const int current = tries - Link->RetriesLeft() + 1;
    ShowStatus(
        [this, current, tries] { return Status(TUiText::StatusChecking).arg(current).arg(tries); });
}

void TForm1::Button1Click() {
    // A running exchange owns Timer1 and the image: the read waits for it to end.
    if (Link->Busy()) {
        ShowMessage(TMessage::OsdBusy);
        return;
    }
    if (!ConfirmDiscard())
        return;
    HideConfiguration();
    // The dump overwrites the image: nothing is known to match the board until it is good.
    Editor->Written.Forget();
    UpdateModified();
    if (state_ == TWindowState::Loaded)
        ApplyState(TWindowState::Reloading);
    Link->StartRead();
}

void TForm1::Button2Click() {
    if (state_ == TWindowState::Rejoining) {
        // The board has not answered since the port was reopened: check, then write.
        writeAfterCheck_ = true;
        StartCheck();
        return;
    }
    if (Link->Busy()) {
        ShowMessage(TMessage::OsdBusy);
        return;
    }
    StartWrite();
}

void TForm1::StartWrite() {
    // What the board holds once the write completes: the image as the write starts.
    if (Link->StartWrite())
        Editor->Written.WriteStarted(Image);
}

void TForm1::Button7Click() {
    if (Link->Busy()) {
        ShowMessage(TMessage::OsdBusy);
        return;
    }
    Timer1.SetEnabled(false);
    const QString path = AskFile(
        {QStringLiteral("OpenDialog1"), false, Utf8(fixed_text::McmFilter), QStringLiteral("mcm")});
    if (path.isEmpty())
        return;
    // The whole file is checked before anything is sent.
    TMcmNotes notes;
    const std::optional<TFontSet> font = LoadMcm(QFile::encodeName(path).toStdString(), &notes);
    if (!font) {
        ShowMessage(notes.Refusal);
        return;
    }
    if (notes.Characters > kFontChars)
        ShowMessageText(Utf8(MessageText(TMessage::SetHoldsMore, language_))
                            .arg(static_cast<int>(notes.Characters)));
    UploadFont(*font, path, this);
}

void TForm1::UploadFont(const TFontSet& font, const QString& path, QWidget* over) {
    if (Link->Busy()) {
        ShowMessage(TMessage::OsdBusy);
        return;
    }
    Timer1.SetEnabled(false);
    uploadFont_ = font;
    uploadFontPath_ = path;
    progressOver_ = over;
    Link->StartFontUpload(font);
}

void TForm1::ShowUploadedFile(const TFontSet& font, const QString& path) {
    if (studio_)
        studio_->OpenSet(path); // asks before edits not saved are dropped
    else
        Preview()->UseFont(font, path);
}

TPreviewForm* TForm1::Preview() {
    if (!preview_) {
        preview_ = std::make_unique<TPreviewForm>(Preferences, this);
        preview_->Language = [this] { return language_; };
        preview_->OnEditCharacters = [this] { Studio()->ShowStudio(); };
        preview_->Follow(*Editor);
    }
    return preview_.get();
}

TFontStudio* TForm1::Studio() {
    if (!studio_) {
        Preview()->RestoreOnce();
        studio_ = std::make_unique<TFontStudio>(Preferences, this);
        WireStudio();
        studio_->StartOn(preview_->FontPath());
    }
    return studio_.get();
}

void TForm1::WireStudio() {
    studio_->Language = [this] { return language_; };
    studio_->GlyphUse = [this] { return ItemGlyphs(Editor->Model()); };
    studio_->ItemName = [this](int item) {
        return FromWin1250(Catalogue.Name(item, language_ == TLanguage::Polish));
    };
    studio_->OnSetChanged = [this] {
        const TFontDocument& set = studio_->Document();
        Preview()->ShowSet(set.Glyphs(), studio_->DocumentPath(), set.Modified());
    };
    studio_->OnUpload = [this](const TFontSet& font) {
        RunPortGuarded([&] { UploadFont(font, QString(), studio_.get()); });
    };
    preview_->OpenFont = [this](const QString& path) { studio_->OpenSet(path); };
    studio_->SetUploadGate(UploadGate());
    studio_->ApplyLanguage();
}

void TForm1::Button9Click() {
    Preview()->ShowPreview();
}

void TForm1::Button10Click() {
    Studio()->ShowStudio();
}

void TForm1::Button3Click() {
    settingsBefore_ = Snapshot(Image);
    if (SettingsDialog)
        SettingsDialog();
    Editor->AfterSettingsDialog();
}

void TForm1::Button4Click() {
    const QString path = AskFile(
        {QStringLiteral("SaveDialog1"), true, Utf8(fixed_text::SetFilter), QStringLiteral("set")});
    if (path.isEmpty())
        return;
    ExportSettingsTo(path, Image, Catalogue, Editor->ItemCount());
    const QString name = QFileInfo(path).fileName();
    ShowStatus([this, name] { return Status(TUiText::StatusExported).arg(name); });
}

void TForm1::Button5Click() {
    if (!ConfirmDiscard())
        return;
    const QString path = AskFile(
        {QStringLiteral("OpenDialog2"), false, Utf8(fixed_text::SetFilter), QStringLiteral("set")});
    if (path.isEmpty())
        return;
    // However the options dialog is closed, the import goes on with its choice.
    int flags = 0;
    if (ImportOptions)
        ImportOptions(language_, flags);
    const QString name = QFileInfo(path).fileName();
    const auto status = [this, name](TUiText text, int ignored = 0) {
        ShowStatus([this, text, name, ignored] {
            const QString shown = Status(text).arg(name);
            return ignored > 0 ? shown.arg(ignored) : shown;
        });
    };
    const bool layouts = (flags & import_flag::Layouts) != 0;
    const bool main = (flags & import_flag::Main) != 0;
    if (!layouts && !main) {
        status(TUiText::StatusImportFailed);
        return;
    }
    TSettingsImportResult result;
    try {
        Editor->RecordChange(Editor->StepName(TUiText::StepImport), [&] {
            result = ImportSettingsFrom(path, flags, Image, Catalogue, Editor->ItemCount(),
                                        [this](TMessage message) { ShowMessage(message); });
            if (result.Recognised)
                Editor->CompleteImport();
        });
    } catch (...) {
        // A read error: the lines applied before it stay, as one undoable step.
        UpdateModified();
        throw;
    }
    UpdateModified();
    if (!result.Recognised) {
        // Not a settings file for this choice: nothing was applied.
        ShowMessage(TMessage::BadFileFormat);
        status(TUiText::StatusImportFailed);
    } else if (result.IgnoredLines > 0) {
        status(PluralText(TUiText::StatusImportedIgnoredOne, result.IgnoredLines),
               result.IgnoredLines);
    } else {
        status(layouts && main ? TUiText::StatusImportedAll
               : layouts       ? TUiText::StatusImportedLayouts
                               : TUiText::StatusImportedSettings);
    }
}

void TForm1::RadioGroup6Click() {
    language_ = RadioGroup6->ItemIndex() == 1 ? TLanguage::Polish : TLanguage::English;
    const bool portOpen = state_ != TWindowState::Closed;
    ApplyCaptionTexts(this, MainWindowTexts(), language_, [portOpen](const TCaptionText& row) {
        return portOpen && std::string_view(row.Control) == "Button6";
    });
    ApplyCaptionTexts(this, MainWindowToolTips(), language_);
    if (status_)
        ShowStatus(status_);
    if (Form2)
        Form2->ApplyLanguage();
    if (preview_)
        preview_->ApplyLanguage();
    if (studio_)
        studio_->ApplyLanguage();
    UseQtTranslation(language_); // Qt's own dialogs and buttons follow (English without)
    SetReportLanguage(language_);
    WritePreference("Lang", language_ == TLanguage::Polish ? 1 : 0);
}

void TForm1::WritePreference(const char* name, std::int32_t value) {
    // A store that cannot be reached fails the write with its error.
    Preferences.Open(true)->WriteInteger(QString::fromLatin1(name), value);
}

QString TForm1::AskFile(TFileDialogRequest request) {
    return AskFileIn(Preferences, FileDialog, std::move(request));
}

// --- TLinkHost ---

bool TForm1::FontButtonEnabled() const {
    return !Button7->testAttribute(Qt::WA_Disabled);
}

void TForm1::LinkConfirmed() {
    // A kept configuration is the board's to take again.
    ApplyState(state_ == TWindowState::Rejoining ? TWindowState::Loaded
                                                 : TWindowState::LinkConfirmed);
}

// The window's part of the read completion, after the dump's check byte matched.
void TForm1::DumpAccepted() {
    // The board holds the bytes as they came, before the editor adjusts any (a layout
    // mode above 2, NTSC rows above 12).
    const TImageBytes asRead = Snapshot(Image);
    Editor->SetItemCount(kItemCount);
    Editor->FillItemList();
    Label2->setText(FirmwareLabelText());
    ApplyState(TWindowState::Loaded);
    Editor->ResetSelection();
    // Video standard and layout mode from the image, user name, panel and grid.
    Editor->OpenOnImage();
    // A new history starts.
    Editor->Written.Confirmed(asRead);
    Editor->History.Clear();
    UpdateModified();
}

void TForm1::ShowMessage(TMessage message) {
    QString text = Utf8(MessageText(message, language_));
    // An unanswered connection check says what is likeliest wrong, and the fix.
    if (message == TMessage::CommError && checking_ && NoAnswerCause)
        text += QLatin1Char('\n') + NoAnswerCause(AfComPort1.ComNumber(), language_);
    ShowMessageText(text);
}

void TForm1::ShowProgress() {
    if (Form4)
        Form4->ShowOver(progressOver_ ? progressOver_ : this);
}

void TForm1::SetProgress(int position) {
    if (Form4)
        Form4->ProgressBar1->setValue(position);
}

void TForm1::CloseProgress() {
    if (Form4)
        Form4->hide();
}

void TForm1::BlinkTick() {
    Editor->BlinkTick();
}

void TForm1::RunHandler(TLinkHandler handler, const std::function<void()>& run) {
    RunPortGuarded([&] {
        // An upload's messages belong to the window it was started from.
        const TBoxOwnerScope owner(progressOver_);
        run();
        if (handler == TLinkHandler::RetryTick && Link->Exchange() == TExchangeKind::LinkTest)
            ShowCheckTry(); // a resend of the check
    });
}

void TForm1::ExchangeFinished(const TExchangeReport& report) {
    checking_ = false;
    if (report.Kind == TExchangeKind::FontUpload) {
        // The board now draws with the uploaded set: so does the preview (the character
        // editor's set it shows already).
        if (report.Outcome == TExchangeOutcome::Done && uploadFont_ && !uploadFontPath_.isEmpty())
            RunGuarded([&] { ShowUploadedFile(*uploadFont_, uploadFontPath_); });
        uploadFont_.reset();
        progressOver_ = nullptr;
    } else if (report.Kind == TExchangeKind::Write) {
        if (report.Outcome == TExchangeOutcome::Done)
            Editor->Written.WriteCompleted();
        else
            Editor->Written.WriteFailed();
    } else if (report.Kind == TExchangeKind::Apply && report.Outcome == TExchangeOutcome::Done) {
        Editor->Written.ApplyCompleted(Image);
    }
    UpdateModified();
    ShowStatus([this, report] { return ExchangeText(report, language_).Status; });
    // An ending with details (the read-back's verify failure) names them in its own box.
    if (const QString message = ExchangeText(report, language_).Message; !message.isEmpty())
        ShowMessageText(message);
    if (report.Kind == TExchangeKind::LinkTest && std::exchange(writeAfterCheck_, false) &&
        state_ == TWindowState::Loaded)
        StartWrite(); // Write was pressed while the board was being checked
}

QString TForm1::Status(TUiText text) const {
    return Utf8(UiText(text, language_));
}

void TForm1::ShowStatus(std::function<QString()> text) {
    status_ = std::move(text);
    const QString full = status_();
    StatusLine->setText(
        StatusLine->fontMetrics().elidedText(full, Qt::ElideRight, StatusLine->width()));
    StatusLine->setToolTip(full);
}

void TForm1::ShowStatus(const QString& text) {
    ShowStatus([text] { return text; });
}

bool TForm1::Modified() const {
    return Editor->Written.Modified(Image);
}

void TForm1::UpdateModified() {
    const bool modified = Modified();
    if (modified == isWindowModified())
        return;
    // The desktop's mark in the title while changes are not written.
    if (modified) {
        setWindowTitle(Utf8(fixed_text::MainCaption) + QStringLiteral("[*]"));
        setWindowModified(true);
    } else {
        setWindowModified(false);
        setWindowTitle(Utf8(fixed_text::MainCaption));
    }
}

bool TForm1::ConfirmDiscard() {
    if (!Modified())
        return true;
    return Question && Question(Status(TUiText::DiscardChanges));
}

bool TForm1::TransferRunning() const {
    const std::optional<TExchangeKind> running = Link->Exchange();
    return running == TExchangeKind::Write || running == TExchangeKind::Apply ||
           running == TExchangeKind::FontUpload;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (TransferRunning()) {
        // No lets the transfer finish; Yes stops it, and the board keeps what it took. The
        // character editor's unsaved set is asked about first: stopping cannot be undone.
        if ((studio_ && !studio_->ConfirmDiscard()) || !Question ||
            !Question(Status(TUiText::QuitDuringTransfer))) {
            event->ignore();
            return;
        }
        RunGuarded([this] { ClosePort(); });
    } else if (!ConfirmDiscard() || (studio_ && !studio_->ConfirmDiscard())) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace halvex
