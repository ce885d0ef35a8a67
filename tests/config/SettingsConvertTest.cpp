#include "config/SettingsConvert.h"

#include <gtest/gtest.h>

#include <string>

using namespace halvex;

namespace {

// Replaces the separator placeholder '#' in an expected or typed text.
std::string WithSeparator(std::string text, char separator) {
    for (char& c : text)
        if (c == '#')
            c = separator;
    return text;
}

TSettingsCopy CopyWith(std::size_t offset, std::uint8_t value) {
    TSettingsCopy copy{};
    copy[offset] = value;
    return copy;
}

} // namespace

class BatteryConversion : public ::testing::TestWithParam<char> {};

TEST_P(BatteryConversion, ShowsStoredNibbleWithTheSeparator) {
    const char sep = GetParam();
    EXPECT_EQ(BatteryText(0, sep), WithSeparator("2#5", sep));
    EXPECT_EQ(BatteryText(15, sep), WithSeparator("4#0", sep));
    const TSettingsCopy copy = CopyWith(ofs::BattAlarm, 0x8F);
    EXPECT_EQ(FieldText(copy, TSettingsField::VideoBatt, sep), WithSeparator("3#3", sep));
    EXPECT_EQ(FieldText(copy, TSettingsField::MotorBatt, sep), WithSeparator("4#0", sep));
}

TEST_P(BatteryConversion, RoundsHalvesToEvenAndClamps) {
    const char sep = GetParam();
    struct TCase {
        const char* Typed;
        int Nibble;
        const char* Shown;
    };
    const TCase cases[] = {
        {"4#5", 15, "4#0"},      // above 4.0: clamped
        {"2#54", 0, "2#5"},      // round(25.4) = 25
        {"1", 0, "2#5"},         // below 2.5: clamped
        {"2#55", 1, "2#6"},      // 25.5 -> 26 (even)
        {"2#65", 1, "2#7"},      // 26.5 -> 26 (even); the box shows v rounded half up
        {"3#35", 9, "3#4"},      // 33.5 -> 34
        {"3#45", 9, "3#5"},      // 34.5 -> 34
        {"2#651", 2, "2#7"},     // just above the half
        {"2#649", 1, "2#6"},     // just below the half
        {"2#6500001", 2, "2#7"}, // a far digit decides the tie
        {"3#3", 8, "3#3"},
        {"3", 5, "3#0"},
        {"3#", 5, "3#0"}, // a separator without decimals is a number
        {"#5", 0, "2#5"}, // 0.5
        {"4#00", 15, "4#0"},
        {"4#01", 15, "4#0"}, // above 4.0 by a hundredth
        {" 3#1 ", 6, "3#1"}, // blanks around the number
        {"-3", 0, "2#5"},    // negative: lower bound
        {"99999999999999999999999", 15, "4#0"},
    };
    for (const TCase& c : cases) {
        const TBatteryExit r = ConvertBattery(WithSeparator(c.Typed, sep), sep, 7);
        EXPECT_EQ(r.Nibble, c.Nibble) << c.Typed;
        EXPECT_EQ(r.Text, WithSeparator(c.Shown, sep)) << c.Typed;
    }
}

TEST_P(BatteryConversion, UnparseableTextRevertsToTheStoredNibble) {
    const char sep = GetParam();
    const char other = sep == ',' ? '.' : ',';
    for (const std::string& typed :
         {std::string(), std::string(1, sep), std::string("3") + other + "5",
          std::string("3") + sep + sep + "5", std::string("-"), std::string("3a")}) {
        const TBatteryExit r = ConvertBattery(typed, sep, 8);
        EXPECT_EQ(r.Nibble, 8) << typed;
        EXPECT_EQ(r.Text, WithSeparator("3#3", sep)) << typed;
    }
}

INSTANTIATE_TEST_SUITE_P(Separators, BatteryConversion, ::testing::Values(',', '.'));

