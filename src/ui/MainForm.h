// The main window TForm1: the serial port and its selector, the connection states
// (closed, port open, link confirmed, configuration loaded), the read, write, font upload,
// settings, export and import buttons, the interface language switch and the stored
// preferences. It hosts the board link (TLinkHost) and the layout editor.
//
// The port and the two timers come from outside (TForm1Parts): the application's board
// connection, or a test's fake port and manual-clock timers. Every handler the toolkit
// calls runs under Guard, and the link's handlers under RunHandler: an exception ends the
// handler and shows the exception report.
#pragma once

#include "config/ConfigImage.h"
#include "config/ItemCatalogue.h"
#include "config/Preferences.h"
#include "config/Texts.h"
#include "editor/EditHistory.h"
#include "link/FontFile.h"
#include "link/LinkHost.h"
#include "link/LinkPort.h"
#include "link/LinkTimer.h"
#include "ui/FileDialogs.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QGroupBox;
class QLabel;
class QPushButton;

namespace halvex {

class TAfPortComboBox;
class TForm2;
class TForm3;
class TForm4;
class TFontStudio;
enum class TUploadGate;
class TLayoutEditor;
class TOsdLink;
class TPreviewForm;
class TRadioGroup;

// What the window's board link runs on: AfComPort1 as the link's port, the step timer and
// the retry timer. They outlive the window (TApplicationWindows owns them).
struct TForm1Parts {
    TLinkPort& Port;
    TLinkTimer& Timer1;
    TLinkTimer& Timer2;
};

// What the main window shows, one state at a time; ApplyState() sets every control from it.
//
//   state          port button  check/font  Read  Write  Export  Import  editor, firmware
//   Closed         "Open"       shown, -    -     -      -       -       -
//   PortOpen       "Close"      check       -     -      -       -       -
//   LinkConfirmed  "Close"      both        yes   -      -       -       -
//   Loaded         "Close"      hidden      yes   yes    yes     yes     shown (+ Settings)
//   Reloading      "Close"      hidden      yes   -      -       yes     hidden
//   Kept           "Open"       hidden      -     -      yes     yes     shown
//   Rejoining      "Close"      hidden      -     yes    yes     yes     shown
//
// Kept: the device went while a configuration was shown. The port is closed; the editor,
// the image and its undo history stay, so the edits can still be exported. Open reopens
// the port and runs the connection check at once (Rejoining); the board's "R" returns to
// Loaded, and Write then sends the kept image without a Read. Write pressed while
// Rejoining runs the check first and writes once the board has answered "R". Close in
// Kept or Rejoining drops the configuration as in Loaded, after the unwritten-change
// question.
enum class TWindowState {
    Closed,        // "Open"; only the language choice works
    PortOpen,      // "Close"; the link check is enabled
    LinkConfirmed, // the board answered "R": Read and FontMap Update enabled
    Loaded,        // a configuration is shown: editor, Write, Export, Import, Settings
    Reloading,     // a read after Loaded: the configuration hidden until a good dump
    Kept,          // the device was lost under a shown configuration: port closed, editor kept
    Rejoining,     // Kept, then Open: the connection check decides when Write may send
};

// The status line's place: the band along the bottom of the window, below the Settings
// group, the firmware label and the attribute panel. A text too long for it is shortened
// with an ellipsis; its tooltip holds it whole.
constexpr QRect kStatusLine{6, 457, 391, 14};

class TForm1 : public QWidget, public TLinkHost {
public:
    static constexpr int kClientWidth = 403;
    static constexpr int kClientHeight = 471;

    TForm1(TConfigImage& image, const TForm1Parts& parts);
    ~TForm1() override;

    // The other three windows, created after this one; wired here (language, Apply).
    void AttachForms(TForm2* form2, TForm3* form3, TForm4* form4);

    // --- Program-wide state ---
    TConfigImage& Image;
    TLanguage Language() const { return language_; }
    TLinkPort& AfComPort1;
    TLinkTimer& Timer1;
    TLinkTimer& Timer2;
    TItemCatalogue Catalogue;
    TPreferences Preferences;
    std::unique_ptr<TLayoutEditor> Editor;
    std::unique_ptr<TOsdLink> Link;

    // --- Controls (objectName = member name) ---
    QGroupBox* GroupBox5;
    QGroupBox* GroupBox1; // "Settings" frame around the configuration buttons
    TAfPortComboBox* AfPortComboBox1;
    QPushButton* Button1;     // Read
    QPushButton* Button2;     // Write
    QPushButton* Button3;     // Settings
    QPushButton* Button4;     // Export
    QPushButton* Button5;     // Import
    QPushButton* Button6;     // Open / Close
    QPushButton* Button7;     // Font upload
    QPushButton* Button8;     // Link test
    QPushButton* Button9;     // OSD preview (shown with the layout editor)
    QPushButton* Button10;    // Character editor (shown with the font upload)
    QLabel* Label2;           // Firmware label
    QLabel* StatusLine;       // the last action and its outcome, in the current language
    TRadioGroup* RadioGroup6; // Language
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    // The OSD preview window, made when first needed.
    TPreviewForm* Preview();
    // The character editor, made when first needed, on the preview's character set.
    TFontStudio* Studio();

