// Applies the main window's caption table to the editor's controls by object name, the way
// the language switch does, so tests and screenshots can show either language.
#pragma once

#include "app/Controls.h"
#include "app/Texts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace halvex::test {

inline void ApplyMainTexts(QWidget* form, TLanguage language) {
    for (const TCaptionText& t : MainWindowTexts()) {
        auto* w = form->findChild<QWidget*>(QString::fromLatin1(t.Control));
        if (!w)
            continue;
        const QString text = QString::fromUtf8(t.Text[static_cast<int>(language)]);
        if (auto* g = dynamic_cast<TRadioGroup*>(w)) {
            if (t.Item >= 0)
                g->SetItemText(t.Item, text);
            else
                g->setTitle(text);
        } else if (auto* box = dynamic_cast<QGroupBox*>(w)) {
            box->setTitle(text);
        } else if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
            button->setText(text);
        } else if (auto* label = dynamic_cast<QLabel*>(w)) {
            label->setText(text);
        }
    }
}

} // namespace halvex::test