TEST(SettingsExit, BatteryBoxesReplaceOnlyTheirNibble) {
    TSettingsCopy copy = CopyWith(ofs::BattAlarm, 0x3A);
    EXPECT_EQ(ExitField(copy, TSettingsField::VideoBatt, "4,0", ','), "4,0");
    EXPECT_EQ(copy[ofs::BattAlarm], 0xFA);
    EXPECT_EQ(ExitField(copy, TSettingsField::MotorBatt, "2,5", ','), "2,5");
    EXPECT_EQ(copy[ofs::BattAlarm], 0xF0);
    // On a full-stop system, the comma text reverts to the stored value.
    EXPECT_EQ(ExitField(copy, TSettingsField::VideoBatt, "3,0", '.'), "4.0");
    EXPECT_EQ(copy[ofs::BattAlarm], 0xF0);
}

TEST(SettingsExit, HeightIsStoredInTensOfMetres) {
    TSettingsCopy copy = CopyWith(ofs::AltAlarm, 30);
    EXPECT_EQ(FieldText(copy, TSettingsField::Height, '.'), "300");
    EXPECT_EQ(ExitField(copy, TSettingsField::Height, "1234", '.'), "1230");
    EXPECT_EQ(copy[ofs::AltAlarm], 123);
    EXPECT_EQ(ExitField(copy, TSettingsField::Height, "5", '.'), "10");
    EXPECT_EQ(copy[ofs::AltAlarm], 1);
    EXPECT_EQ(ExitField(copy, TSettingsField::Height, "9999", '.'), "2500");
    EXPECT_EQ(copy[ofs::AltAlarm], 250);
    EXPECT_EQ(ExitField(copy, TSettingsField::Height, "", '.'), "2500"); // reverts
    EXPECT_EQ(copy[ofs::AltAlarm], 250);
}

TEST(SettingsExit, TemperaturesAreDegreesPlus90WithinBounds) {
    TSettingsCopy copy = CopyWith(ofs::MinThempAlarm, 100);
    EXPECT_EQ(FieldText(copy, TSettingsField::MinThemp, '.'), "10");
    EXPECT_EQ(ExitField(copy, TSettingsField::MinThemp, "-60", '.'), "-50");
    EXPECT_EQ(copy[ofs::MinThempAlarm], 40);
    EXPECT_EQ(ExitField(copy, TSettingsField::MinThemp, "", '.'), "-50"); // the stored value
    EXPECT_EQ(copy[ofs::MinThempAlarm], 40);
    EXPECT_EQ(ExitField(copy, TSettingsField::MinThemp, "-", '.'), "-50");
    EXPECT_EQ(ExitField(copy, TSettingsField::MaxThemp, "200", '.'), "120");
    EXPECT_EQ(copy[ofs::MaxThempAlarm], 210);
    EXPECT_EQ(ExitField(copy, TSettingsField::MaxThemp, "-5", '.'), "-5");
    EXPECT_EQ(copy[ofs::MaxThempAlarm], 85);
    // A stored byte below 40 shows below -50 and is clamped when the box is left.
    copy[ofs::MaxThempAlarm] = 0;
    EXPECT_EQ(FieldText(copy, TSettingsField::MaxThemp, '.'), "-90");
    EXPECT_EQ(ExitField(copy, TSettingsField::MaxThemp, "x", '.'), "-50");
    EXPECT_EQ(copy[ofs::MaxThempAlarm], 40);
}

