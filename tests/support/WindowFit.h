// Whether a window's texts are whole: each caption and label fits the room its control
// gives it (measured with QFontMetrics in the control's own font), each control lies
// inside its parent and no two shown siblings overlap. Only what is shown is measured.
#pragma once

#include "ui/Controls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace halvex::test {

inline std::string WidgetName(const QWidget* w) {
    return (w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName())
        .toStdString();
}

// The room a group box gives its title, as the style lays it out.
inline int GroupTitleRoom(QGroupBox* g) {
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.lineWidth = 1;
    opt.textAlignment = g->alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label =
        g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    return std::min(label.width(), g->width() - 3 - label.left());
}

// One control's text against its room; `where` names it in a failure.
inline void ExpectTextFits(QWidget* w, const std::string& where) {
    const QFontMetrics fm = w->fontMetrics();
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->textFormat() == Qt::RichText || l->text().startsWith(u'<') || !l->pixmap().isNull())
            return;
        if (l->wordWrap()) { // its lines, broken at its width
            EXPECT_LE(l->heightForWidth(l->width()), l->height())
                << where << " \"" << l->text().toStdString() << "\"";
            return;
        }
        EXPECT_LE(fm.horizontalAdvance(l->text()), l->contentsRect().width())
            << where << " \"" << l->text().toStdString() << "\"";
        EXPECT_LE(fm.height(), l->height()) << where;
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        // The indicator, then (with a text) the spacing and the text.
        auto* b = static_cast<QAbstractButton*>(w);
        const bool radio = qobject_cast<QRadioButton*>(w) != nullptr;
        const QStyle* st = b->style();
        const int spacing = b->text().isEmpty()
                                ? 0
                                : st->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing
                                                        : QStyle::PM_CheckBoxLabelSpacing,
                                                  nullptr, b);
        const int indicator = spacing + st->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth
                                                              : QStyle::PM_IndicatorWidth,
                                                        nullptr, b);
        EXPECT_LE(indicator + fm.horizontalAdvance(b->text()), b->width())
            << where << " \"" << b->text().toStdString() << "\"";
        const int height = st->pixelMetric(
            radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight, nullptr, b);
        EXPECT_LE(std::max(fm.height(), height), w->height()) << where;
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
        EXPECT_LE(fm.horizontalAdvance(b->text()) + 8, b->width())
            << where << " \"" << b->text().toStdString() << "\"";
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        EXPECT_LE(fm.horizontalAdvance(g->title().trimmed()), GroupTitleRoom(g))
            << where << " \"" << g->title().toStdString() << "\"";
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        // The shown entry, beside the arrow.
        const int arrow = c->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 6;
        EXPECT_LE(fm.horizontalAdvance(c->currentText()) + arrow, c->width())
            << where << " \"" << c->currentText().toStdString() << "\"";
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        // The widest value the box can take, where the box has a limit.
        const auto* limit = dynamic_cast<const TKeyValidator*>(e->validator());
        const int length = limit ? limit->MaxLength() : e->maxLength();
        if (length <= 12) {
            const QString widest(length, QChar('0'));
            EXPECT_LE(fm.horizontalAdvance(widest) + 4, e->contentsRect().width()) << where;
        }
    }
}

// Every shown control of `top`; `context` is added to failure messages.
inline void ExpectWindowWhole(QWidget* top, const std::string& context = {}) {
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow() || !w->parentWidget() ||
            w->parentWidget()->inherits("QComboBox") || w->parentWidget()->inherits("QLineEdit") ||
            w->parentWidget()->inherits("QTabBar"))
            continue;
        const std::string id = WidgetName(w) + " in " + WidgetName(w->parentWidget()) + context;
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << id << " sticks out";
        ExpectTextFits(w, id);
    }
    QList<QWidget*> containers = top->findChildren<QWidget*>();
    containers << top;
    for (QWidget* parent : containers) {
        QList<QWidget*> kids;
        for (QObject* o : parent->children())
            if (auto* k = qobject_cast<QWidget*>(o); k && k->isVisible() && !k->isWindow())
                kids << k;
        for (int a = 0; a < kids.size(); ++a)
            for (int b = a + 1; b < kids.size(); ++b)
                EXPECT_FALSE(kids[a]->geometry().intersects(kids[b]->geometry()))
                    << WidgetName(kids[a]) << " overlaps " << WidgetName(kids[b]) << " in "
                    << WidgetName(parent) << context;
    }
}

} // namespace halvex::test
