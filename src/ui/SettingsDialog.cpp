#include "ui/SettingsDialog.h"

#include "ui/Captions.h"
#include "ui/CodePage.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <cstring>

namespace halvex {

namespace {

// Client area, pixels.
constexpr int kWidth = 312;
constexpr int kHeight = 350;

constexpr QColor kOdometerColour(0, 128, 0);

// Keys the filters let through besides Backspace.
constexpr const char* kBatteryKeys = "0123456789,";
constexpr const char* kThempKeys = "0123456789-";
constexpr const char* kNumberKeys = "0123456789";

char SystemDecimalPoint() {
    const QString dp = QLocale::system().decimalPoint();
    return (!dp.isEmpty() && dp[0].unicode() < 0x80) ? static_cast<char>(dp[0].unicode()) : '.';
}

// A label at `r`; bold for the units.
QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, const QRect& r,
                 bool bold = false) {
    auto* l = Place<QLabel>(parent, name, r, text);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

// An alarm row: label, edit box, bold unit and (Check > 0) the sound check box.
struct TAlarmRow {
    const char* Label;
    const char* Edit;
    int MaxLength;
    TSettingsField Field;
    const char* Keys;
    const char* UnitName;
    const char* Unit;
    int Check; // check box number, 0 for none
};

constexpr TAlarmRow kAlarmRows[] = {
    {"Label1", "Edit1", 3, TSettingsField::VideoBatt, kBatteryKeys, "Label14", "V", 1},
    {"Label2", "Edit2", 3, TSettingsField::MotorBatt, kBatteryKeys, "Label15", "V", 2},
    {"Label3", "Edit3", 5, TSettingsField::Mah, kNumberKeys, "Label16", "mAh", 3},
    {"Label4", "Edit4", 3, TSettingsField::FlyTime, kNumberKeys, "Label17", "min", 4},
    {"Label5", "Edit5", 5, TSettingsField::Distance, kNumberKeys, "Label18", "m", 5},
    {"Label6", "Edit6", 4, TSettingsField::Height, kNumberKeys, "Label19", "m", 6},
    {"Label24", "Edit16", 2, TSettingsField::Rssi, kNumberKeys, "Label20", "%", 7},
    {"Label8", "Edit7", 4, TSettingsField::MinThemp, kThempKeys, "Label21", "°C", 0},
    {"Label10", "Edit8", 4, TSettingsField::MaxThemp, kThempKeys, "Label22", "°C", 0},
};

constexpr const char* kCheckNames[] = {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4",
                                       "CheckBox5", "CheckBox6", "CheckBox7"};

// Alarm row geometry inside GroupBox1 (pixels).
constexpr int kLabelX = 6, kLabelW = 74, kEditX = 80, kEditW = 40, kUnitX = 123, kUnitW = 24,
              kCheckX = 149, kCheckW = 15, kRowY = 27, kRowStep = 21, kRowH = 19;

} // namespace

const char kGroupFrameStyle[] = "QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                " margin-top: 6px; }"
                                "QGroupBox::title { subcontrol-origin: margin; left: 6px;"
                                " padding: 0px 1px; }";

TForm2::TForm2(TConfigImage& image, QWidget* parent)
    : QDialog(parent), DecimalPoint(SystemDecimalPoint()), image_(image) {
    setObjectName("TForm2");
    setFixedSize(kWidth, kHeight);
    setSizeGripEnabled(false);
    CreateControls();
    ApplyLanguage();
}

void TForm2::CreateControls() {
    setStyleSheet(kGroupFrameStyle);
    CreateAlarms();
    CreateCalibrations();
    CreateRightColumn();
    CreateButtons();
    for (const TEditBox& box : edits_) {
        const bool battery = std::strchr(box.Keys, ',') != nullptr;
        box.Edit->setValidator(new TKeyValidator(box.Keys, box.MaxLength,
                                                 battery ? &DecimalPoint : nullptr, box.Edit));
        box.Edit->installEventFilter(this);
    }
}

