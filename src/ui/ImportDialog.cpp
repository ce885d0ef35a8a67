#include "ui/ImportDialog.h"

#include "config/SettingsFile.h"
#include "ui/Captions.h"
#include "ui/SettingsDialog.h"

#include <QGroupBox>
#include <QPushButton>

namespace halvex {

TForm3::TForm3(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("TForm3");
    setWindowTitle(QString::fromUtf8(fixed_text::ImportCaption));
    setFixedSize(170, 96);
    setStyleSheet(kGroupFrameStyle);

    GroupBox1 = Place<QGroupBox>(this, "GroupBox1", QRect(6, 4, 158, 86));
    CheckBox1 = Place<TCheckBox>(GroupBox1, "CheckBox1", QRect(10, 15, 140, 19), QString());
    CheckBox1->SetChecked(true);
    CheckBox2 = Place<TCheckBox>(GroupBox1, "CheckBox2", QRect(10, 35, 140, 19), QString());
    Button1 = Place<QPushButton>(GroupBox1, "Button1", QRect(44, 57, 70, 24), QStringLiteral("OK"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    ApplyLanguage(TLanguage::English);
}

void TForm3::ApplyLanguage(TLanguage language) {
    ApplyCaptionTexts(this, ImportDialogTexts(), language);
    ApplyCaptionTexts(this, ImportDialogToolTips(), language);
}

int TForm3::Flags() const {
    return (CheckBox1->Checked() ? import_flag::Layouts : 0) |
           (CheckBox2->Checked() ? import_flag::Main : 0);
}

int TForm3::Execute(TLanguage language, int& flags) {
    ApplyLanguage(language);
    const int result = exec();
    flags = Flags();
    return result;
}

} // namespace halvex