TEST(SettingsExit, ByteAndWordFieldsClampToTheirRanges) {
    TSettingsCopy copy{};
    EXPECT_EQ(ExitField(copy, TSettingsField::Rssi, "0", '.'), "1");
    EXPECT_EQ(copy[ofs::RssiAlarm], 1);
    EXPECT_EQ(ExitField(copy, TSettingsField::BattCal, "100", '.'), "150");
    EXPECT_EQ(copy[ofs::BattCal], 150);
    EXPECT_EQ(ExitField(copy, TSettingsField::BattCal, "251", '.'), "250");
    EXPECT_EQ(ExitField(copy, TSettingsField::FlyTime, "300", '.'), "255");
    EXPECT_EQ(copy[ofs::FlytimAlarm], 255);
    EXPECT_EQ(ExitField(copy, TSettingsField::Mah, "99999", '.'), "65500");
    EXPECT_EQ(GetWord(copy.data(), ofs::MahAlarm), 65500);
    EXPECT_EQ(ExitField(copy, TSettingsField::Distance, "5", '.'), "10");
    EXPECT_EQ(GetWord(copy.data(), ofs::DistAlarm), 10);
    EXPECT_EQ(ExitField(copy, TSettingsField::Themp0Cal, "600", '.'), "600");
    EXPECT_EQ(GetWord(copy.data(), ofs::Themp0Cal), 600);
    EXPECT_EQ(ExitField(copy, TSettingsField::Themp100Cal, "0", '.'), "0"); // no lower bound
}

TEST(SettingsExit, SomeFieldsCompareModulo65536OthersSigned) {
    TSettingsCopy copy{};
    // Modulo 65536, unsigned: -1 is 65535, above every upper bound.
    EXPECT_EQ(ExitField(copy, TSettingsField::FlyTime, "-1", '.'), "255");
    EXPECT_EQ(ExitField(copy, TSettingsField::Rssi, "-1", '.'), "99");
    EXPECT_EQ(ExitField(copy, TSettingsField::Themp0Cal, "-1", '.'), "9999");
    EXPECT_EQ(ExitField(copy, TSettingsField::Themp0Cal, "65537", '.'), "1");
    EXPECT_EQ(ExitField(copy, TSettingsField::Height, "65546", '.'), "10");
    // Signed: -1 is below the lower bound.
    EXPECT_EQ(ExitField(copy, TSettingsField::Mah, "-1", '.'), "10");
    EXPECT_EQ(ExitField(copy, TSettingsField::Distance, "-70000", '.'), "10");
}

TEST(SettingsExit, StoredCalibrationAbove9999ShowsAsIsUntilLeft) {
    TSettingsCopy copy{};
    SetWord(copy.data(), ofs::Themp0Cal, 12000);
    EXPECT_EQ(FieldText(copy, TSettingsField::Themp0Cal, '.'), "12000");
    EXPECT_EQ(ExitField(copy, TSettingsField::Themp0Cal, "12000", '.'), "9999");
    EXPECT_EQ(GetWord(copy.data(), ofs::Themp0Cal), 9999);
    // Unparseable text takes the stored value, which is then clamped like a typed one.
    SetWord(copy.data(), ofs::Themp100Cal, 40000);
    EXPECT_EQ(ExitField(copy, TSettingsField::Themp100Cal, "", '.'), "9999");
    copy[ofs::BattCal] = 20;
    EXPECT_EQ(ExitField(copy, TSettingsField::BattCal, "", '.'), "150");
    EXPECT_EQ(copy[ofs::BattCal], 150);
}

TEST(SettingsExit, IntegerParsingAcceptsOnlySignedDecimals) {
    EXPECT_EQ(ParseSettingsInteger("42"), 42);
    EXPECT_EQ(ParseSettingsInteger(" -42 "), -42);
    EXPECT_EQ(ParseSettingsInteger("+7"), 7);
    EXPECT_EQ(ParseSettingsInteger("007"), 7);
    EXPECT_FALSE(ParseSettingsInteger(""));
    EXPECT_FALSE(ParseSettingsInteger("-"));
    EXPECT_FALSE(ParseSettingsInteger("--5"));
    EXPECT_FALSE(ParseSettingsInteger("1 2"));
    EXPECT_FALSE(ParseSettingsInteger("12a"));
    EXPECT_FALSE(ParseSettingsInteger("$10"));
    EXPECT_FALSE(ParseSettingsInteger("1234567890123456789")); // 19 digits
    EXPECT_EQ(ParseSettingsInteger("123456789012345678"), 123456789012345678);
}