// Left column, top: the alarm rows (label, edit box, bold unit, sound check box) under the
// "Sound" heading.
void TForm2::CreateAlarms() {
    GroupBox1 = Place<QGroupBox>(this, "GroupBox1", QRect(6, 4, 168, 218));
    NewLabel(GroupBox1, "Label7", {}, QRect(124, 12, 41, 14))->setAlignment(Qt::AlignHCenter);
    QLineEdit** rowEdits[] = {&Edit1, &Edit2,  &Edit3, &Edit4, &Edit5,
                              &Edit6, &Edit16, &Edit7, &Edit8};
    TCheckBox** checks[] = {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4,
                            &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox8};
    for (std::size_t r = 0; r < std::size(kAlarmRows); ++r) {
        const TAlarmRow& row = kAlarmRows[r];
        const int y = kRowY + static_cast<int>(r) * kRowStep;
        QLabel* label = NewLabel(GroupBox1, row.Label, {}, QRect(kLabelX, y + 2, kLabelW, 15));
        *rowEdits[r] = Place<QLineEdit>(GroupBox1, row.Edit, QRect(kEditX, y, kEditW, kRowH));
        label->setBuddy(*rowEdits[r]); // names the edit box for accessibility
        edits_.push_back({*rowEdits[r], row.Field, row.Keys, row.MaxLength});
        NewLabel(GroupBox1, row.UnitName, QString::fromUtf8(row.Unit),
                 QRect(kUnitX, y + 2, kUnitW, 15), true);
        if (row.Check > 0)
            *checks[row.Check - 1] = Place<TCheckBox>(GroupBox1, kCheckNames[row.Check - 1],
                                                      QRect(kCheckX, y, kCheckW, kRowH), QString());
    }
    GroupBox1->findChild<QLabel*>("Label24")->setText("RSSI"); // the same in both languages
    // The temperature rows share one check box, placed between them.
    CheckBox8 = Place<TCheckBox>(
        GroupBox1, "CheckBox8", QRect(kCheckX, kRowY + 7 * kRowStep + kRowStep / 2, kCheckW, kRowH),
        QString());
    for (int k = 0; k < 8; ++k) {
        checks_[k] = *checks[k];
        checks_[k]->OnClick = [this] { CheckBoxClick(); };
    }
}

// Left column, bottom: the calibrations.
void TForm2::CreateCalibrations() {
    GroupBox2 = Place<QGroupBox>(this, "GroupBox2", QRect(6, 225, 168, 84));
    QLabel* label23 = NewLabel(GroupBox2, "Label23", {}, QRect(6, 17, 110, 15));
    Edit15 = Place<QLineEdit>(GroupBox2, "Edit15", QRect(120, 15, 42, kRowH));
    QLabel* label12 =
        NewLabel(GroupBox2, "Label12", QString::fromUtf8("Temperatura 0°C"), QRect(6, 39, 110, 15));
    Edit9 = Place<QLineEdit>(GroupBox2, "Edit9", QRect(120, 37, 42, kRowH));
    QLabel* label13 = NewLabel(GroupBox2, "Label13", QString::fromUtf8("Temperatura 100°C"),
                               QRect(6, 61, 110, 15));
    Edit10 = Place<QLineEdit>(GroupBox2, "Edit10", QRect(120, 59, 42, kRowH));
    label23->setBuddy(Edit15);
    label12->setBuddy(Edit9);
    label13->setBuddy(Edit10);
    edits_.push_back({Edit15, TSettingsField::BattCal, kNumberKeys, 3});
    edits_.push_back({Edit9, TSettingsField::Themp0Cal, kNumberKeys, 4});
    edits_.push_back({Edit10, TSettingsField::Themp100Cal, kNumberKeys, 4});
}

