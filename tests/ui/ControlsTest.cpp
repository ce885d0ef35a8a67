// The radio group wrapper as the desktop sees it: radio buttons to accessibility, arrow
// keys moving the selection, and "nothing chosen" still possible.
#include "GuiTestApp.h"

#include <QAccessible>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace halvex;
using namespace halvex::test;

TEST(RadioGroup, ItemsAreRadioButtonsArrowKeysMoveTheSelectionAndNoneStaysPossible) {
    GuiTestApp();
    QWidget window;
    auto* group = new TRadioGroup(QStringLiteral("Font"), &window);
    group->SetItems({QStringLiteral("Big"), QStringLiteral("Small"), QStringLiteral("Tiny")});
    int clicks = 0;
    group->OnClick = [&clicks] { ++clicks; };
    group->SetItemIndex(0);
    for (int k = 0; k < group->Count(); ++k)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(group->Button(k))->role(),
                  QAccessible::RadioButton);

    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    group->Button(0)->setFocus();
    QTest::keyClick(group->Button(0), Qt::Key_Down);
    EXPECT_EQ(group->ItemIndex(), 1);
    EXPECT_TRUE(group->Button(1)->isChecked());
    EXPECT_FALSE(group->Button(0)->isChecked());
    EXPECT_EQ(clicks, 2);

    group->SetItemIndex(-1);
    EXPECT_EQ(group->ItemIndex(), -1);
    for (int k = 0; k < group->Count(); ++k)
        EXPECT_FALSE(group->Button(k)->isChecked()) << k;
    EXPECT_EQ(clicks, 3);
}
