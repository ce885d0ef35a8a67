// Texts chosen by a count: the plural forms of the status line.
#include "config/Texts.h"

#include <gtest/gtest.h>

#include <string>

namespace halvex {
namespace {

// Polish: 1 element; 2-4 elementy, also 22-24, 102-104, ...; 5-21, 25-31, 112-114, ...
// elementów. English: 1 item, else items.
TEST(Texts, CountsTakeTheirPluralForm) {
    const auto text = [](int count, TLanguage language) {
        return std::string(UiText(PluralText(TUiText::StatusNtscMovedOne, count), language));
    };
    const std::string one = "%1 element przesunięto do wiersza 12";
    const std::string few = "%1 elementy przesunięto do wiersza 12";
    const std::string many = "%1 elementów przesunięto do wiersza 12";
    EXPECT_EQ(text(1, TLanguage::Polish), one);
    for (const int count : {2, 3, 4, 22, 34, 102})
        EXPECT_EQ(text(count, TLanguage::Polish), few) << count;
    for (const int count : {0, 5, 11, 12, 13, 14, 21, 25, 112, 114})
        EXPECT_EQ(text(count, TLanguage::Polish), many) << count;
    EXPECT_EQ(text(1, TLanguage::English), "%1 item moved up to row 12");
    for (const int count : {0, 3, 5})
        EXPECT_EQ(text(count, TLanguage::English), "%1 items moved up to row 12") << count;
}

} // namespace
} // namespace halvex
