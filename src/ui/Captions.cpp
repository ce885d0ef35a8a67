#include "ui/Captions.h"

#include "ui/Controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QWidget>

namespace halvex {

QString CaptionText(const TCaptionText& row, TLanguage language) {
    const auto column = static_cast<std::size_t>(language);
    if (column >= static_cast<std::size_t>(kLanguageCount) || !row.Text[column])
        return QString();
    return QString::fromUtf8(row.Text[column]);
}

namespace {

// Whether a label among the control's siblings names it (is its buddy's label).
bool HasLabel(const QWidget* control) {
    for (QObject* o : control->parentWidget()->children())
        if (auto* label = qobject_cast<QLabel*>(o); label && label->buddy() == control)
            return true;
    return false;
}

// Names an edit box and the spinners tied to it.
void NameEdit(QWidget* edit, const QString& name) {
    edit->setAccessibleName(name);
    for (QObject* o : edit->parentWidget()->children())
        if (auto* spinner = dynamic_cast<TUpDown*>(o); spinner && spinner->Associate() == edit)
            spinner->setAccessibleName(name);
}

// The non-window widgets of `root`'s own window, depth first.
template <typename F> void ForEachControl(QWidget* root, const F& fn) {
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        fn(w);
        ForEachControl(w, fn);
    }
}

} // namespace

void NameAfterCaption(QWidget* control) {
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        const QString name = box->title().trimmed();
        box->setAccessibleName(name);
        for (QObject* o : box->children())
            if (auto* edit = qobject_cast<QLineEdit*>(o); edit && !HasLabel(edit))
                NameEdit(edit, name);
    } else if (auto* label = qobject_cast<QLabel*>(control); label && label->buddy()) {
        NameEdit(label->buddy(), label->text().trimmed());
    }
}

void NameControls(QWidget* root) {
    if (root)
        ForEachControl(root, [](QWidget* w) { NameAfterCaption(w); });
}

QWidget* FindControl(QWidget* root, const QString& name) {
    if (!root)
        return nullptr;
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        if (w->objectName() == name)
            return w;
        if (QWidget* found = FindControl(w, name))
            return found;
    }
    return nullptr;
}

void SetControlCaption(QWidget* control, int item, const QString& text) {
    if (item == kToolTipItem) {
        control->setToolTip(text);
        return;
    }
    if (auto* group = dynamic_cast<TRadioGroup*>(control)) {
        if (item >= 0)
            group->SetItemText(item, text);
        else
            group->setTitle(text);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        if (item >= 0 && item < tabs->count())
            tabs->setTabText(item, text);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (item >= 0 && item < combo->count())
            combo->setItemText(item, text);
    } else if (item >= 0) {
        return;
    } else if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    }
    NameAfterCaption(control);
}

void ApplyCaptionTexts(QWidget* root, std::span<const TCaptionText> texts, TLanguage language,
                       const std::function<bool(const TCaptionText&)>& skip) {
    if (!root)
        return;
    for (const TCaptionText& row : texts) {
        if (skip && skip(row))
            continue;
        const QString name = QString::fromLatin1(row.Control);
        const QString text = CaptionText(row, language);
        if (root->objectName() == name)
            root->setWindowTitle(text);
        else if (QWidget* control = FindControl(root, name))
            SetControlCaption(control, row.Item, text);
    }
    NameControls(root);
}

} // namespace halvex
