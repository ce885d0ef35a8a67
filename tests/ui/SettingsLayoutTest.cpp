// Every caption of the settings and import dialogs is whole in both languages: each text
// fits its control, each control lies inside its parent and no two siblings overlap.
// With HALVEX_RENDER_DIR set, the dialogs are also saved there as PNG files for a look.
#include "ui/ImportDialog.h"
#include "ui/SettingsDialog.h"

#include "GuiTestApp.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace halvex;

namespace {

std::string Name(const QWidget* w) {
    return (w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName())
        .toStdString();
}

void ExpectWhole(QWidget* top) {
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow())
            continue;
        const QFontMetrics fm = w->fontMetrics();
        const std::string id = Name(w) + " in " + Name(w->parentWidget());
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << id << " sticks out";
        if (auto* l = qobject_cast<QLabel*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(l->text()), l->contentsRect().width())
                << id << " \"" << l->text().toStdString() << "\"";
            EXPECT_LE(fm.height(), l->height()) << id;
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            EXPECT_LE(w->sizeHint().width(), w->width()) << id;
            const int indicator = w->style()->pixelMetric(
                qobject_cast<QCheckBox*>(w) ? QStyle::PM_IndicatorHeight
                                            : QStyle::PM_ExclusiveIndicatorHeight);
            EXPECT_LE(std::max(fm.height(), indicator), w->height()) << id;
        } else if (auto* b = qobject_cast<QPushButton*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(b->text()) + 8, b->width()) << id;
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(g->title()) + 12, g->width()) << id;
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            // The widest value the box can take.
            const auto* limit = dynamic_cast<const TSettingsBoxValidator*>(e->validator());
            const int length = limit ? limit->MaxLength() : std::min(e->maxLength(), 12);
            const QString widest(length, QChar('0'));
            EXPECT_LE(fm.horizontalAdvance(widest) + 4, e->contentsRect().width()) << id;
        }
    }
    // Siblings do not overlap.
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
                    << Name(kids[a]) << " overlaps " << Name(kids[b]) << " in " << Name(parent);
    }
}

void Render(QWidget* w, const char* file) {
    const QByteArray dir = qgetenv("HALVEX_RENDER_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(w->grab().save(QString::fromLocal8Bit(dir) + "/" + file));
    }
}

class DialogLayout : public ::testing::TestWithParam<TLanguage> {
protected:
    void SetUp() override { test::GuiTestApp(); }
    const char* Suffix() const { return GetParam() == TLanguage::Polish ? "pl" : "en"; }
};

} // namespace

TEST_P(DialogLayout, SettingsDialogCaptionsAreWhole) {
    TConfigImage image;
    image.SetWord(ofs::MahAlarm, 65500);
    image.SetWord(ofs::Odometer + 2, 0xFFFF); // the longest odometer line
    image.SetWord(ofs::Odometer, 0xFFFF);
    for (int k = 0; k < 12; ++k)
        image.SetByte(ofs::UserName + k, 'W');
    TForm2 form(image);
    const TLanguage language = GetParam();
    form.Language = [language] { return language; };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ExpectWhole(&form);
    EXPECT_EQ(form.StaticText1->text(), " Odo: 4294967.2km");
    Render(&form, (std::string("TForm2_") + Suffix() + ".png").c_str());
}

TEST_P(DialogLayout, ImportDialogCaptionsAreWhole) {
    TForm3 form;
    form.ApplyLanguage(GetParam());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ExpectWhole(&form);
    Render(&form, (std::string("TForm3_") + Suffix() + ".png").c_str());
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogLayout,
                         ::testing::Values(TLanguage::English, TLanguage::Polish),
                         [](const ::testing::TestParamInfo<TLanguage>& p) {
                             return p.param == TLanguage::Polish ? "Polish" : "English";
                         });