// Right column: the four radio groups (16-pixel rows), the user name and the odometer.
void TForm2::CreateRightColumn() {
    constexpr int kRightX = 180, kRightW = 126, kRadioRowH = 16;
    auto newGroup = [this](const char* name, const QStringList& items, int y, int h) {
        auto* g = Place<TRadioGroup>(this, name, QRect(kRightX, y, kRightW, h), QString());
        g->SetItems(items);
        g->layout()->setContentsMargins(6, 7, 4, 1); // first row below the title
        for (int k = 0; k < g->Count(); ++k)
            g->Button(k)->setFixedHeight(kRadioRowH);
        g->OnClick = [this] { RadioGroupClick(); };
        return g;
    };
    RadioGroup1 =
        newGroup("RadioGroup1",
                 {QString::fromUtf8("Wyłączone"), "Rc CH7", "Rc CH8", "Rc CH9", "Rc CH10 "}, 4, 98);
    RadioGroup6 = newGroup("RadioGroup6", {QString(), QString()}, 104, 50);
    RadioGroup3 = newGroup("RadioGroup3", {"dd.dddddd", "dd.mm'ss.s"}, 156, 50);
    RadioGroup5 = newGroup("RadioGroup5", {QString(), QString()}, 208, 50);

    GroupBox4 = Place<QGroupBox>(this, "GroupBox4", QRect(kRightX, 260, kRightW, 40));
    Edit19 = Place<QLineEdit>(GroupBox4, "Edit19", QRect(6, 14, kRightW - 12, 20));
    Edit19->setMaxLength(static_cast<int>(ofs::UserNameLen)); // a stored name has 12 at most

    StaticText1 = NewLabel(this, "StaticText1", {}, QRect(kRightX, 302, kRightW, 15), true);
    QPalette pal = StaticText1->palette();
    pal.setColor(QPalette::WindowText, kOdometerColour);
    StaticText1->setPalette(pal);
}