    TWindowState State() const { return state_; }
    QString FirmwareLabelText() const;

    // --- Hooks (tests replace them; the defaults show the real dialogs) ---
    TFileDialog FileDialog; // RunFileDialog over this window
    // Shows TForm3; returns the modal result and sets the import flags.
    std::function<int(TLanguage language, int& flags)> ImportOptions;
    // Shows TForm2 modally.
    std::function<void()> SettingsDialog;
    // Asks a Yes/No question (No the default); true for Yes.
    std::function<bool(const QString& question)> Question;
    // The second line of "Communication ERROR !" after an unanswered connection check on
    // port `number`: the connection doctor's likeliest cause and fix.
    std::function<QString(int number, TLanguage language)> NoAnswerCause;

    // --- Handlers (the buttons and the show event call these under Guard) ---
    void FormShow();
    void Button1Click();     // read
    void Button2Click();     // write
    void Button3Click();     // settings dialog
    void Button4Click();     // export
    void Button5Click();     // import
    void Button6Click();     // open / close
    void Button7Click();     // font upload
    void Button8Click();     // link test
    void Button9Click();     // OSD preview
    void Button10Click();    // character editor
    void RadioGroup6Click(); // language switch

    // --- TLinkHost ---
    bool FontButtonEnabled() const override;
    void LinkConfirmed() override;
    void DumpAccepted() override;
    void ShowMessage(TMessage message) override;
    void ShowProgress() override;
    void SetProgress(int position) override;
    void CloseProgress() override;
    void BlinkTick() override;
    void ExchangeFinished(const TExchangeReport& report) override;
    // The window's guard; after a retry tick of the connection check, the try it is at.
    void RunHandler(TLinkHandler handler, const std::function<void()>& run) override;

    // The image differs from what the board last confirmed (shown by the title's mark).
    bool Modified() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // asks before unwritten changes go

private:
    void CreateControls();
    void ConnectHandlers();
    // Sets every control's visibility and enabled state from `state`.
    void ApplyState(TWindowState state);
    // Closes the port and ends any exchange: the Closed state. With `keep` the shown
    // configuration stays (the Kept state).
    std::optional<TMessage> ClosePort(bool keep = false);
    void AfComPort1DeviceLost();
    // Opens the port (also when the selector opened it already); stores "Port".
    void OpenPort(TWindowState next);
    // The connection check with the tries counted on the status line.
    void StartCheck();
    void ShowCheckTry();
    void StartWrite();
    // A write, Apply or font upload runs (quitting would leave the board half-written).
    bool TransferRunning() const;
    // Runs a handler that may write to the port: a write refused because the device has
    // gone is taken as the device-lost notification instead of being reported.
    template <typename F> void RunPortGuarded(F&& fn);
    // Stops the blink tick, drops the selection and clears the grid (before a read, and
    // when the port is opened or closed).
    void HideConfiguration();
    void WritePreference(const char* name, std::int32_t value);
    // True when nothing unwritten would be lost, or the user agrees to lose it.
    bool ConfirmDiscard();
    void UpdateModified();
    // Shows a status text; `text` makes it again in the language of a later switch.
    void ShowStatus(std::function<QString()> text);
    void ShowStatus(const QString& text);
    QString Status(TUiText text) const;
    // Starts the upload of `font` (FontMap Update's exchange) with its progress window and
    // messages over `over`; `path` is the file it came from, empty for the character
    // editor's set.
    void UploadFont(const TFontSet& font, const QString& path, QWidget* over);
    // A set uploaded from a file: the preview, and the character editor if any, show it.
    void ShowUploadedFile(const TFontSet& font, const QString& path);
    void WireStudio();
    // Whether the character editor's upload can run: when FontMap Update can.
    TUploadGate UploadGate() const;
    // FileDialog in the folder last used for the request's kind of file; remembers the
    // folder of the chosen file.
    QString AskFile(TFileDialogRequest request);

    TLanguage language_ = TLanguage::English;
    TWindowState state_ = TWindowState::Closed;
    bool shown_ = false;
    std::function<QString()> status_;
    int checkTries_ = 0;           // tries of the running connection check
    bool checking_ = false;        // the window's connection check runs
    bool writeAfterCheck_ = false; // Write pressed while Rejoining
    TImageBytes settingsBefore_{}; // the image before the settings dialog's next Apply
    // Made when first needed; it follows the editor, so it is declared after Editor and
    // goes before it.
    std::unique_ptr<TPreviewForm> preview_;
    // The character editor shows through the preview: declared after it, it goes first.
    std::unique_ptr<TFontStudio> studio_;
    QWidget* progressOver_ = nullptr; // the window the upload's progress and messages show over
    // The character set being uploaded: the preview's font once the board has it.
    std::optional<TFontSet> uploadFont_;
    QString uploadFontPath_;
};

} // namespace halvex
