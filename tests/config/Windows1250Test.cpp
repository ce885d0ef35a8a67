#include "config/Windows1250.h"

#include <gtest/gtest.h>

#include <set>

using namespace halvex;

TEST(Windows1250, EveryByteComesBackKnownLettersMapAndUnassignedBytesAreTheirC1Controls) {
    const std::set<int> unassigned = {0x81, 0x83, 0x88, 0x90, 0x98};
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const char32_t c = Win1250ToUnicode(static_cast<std::uint8_t>(b));
        EXPECT_EQ(UnicodeToWin1250(c), b) << "byte " << b;
        if (unassigned.count(b)) {
            EXPECT_EQ(c, static_cast<char32_t>(b)) << "byte " << b;
        }
        all.push_back(static_cast<char>(b));
    }
    // Through UTF-8 every byte comes back, except the control characters (the unassigned
    // bytes among them), which a name or a file line may not hold: those become '?'.
    const std::string back = Utf8ToWin1250(Win1250ToUtf8(all));
    ASSERT_EQ(back.size(), 256u);
    for (int b = 0; b < 256; ++b) {
        const bool control = b < 0x20 || b == 0x7F || unassigned.count(b);
        EXPECT_EQ(static_cast<std::uint8_t>(back[static_cast<std::size_t>(b)]), control ? '?' : b)
            << "byte " << b;
    }

    EXPECT_EQ(Win1250ToUnicode(0xA3), U'Ł');
    EXPECT_EQ(Win1250ToUnicode(0xB3), U'ł');
    EXPECT_EQ(Win1250ToUnicode(0xB9), U'ą');
    EXPECT_EQ(Win1250ToUnicode(0x80), U'€');
    EXPECT_EQ(Win1250ToUnicode(0x9C), U'ś');
    EXPECT_EQ(Win1250ToUtf8("\xA3ukasz"), "Łukasz");
    EXPECT_EQ(Utf8ToWin1250("Łódź"), "\xA3\xF3"
                                     "d\x9F");
    // No byte for the character, or no character at all.
    EXPECT_EQ(UnicodeToWin1250(U'中'), std::nullopt);
    EXPECT_EQ(Utf8ToWin1250("a中😀b\xC3(\xFF"), "a??b?(?");
}