TEST(SettingsDialogBits, ConfigIsRebuiltKeepingOnlyTheVideoStandard) {
    EXPECT_EQ(ChannelIndex(0xFF), 4); // channel 7 shows the last item
    EXPECT_EQ(ChannelIndex(0xA0), 4);
    EXPECT_EQ(ChannelIndex(0x60), 3);
    EXPECT_EQ(ChannelIndex(0x1F), 0);
    EXPECT_EQ(RebuildConfig(0xFF, ChannelIndex(0xFF), 1, 1, 1), 0x9B);
    EXPECT_EQ(RebuildConfig(0xEF, 0, 0, 0, 0), 0x00); // bit 2 and the old channel go
    EXPECT_EQ(RebuildConfig(0x00, 2, 0, 1, 0), 0x48);
}

TEST(SettingsDialogBits, OdometerShowsKilometresWithTruncatedTenths) {
    EXPECT_EQ(OdometerText(65536), " Odo: 65.5km");
    EXPECT_EQ(OdometerText(999), " Odo: 0.9km");
    EXPECT_EQ(OdometerText(0), " Odo: 0.0km");
    EXPECT_EQ(OdometerText(4294967295u), " Odo: 4294967.2km");
}

TEST(SettingsApply, WritesHeaderFillAndName) {
    TConfigImage image;
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        image.SetByte(k, static_cast<std::uint8_t>(k * 7));
    TSettingsCopy copy{};
    for (std::size_t k = 0; k < copy.size(); ++k)
        copy[k] = static_cast<std::uint8_t>(200 + k);
    const TConfigImage before = image;

    ApplySettings(image, copy, "ABCDEFGHIJKL"); // 12 characters: no terminator
    for (std::size_t k = 0; k < copy.size(); ++k)
        EXPECT_EQ(image.Byte(k), copy[k]) << k;
    for (std::size_t k = 32; k < ofs::UnusedFillStart; ++k)
        ASSERT_EQ(image.Byte(k), before.Byte(k)) << k;
    for (std::size_t k = ofs::UnusedFillStart; k < ofs::UserName; ++k)
        ASSERT_EQ(image.Byte(k), 0xFF) << k;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Data()) + 500, 12), "ABCDEFGHIJKL");
    EXPECT_EQ(image.StoredUserName(), "ABCDEFGHIJKL");

    ApplySettings(image, copy, "ABCDEFGHIJKLMN"); // longer: cut at offset 511
    EXPECT_EQ(image.StoredUserName(), "ABCDEFGHIJKL");

    ApplySettings(image, copy, "Bob");
    EXPECT_EQ(image.Byte(503), 0x00);
    EXPECT_EQ(image.Byte(504), 0xFF);
    EXPECT_EQ(image.StoredUserName(), "Bob");
}

TEST(SettingsApply, EmptyNameLeavesTheGridNameUnchanged) {
    TConfigImage image;
    ApplySettings(image, TSettingsCopy{}, "");
    EXPECT_EQ(image.Byte(500), 0x00);
    for (std::size_t k = 501; k < 512; ++k)
        EXPECT_EQ(image.Byte(k), 0xFF) << k;
    std::string sample = "Pilot";
    EXPECT_FALSE(ReadUserName(image, sample));
    EXPECT_EQ(sample, "Pilot");
}

TEST(SettingsApply, LoadCopiesTheHeader) {
    TConfigImage image;
    for (std::size_t k = 0; k < 40; ++k)
        image.SetByte(k, static_cast<std::uint8_t>(k + 1));
    const TSettingsCopy copy = LoadSettingsCopy(image);
    for (std::size_t k = 0; k < copy.size(); ++k)
        EXPECT_EQ(copy[k], k + 1);
}
