// The settings dialog TForm2: edits a working copy of the main-settings header (alarm
// thresholds and their sound enables, calibrations, layout switching, GPS format, units) and
// the user name, and shows the odometer. The image changes only on Apply, which then asks
// the link (OnApply) to send blocks 0 and 15 to the board.
#pragma once

#include "config/ConfigImage.h"
#include "config/SettingsConvert.h"
#include "config/Texts.h"
#include "ui/Controls.h"

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;

namespace halvex {

// Group box frames with the title set into the top line of the frame, as the dialogs were
// designed: the style's own title row above the frame leaves too little room for the
// rows of the settings dialog.
extern const char kGroupFrameStyle[];

class TForm2 : public QDialog {
public:
    TForm2(TConfigImage& image, QWidget* parent = nullptr);

    // Current interface language (set by the main window); English when unset.
    std::function<TLanguage()> Language;
    // Called by Apply after the image has been updated: sends blocks 0 and 15, supervised
    // by the link, which reports the outcome itself. Returns false when nothing was sent
    // (the caller has said why); Apply then puts the image back as it was.
    std::function<bool()> OnApply;
    // Called when Apply has put the image back after OnApply refused.
    std::function<void()> OnApplyUndone;
    // Decimal separator of the battery boxes; the system locale's at construction.
    char DecimalPoint;

    // The dialog's texts in the current language (also run by the language switch).
    void ApplyLanguage();

    // Handlers (public for the main window and tests).
    void FormShow();        // load: on show, on activation and by Restore
    void CheckBoxClick();   // Alarms rebuilt from the eight check boxes
    void RadioGroupClick(); // Config rebuilt from the four radio groups
    void Button2Click();    // Apply
    void Button3Click();    // Exit: close, nothing stored
    // Leaving an edit box: convert, clamp, store into the working copy, show the result.
    void EditExit(QLineEdit* edit);

    const TSettingsCopy& WorkingCopy() const { return copy_; }
    const std::string& NameBuffer() const { return name_; }

    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9, *Edit10,
        *Edit15, *Edit16, *Edit19;
    TCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7,
        *CheckBox8;
    TRadioGroup *RadioGroup1, *RadioGroup3, *RadioGroup5, *RadioGroup6;
    QGroupBox *GroupBox1, *GroupBox2, *GroupBox4;
    QLabel* StaticText1;
    QPushButton *Button1, *Button2, *Button3;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TEditBox {
        QLineEdit* Edit;
        TSettingsField Field;
        const char* Keys; // characters let through besides Backspace
        int MaxLength;    // characters the user may type or paste
    };

    void CreateControls();
    void CreateAlarms();
    void CreateCalibrations();
    void CreateRightColumn();
    void CreateButtons();
    void FillControls(); // Algorithms of filling: every control from the working copy
    const TEditBox* FindEdit(const QObject* widget) const;
    void CommitFocusedEdit();

    TConfigImage& image_;
    TSettingsCopy copy_{};
    std::string name_; // user name bytes taken at load (12 at most)
    bool filling_ = false;
    std::vector<TEditBox> edits_;
    TCheckBox* checks_[8] = {};
};

} // namespace halvex
