// Small Delphi-style control wrappers used by every window, so that no handler has to
// remember the toolkit rules the program relies on:
//  - setting a check box's or radio group's value from code runs its click handler when
//    the value changes (and only then);
//  - a spinner tied to a read-only edit box always shows its position there.
#pragma once

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QValidator>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QButtonGroup;
class QToolButton;

namespace halvex {

// The program's interface font: Liberation Sans (metric-compatible with the
// MS Sans Serif 8 pt the windows were laid out for) at 11 pixels, else the default sans.
QFont InterfaceFont();

// A new control of type W, a child of `parent`, named `name`: captions and tooltips are
// applied by that name (Captions.h), so every control made gets one. `args` go to W's
// constructor before the parent ("Open", an edit box). Make leaves the control to a layout;
// Place puts it at `rect` (pixels in the parent).
template <typename W, typename... Args> W* Make(QWidget* parent, const char* name, Args&&... args) {
    auto* control = new W(std::forward<Args>(args)..., parent);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

template <typename W, typename... Args>
W* Place(QWidget* parent, const char* name, const QRect& rect, Args&&... args) {
    W* control = Make<W>(parent, name, std::forward<Args>(args)...);
    control->setGeometry(rect);
    return control;
}

// What an edit box may hold, whichever way the text arrives (typed, pasted with the
// keyboard, the context menu or the middle button, dropped): only the characters of
// `keys` (and `*decimalPoint` where given), and at most `maxLength` of them. The program's
// own texts (ShowText) pass whole, so a stored value longer than the box allows shows
// until the box is left; such a text may then shrink but not grow.
class TKeyValidator : public QValidator {
public:
    TKeyValidator(const char* keys, int maxLength, const char* decimalPoint, QObject* parent);
    State validate(QString& input, int& position) const override;
    int MaxLength() const { return maxLength_; }

    // Sets the text of `edit` as the program's own.
    static void ShowText(QLineEdit* edit, const QString& text);

private:
    const char* keys_;
    int maxLength_;
    const char* decimalPoint_;
    mutable int accepted_ = 0; // length of the last text accepted
    mutable bool programText_ = false;
};

class TCheckBox : public QCheckBox {
public:
    explicit TCheckBox(const QString& caption, QWidget* parent = nullptr);
    bool Checked() const { return isChecked(); }
    // Runs OnClick when the state changes, as a user click does.
    void SetChecked(bool on) { setChecked(on); }
    std::function<void()> OnClick;
};

// A framed group of radio buttons with an item index (-1 = no selection). The buttons are
// exclusive as on every desktop: radio buttons to accessibility, arrow keys move the
// selection within the group.
class TRadioGroup : public QGroupBox {
public:
    explicit TRadioGroup(const QString& caption, QWidget* parent = nullptr);
    // Replaces the items; keeps the index when it is still valid. Items are laid out in
    // `columns` columns, filled row by row.
    void SetItems(const QStringList& items, int columns = 1);
    // Replaces the text of item k in place (the selection stays).
    void SetItemText(int k, const QString& text);
    QString ItemText(int k) const;
    int Count() const { return static_cast<int>(buttons_.size()); }
    int ItemIndex() const { return index_; }
    // Selecting another item runs OnClick; selecting the current one does nothing.
    void SetItemIndex(int index);
    QRadioButton* Button(int k) const { return buttons_.at(static_cast<std::size_t>(k)); }
    std::function<void()> OnClick;

private:
    void Relayout();
    void ShowIndex(); // checks the button of index_ only (none for -1)
    std::vector<QRadioButton*> buttons_;
    int index_ = -1;
    int columns_ = 1;
    bool updating_ = false;
};

// Up-down spinner: two arrow buttons that move a position between Min and Max, optionally
// wrapping; the tied read-only edit shows the position. OnClick runs after a user click
// with the new position already set (the handler may correct it with SetPosition).
class TUpDown : public QWidget {
public:
    enum class TButton { Up, Down };
    TUpDown(QLineEdit* associate, QWidget* parent = nullptr);
    void SetRange(int min, int max);
    void SetWrap(bool wrap) { wrap_ = wrap; }
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // Clamps into the range and shows the value in the tied edit; runs no handler.
    void SetPosition(int position);
    // A user click on an arrow (also used by tests).
    void Click(TButton button);
    QLineEdit* Associate() const { return edit_; }
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }
    std::function<void(TButton)> OnClick;

private:
    QLineEdit* edit_;
    QToolButton* up_;
    QToolButton* down_;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    bool wrap_ = false;
};

} // namespace halvex
