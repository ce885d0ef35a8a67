#include "ui/Captions.h"

#include "ui/Controls.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace halvex {

QString CaptionText(const TCaptionText& row, TLanguage language) {
    const auto column = static_cast<std::size_t>(language);
    if (column >= static_cast<std::size_t>(kLanguageCount) || !row.Text[column])
        return QString();
    return QString::fromUtf8(row.Text[column]);
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
    if (item == kToolTipItem)
        control->setToolTip(text);
    else if (auto* group = dynamic_cast<TRadioGroup*>(control)) {
        if (item >= 0)
            group->SetItemText(item, text);
        else
            group->setTitle(text);
    } else if (item >= 0) {
        return;
    } else if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    }
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
}

} // namespace halvex