// The buttons along the bottom. None is a default button: Enter in a box must not restore
// or apply.
void TForm2::CreateButtons() {
    auto newButton = [this](const char* name, int x) {
        auto* b = Place<QPushButton>(this, name, QRect(x, 321, 96, 24));
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    Button1 = newButton("Button1", 6);
    Button2 = newButton("Button2", 108);
    Button3 = newButton("Button3", 210);
    connect(Button1, &QPushButton::clicked, this, [this] { FormShow(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
}

void TForm2::ApplyLanguage() {
    const TLanguage language = Language ? Language() : TLanguage::English;
    ApplyCaptionTexts(this, SettingsDialogTexts(), language);
    ApplyCaptionTexts(this, SettingsDialogToolTips(), language);
}

void TForm2::FormShow() {
    ApplyLanguage();
    Button1->setEnabled(true);
    copy_ = LoadSettingsCopy(image_);
    name_ = image_.StoredUserName();
    FillControls();
    Edit19->setText(FromWin1250(name_));
}

void TForm2::FillControls() {
    filling_ = true;
    const TSettingsField firstEdits[] = {
        TSettingsField::VideoBatt, TSettingsField::MotorBatt, TSettingsField::Mah,
        TSettingsField::FlyTime,   TSettingsField::Distance,  TSettingsField::Height,
        TSettingsField::MinThemp,  TSettingsField::MaxThemp,  TSettingsField::Rssi};
    auto show = [this](TSettingsField field) {
        for (const TEditBox& box : edits_)
            if (box.Field == field)
                TKeyValidator::ShowText(
                    box.Edit, QString::fromStdString(FieldText(copy_, field, DecimalPoint)));
    };
    for (TSettingsField f : firstEdits)
        show(f);
    for (int k = 0; k < 8; ++k)
        checks_[k]->SetChecked((copy_[ofs::Alarms] >> k) & 1);
    show(TSettingsField::BattCal);
    show(TSettingsField::Themp0Cal);
    show(TSettingsField::Themp100Cal);
    const std::uint8_t config = copy_[ofs::Config];
    RadioGroup1->SetItemIndex(ChannelIndex(config));
    RadioGroup3->SetItemIndex((config & cfg::GpsDms) ? 1 : 0);
    RadioGroup5->SetItemIndex((config & cfg::Sequential) ? 1 : 0);
    RadioGroup6->SetItemIndex((config & cfg::Imperial) ? 1 : 0);
    const auto metres = static_cast<std::uint32_t>(FieldValue(copy_.data(), field::Odometer));
    StaticText1->setText(QString::fromStdString(OdometerText(metres)));
    filling_ = false;
}

void TForm2::CheckBoxClick() {
    if (filling_)
        return;
    unsigned alarms = 0;
    for (int k = 0; k < 8; ++k)
        if (checks_[k]->Checked())
            alarms |= 1u << k;
    copy_[ofs::Alarms] = static_cast<std::uint8_t>(alarms);
}

void TForm2::RadioGroupClick() {
    if (filling_)
        return;
    copy_[ofs::Config] =
        RebuildConfig(copy_[ofs::Config], RadioGroup1->ItemIndex(), RadioGroup3->ItemIndex(),
                      RadioGroup5->ItemIndex(), RadioGroup6->ItemIndex());
    FillControls();
}

void TForm2::EditExit(QLineEdit* edit) {
    const TEditBox* box = FindEdit(edit);
    if (!box)
        return;
    const std::string shown =
        ExitField(copy_, box->Field, edit->text().toStdString(), DecimalPoint);
    TKeyValidator::ShowText(edit, QString::fromStdString(shown));
}

void TForm2::CommitFocusedEdit() {
    if (const TEditBox* box = FindEdit(focusWidget()))
        EditExit(box->Edit);
}

void TForm2::Button2Click() {
    // A box still holding the focus has not been left yet: take its value as shown.
    CommitFocusedEdit();
    const TConfigImage before = image_;
    // A name not edited keeps its stored bytes (control and undefined characters would
    // not survive the way through the box's text).
    const bool nameEdited = Edit19->text() != FromWin1250(name_);
    ApplySettings(image_, copy_, nameEdited ? ToWin1250(Edit19->text()) : name_);
    // The link sends blocks 0 and 15 and reports "Changes Updated" only when the board has
    // acknowledged both and the read-back found them, else its give-up or verify failure
    // message. When it sends nothing (another exchange runs, or the port refuses), nothing
    // changes.
    if (OnApply && !OnApply()) {
        image_ = before;
        if (OnApplyUndone)
            OnApplyUndone();
        return;
    }
    Button1->setEnabled(false);
}

void TForm2::Button3Click() {
    done(QDialog::Accepted);
}

const TForm2::TEditBox* TForm2::FindEdit(const QObject* widget) const {
    for (const TEditBox& box : edits_)
        if (box.Edit == widget)
            return &box;
    return nullptr;
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm2::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        FormShow();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    const TEditBox* box = FindEdit(watched);
    if (!box)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty() || key->key() == Qt::Key_Backspace)
            return false;
        const char16_t c = text[0].unicode();
        if (c < 0x20 || c == 0x7F)
            return false; // editing and navigation keys work as usual
        // The battery boxes also take the system's decimal separator: where it is the full
        // stop (most Linux locales) a comma-only filter would leave no way to type 3.3 V.
        if (std::strchr(box->Keys, ',') && c == static_cast<unsigned char>(DecimalPoint))
            return false;
        return !(c < 0x80 && std::strchr(box->Keys, static_cast<char>(c)) != nullptr);
    }
    if (event->type() == QEvent::FocusOut) {
        // Leaving the box within the dialog converts it; a switch to another window does
        // not (the activation reloads the dialog when the user comes back).
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            EditExit(box->Edit);
    }
    return false;
}

} // namespace halvex
