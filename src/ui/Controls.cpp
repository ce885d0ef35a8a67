#include "ui/Controls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace halvex {

QFont InterfaceFont() {
    QFont font = QApplication::font();
    if (QFontDatabase::families().contains(QStringLiteral("Liberation Sans")))
        font.setFamily(QStringLiteral("Liberation Sans"));
    else
        font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

TKeyValidator::TKeyValidator(const char* keys, int maxLength, const char* decimalPoint,
                             QObject* parent)
    : QValidator(parent), keys_(keys), maxLength_(maxLength), decimalPoint_(decimalPoint) {}

QValidator::State TKeyValidator::validate(QString& input, int&) const {
    for (const QChar c : input) {
        const char16_t u = c.unicode();
        const bool separator = decimalPoint_ && u == static_cast<unsigned char>(*decimalPoint_);
        if (!separator && (u >= 0x80 || u == 0 || !std::strchr(keys_, static_cast<char>(u))))
            return Invalid;
    }
    // Beyond the maximum length a text may shrink but not grow.
    const int length = static_cast<int>(input.size());
    if (!programText_ && length > maxLength_ && length > accepted_)
        return Invalid;
    accepted_ = length;
    return Acceptable;
}

void TKeyValidator::ShowText(QLineEdit* edit, const QString& text) {
    auto* validator = dynamic_cast<const TKeyValidator*>(edit->validator());
    if (validator)
        validator->programText_ = true;
    edit->setText(text);
    if (validator)
        validator->programText_ = false;
}

TCheckBox::TCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    connect(this, &QCheckBox::toggled, this, [this](bool) {
        if (OnClick)
            OnClick();
    });
}

TRadioGroup::TRadioGroup(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 4, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(0);
}

void TRadioGroup::SetItems(const QStringList& items, int columns) {
    updating_ = true;
    for (auto* b : buttons_)
        delete b;
    buttons_.clear();
    columns_ = std::max(1, columns);
    for (int k = 0; k < items.size(); ++k) {
        // Auto-exclusive buttons are radio buttons to accessibility, and the arrow keys
        // move the selection among them (a click or an arrow key emits clicked).
        auto* b = new QRadioButton(items[k], this);
        connect(b, &QRadioButton::clicked, this, [this, k](bool) { SetItemIndex(k); });
        buttons_.push_back(b);
    }
    if (index_ >= Count())
        index_ = -1;
    ShowIndex();
    Relayout();
    updating_ = false;
}

void TRadioGroup::Relayout() {
    auto* grid = static_cast<QGridLayout*>(layout());
    for (int k = 0; k < Count(); ++k)
        grid->addWidget(buttons_[static_cast<std::size_t>(k)], k / columns_, k % columns_);
}

void TRadioGroup::SetItemText(int k, const QString& text) {
    if (k >= 0 && k < Count())
        buttons_[static_cast<std::size_t>(k)]->setText(text);
}

QString TRadioGroup::ItemText(int k) const {
    return (k >= 0 && k < Count()) ? buttons_[static_cast<std::size_t>(k)]->text() : QString();
}

void TRadioGroup::ShowIndex() {
    if (index_ >= 0) {
        buttons_[static_cast<std::size_t>(index_)]->setChecked(true); // unchecks the others
        return;
    }
    // An auto-exclusive button refuses to be unchecked; no selection needs it released.
    for (QRadioButton* b : buttons_) {
        if (!b->isChecked())
            continue;
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < -1 || index >= Count())
        index = -1;
    if (index == index_)
        return;
    index_ = index;
    ShowIndex();
    if (!updating_ && OnClick)
        OnClick();
}

TUpDown::TUpDown(QLineEdit* associate, QWidget* parent)
    : QWidget(parent), edit_(associate), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (auto* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        box->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, [this] { Click(TButton::Up); });
    connect(down_, &QToolButton::clicked, this, [this] { Click(TButton::Down); });
    if (edit_) {
        edit_->setReadOnly(true);
        edit_->setText(QString::number(position_));
    }
}

void TUpDown::SetRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    SetPosition(position_);
}

void TUpDown::SetPosition(int position) {
    position_ = std::clamp(position, min_, max_);
    if (edit_)
        edit_->setText(QString::number(position_));
}

void TUpDown::Click(TButton button) {
    int p = position_ + (button == TButton::Up ? 1 : -1);
    if (p > max_)
        p = wrap_ ? min_ : max_;
    if (p < min_)
        p = wrap_ ? max_ : min_;
    SetPosition(p);
    if (OnClick)
        OnClick(button);
}

} // namespace halvex
