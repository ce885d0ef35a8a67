#include "config/SettingsFile.h"

#include "config/SettingsConvert.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace halvex;

namespace {

std::string ReadData(const char* name) {
    std::ifstream in(std::string(HALVEX_SETTINGS_DATA) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The image the hand-written tests/data/settings/known.set describes.
TConfigImage KnownImage() {
    TConfigImage img;
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        img.SetByte(k, static_cast<std::uint8_t>(k * 31 + 5)); // bytes the file does not carry
    img.SetMode(1);
    img.SetConfig(147);
    img.SetAlarms(165);
    img.SetByte(ofs::BattAlarm, 143);
    img.SetWord(ofs::MahAlarm, 2200);
    img.SetWord(ofs::DistAlarm, 1500);
    img.SetByte(ofs::FlytimAlarm, 15);
    img.SetByte(ofs::AltAlarm, 12);
    img.SetByte(ofs::RssiAlarm, 30);
    img.SetByte(ofs::MinThempAlarm, 80);
    img.SetByte(ofs::MaxThempAlarm, 160);
    img.SetByte(ofs::BattCal, 180);
    img.SetWord(ofs::Themp0Cal, 600);
    img.SetWord(ofs::Themp100Cal, 1234);
    const char name[] = "\xA3ukasz"; // Łukasz in Windows-1250
    for (std::size_t k = 0; k < 6; ++k)
        img.SetByte(ofs::UserName + k, static_cast<std::uint8_t>(name[k]));
    img.SetByte(ofs::UserName + 6, 0x00);
    for (int m = 0; m < kLayoutModes; ++m) {
        for (int i = 0; i < kItemCount; ++i) {
            int f, x, y;
            if (i == 0) {
                f = 0x80 | m;
                x = 100 + 10 * m;
                y = 200 - 50 * m;
            } else {
                const int fs[] = {0x80 | (i % 16), i * 3, 255 - i};
                const int xs[] = {i, 29 - i, (i * 7) % 30};
                const int ys[] = {i % 16, 15 - (i % 16), (i * 5) % 13};
                f = fs[m];
                x = xs[m];
                y = ys[m];
            }
            img.SetFlags(m, i, static_cast<std::uint8_t>(f));
            img.SetXPos(m, i, static_cast<std::uint8_t>(x));
            img.SetYPos(m, i, static_cast<std::uint8_t>(y));
        }
    }
    return img;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        lines.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// The header fields and item records the settings file carries.
void ExpectSameSettings(const TConfigImage& a, const TConfigImage& b) {
    for (std::size_t k :
         {ofs::Mode, ofs::Config, ofs::Alarms, ofs::MinThempAlarm, ofs::MaxThempAlarm,
          ofs::BattAlarm, ofs::FlytimAlarm, ofs::AltAlarm, ofs::BattCal, ofs::RssiAlarm})
        EXPECT_EQ(a.Byte(k), b.Byte(k)) << "offset " << k;
    for (std::size_t k : {ofs::Themp0Cal, ofs::Themp100Cal, ofs::MahAlarm, ofs::DistAlarm})
        EXPECT_EQ(a.GetWord(k), b.GetWord(k)) << "offset " << k;
    EXPECT_EQ(a.StoredUserName(), b.StoredUserName());
    for (int m = 0; m < kLayoutModes; ++m)
        for (int i = 0; i < kItemCount; ++i)
            for (int f = 0; f < 3; ++f)
                EXPECT_EQ(a.Byte(ItemRecordOffset(m, i) + f), b.Byte(ItemRecordOffset(m, i) + f))
                    << "mode " << m << " item " << i << " byte " << f;
}

TConfigImage Filled(std::uint8_t value) {
    TConfigImage img;
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        img.SetByte(k, value);
    return img;
}

constexpr int kBoth = import_flag::Layouts | import_flag::Main;

class SettingsImport : public ::testing::Test {
protected:
    // Imports the lines, each followed by CR LF, into image_.
    void Import(const std::vector<std::string>& lines, int flags = kBoth, int itemCount = 20) {
        std::string text;
        for (const auto& l : lines)
            text += l + "\r\n";
        ImportSettingsText(text, image_, catalogue_, itemCount, flags,
                           [this](TMessage m) { messages_.push_back(m); });
    }
    TItemCatalogue catalogue_;
    TConfigImage image_ = Filled(0x11);
    std::vector<TMessage> messages_;
};

} // namespace

TEST(SettingsExport, MatchesTheHandWrittenFileByteForByte) {
    const TConfigImage img = KnownImage();
    TItemCatalogue catalogue;
    catalogue.ReadUserName(img);
    const std::string expected = ReadData("known.set");
    ASSERT_FALSE(expected.empty()) << "tests/data/settings/known.set missing";
    const std::string text = WriteSettingsText(img, catalogue, 20);
    EXPECT_EQ(text, expected);

    const auto lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), 203u);
    EXPECT_EQ(lines[0], "[MAIN]");
    EXPECT_EQ(lines[10], "MinThemp_Alarm=-10");
    EXPECT_EQ(lines[13], "Themp0_Cal=600");
    EXPECT_EQ(lines[16], "");
    EXPECT_EQ(lines[17], "[MODE_OFF]");
    EXPECT_EQ(lines[79], "[MODE_MIN]");
    EXPECT_EQ(lines[141], "[MODE_ALL]");
    EXPECT_EQ(lines[202], "");
}

TEST(SettingsExport, ItemLinesFollowTheItemCountAndNamesAreEnglish) {
    TConfigImage img;
    img.SetByte(ofs::MinThempAlarm, 40);
    img.SetByte(ofs::MaxThempAlarm, 210);
    TItemCatalogue catalogue;
    const auto lines = SplitCrLf(WriteSettingsText(img, catalogue, 1));
    ASSERT_EQ(lines.size(), 17u + 3 * 5);
    EXPECT_EQ(lines[10], "MinThemp_Alarm=-50");
    EXPECT_EQ(lines[11], "MaxThemp_Alarm=120");
    EXPECT_EQ(lines[15], "User_Name:"); // no stored name, whatever the grid's sample text
    EXPECT_EQ(lines[18], "Artifical Horizon.Flags=0");
    EXPECT_EQ(lines[21], "");
    EXPECT_EQ(lines[22], "[MODE_MIN]");
}

// Board A's name stays on the grid after reading board B, which has none; B's file must not
// carry A's name into the next board it is imported into.
TEST(SettingsExport, WritesTheStoredNameNotAnEarlierBoardsName) {
    TItemCatalogue catalogue;
    TConfigImage boardA;
    for (std::size_t k = 0; k < 3; ++k)
        boardA.SetByte(ofs::UserName + k, static_cast<std::uint8_t>("Ann"[k]));
    catalogue.ReadUserName(boardA);
    TConfigImage boardB = Filled(0xFF);
    catalogue.ReadUserName(boardB);
    ASSERT_EQ(catalogue.UserNameSample(), "Ann");
    EXPECT_NE(WriteSettingsText(boardB, catalogue, 20).find("\r\nUser_Name:\r\n"),
              std::string::npos);
}

TEST(SettingsExport, NameBytesThatWouldEndTheLineOrFileAreReplaced) {
    TConfigImage img;
    const char name[] = "A\rB\nC\x1A"
                        "D";
    for (std::size_t k = 0; k < 7; ++k)
        img.SetByte(ofs::UserName + k, static_cast<std::uint8_t>(name[k]));
    TItemCatalogue catalogue;
    catalogue.ReadUserName(img);
    const std::string text = WriteSettingsText(img, catalogue, 20);
    EXPECT_NE(text.find("User_Name:A?B?C?D\r\n"), std::string::npos);
    EXPECT_EQ(SplitCrLf(text).size(), 203u);

    // The layouts after it still import.
    TConfigImage target = Filled(0x11);
    ImportSettingsText(text, target, catalogue, 20, kBoth, nullptr);
    EXPECT_EQ(target.Flags(2, 19), 0);
}

TEST(SettingsExport, ExportThenImportReproducesTheSettings) {
    const TConfigImage img = KnownImage();
    TItemCatalogue catalogue;
    catalogue.ReadUserName(img);
    TConfigImage target = Filled(0x5A);
    ImportSettingsText(WriteSettingsText(img, catalogue, 20), target, catalogue, 20, kBoth,
                       nullptr);
    ExpectSameSettings(img, target);
    // Bytes the file does not carry stay as they were.
    EXPECT_EQ(target.Byte(0), 0x5A);
    EXPECT_EQ(target.Byte(ofs::Odometer), 0x5A);
    EXPECT_EQ(target.Byte(92), 0x5A);
    EXPECT_EQ(target.Byte(300), 0x5A);
    EXPECT_EQ(target.Byte(500 + 6), 0xFF); // the import pads the name with 0xFF
}

// Each box of the settings dialog at its lowest and highest value: the exported file
// imports back to the same image.
TEST(SettingsExport, EveryValueTheDialogCanStoreImportsBack) {
    TItemCatalogue catalogue;
    // "0" is below every lower bound but the temperatures', "-99" below theirs (and, taken
    // modulo 65536 by the unsigned boxes, above their upper bounds), "99999" above all.
    for (const char* typed : {"0", "-99", "99999"}) {
        TConfigImage img = KnownImage();
        TSettingsCopy copy = LoadSettingsCopy(img);
        for (int f = 0; f <= static_cast<int>(TSettingsField::Themp100Cal); ++f)
            ExitField(copy, static_cast<TSettingsField>(f), typed, '.');
        ApplySettings(img, copy, img.StoredUserName());
        TConfigImage target = Filled(0x5A);
        ImportSettingsText(WriteSettingsText(img, catalogue, 20), target, catalogue, 20, kBoth,
                           nullptr);
        ExpectSameSettings(img, target);
    }
}

TEST(SettingsExport, ValuesOutsideTheEditorsRangesKeepTheTargetsValue) {
    TConfigImage img = KnownImage();
    img.SetByte(ofs::FlytimAlarm, 0);
    img.SetWord(ofs::MahAlarm, 65501);
    img.SetWord(ofs::DistAlarm, 9);
    img.SetByte(ofs::BattCal, 251);
    img.SetByte(ofs::RssiAlarm, 0);
    img.SetXPos(1, 8, 30);
    TItemCatalogue catalogue;
    TConfigImage target = Filled(0x5A);
    ImportSettingsText(WriteSettingsText(img, catalogue, 20), target, catalogue, 20, kBoth,
                       nullptr);
    EXPECT_EQ(target.FlytimAlarm(), 0x5A);
    EXPECT_EQ(target.MahAlarm(), 0x5A5A);
    EXPECT_EQ(target.DistAlarm(), 0x5A5A);
    EXPECT_EQ(target.BattCal(), 0x5A);
    EXPECT_EQ(target.RssiAlarm(), 0x5A);
    EXPECT_EQ(target.XPos(1, 8), 0x5A);
    EXPECT_EQ(target.YPos(1, 8), img.YPos(1, 8));
    EXPECT_EQ(target.Config(), 147);
}

TEST(SettingsNumber, FiveCharacterRule) {
    struct TCase {
        const char* Text;
        int Value;
    };
    const TCase cases[] = {
        {"12345", 12345}, {" 2", 2},    {"  -7", -7}, {"+7", 7},     {"$93", 147}, {"x1F", 31},
        {"X1f", 31},      {"0x10", 16}, {"0X10", 16}, {"-$10", -16}, {"-12a", 12}, {"-12", -12},
        {"12 ", 12},      {"", 0},      {"-", 0},     {"$", 0},      {"abc", 0},   {"007", 7},
        {"$FFFF", 65535}, {"0x1g", 1},  {"12x", 12},  {"1a", 1},     {"$1g", 1},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SettingsNumber(c.Text), c.Value) << '"' << c.Text << '"';
}

TEST(SettingsNumber, LineValueReadsFiveCharactersAfterTheFirstEquals) {
    EXPECT_EQ(SettingsLineValue("mAh_Alarm=123456"), 12345);
    EXPECT_EQ(SettingsLineValue("Mode= 2"), 2);
    EXPECT_EQ(SettingsLineValue("Themp0_Cal="), 0);
    EXPECT_EQ(SettingsLineValue("Config=$93"), 147);
    EXPECT_EQ(SettingsLineValue("a=b=3"), 0);
    EXPECT_EQ(SettingsLineValue("no value"), -1);
    EXPECT_EQ(SettingsLineValue(""), -1);
}

TEST_F(SettingsImport, MainKeysWithTheirRanges) {
    Import({"[MAIN]", "Mode= 2", "Config=$93", "Alarms=255", "Batt_Alarm=0x8F", "mAh_Alarm=123456",
            "Dist_Alarm=65500", "Flytim_Alarm=255", "Alt_Alarm=250", "RSSI_Alarm=100",
            "MinThemp_Alarm=-50", "MaxThemp_Alarm=120", "Batt_Cal=150",
            "Themp0_Cal=", "Themp100_Cal=9999"});
    EXPECT_EQ(image_.Mode(), 2);
    EXPECT_EQ(image_.Config(), 147);
    EXPECT_EQ(image_.Alarms(), 255);
    EXPECT_EQ(image_.Byte(ofs::BattAlarm), 0x8F);
    EXPECT_EQ(image_.MahAlarm(), 12345);
    EXPECT_EQ(image_.DistAlarm(), 65500);
    EXPECT_EQ(image_.FlytimAlarm(), 255);
    EXPECT_EQ(image_.AltAlarm(), 250);
    EXPECT_EQ(image_.RssiAlarm(), 100);
    EXPECT_EQ(image_.Byte(ofs::MinThempAlarm), 40);
    EXPECT_EQ(image_.Byte(ofs::MaxThempAlarm), 210);
    EXPECT_EQ(image_.BattCal(), 150);
    EXPECT_EQ(image_.Themp0Cal(), 0);
    EXPECT_EQ(image_.Themp100Cal(), 9999);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SettingsImport, OutOfRangeMiscasedAndIndentedLinesAreIgnored) {
    Import({"[MAIN]",
            "Mode=3",
            " Mode=2",
            "mode=2",
            "Config=256",
            "mAh_Alarm=9",
            "mAh_Alarm=65501",
            "Dist_Alarm=65501",
            "Flytim_Alarm=0",
            "Flytim_Alarm=256",
            "Alt_Alarm=251",
            "RSSI_Alarm=0",
            "RSSI_Alarm=101",
            "MinThemp_Alarm=-51",
            "MaxThemp_Alarm=121",
            "Batt_Cal=251",
            "Batt_Cal=149",
            "Themp0_Cal=10000",
            "Unknown=5",
            "Mode"});
    const TConfigImage untouched = Filled(0x11);
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        ASSERT_EQ(image_.Byte(k), untouched.Byte(k)) << k;
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SettingsImport, NegativeCalibrationLinesAreIgnored) {
    Import({"[MAIN]", "Themp0_Cal=-9999", "Themp100_Cal=-1"});
    EXPECT_EQ(image_.Themp0Cal(), 0x1111);
    EXPECT_EQ(image_.Themp100Cal(), 0x1111);
    Import({"[MAIN]", "Themp0_Cal=600"});
    EXPECT_EQ(image_.Themp0Cal(), 600);
}

TEST_F(SettingsImport, UserNameKeepsBlanksPadsWithFFAndCutsAt12) {
    Import({"[MAIN]", "User_Name:Alice"});
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image_.Data()) + 500, 5), "Alice");
    for (std::size_t k = 505; k < 512; ++k)
        EXPECT_EQ(image_.Byte(k), 0xFF);
    Import({"[MAIN]", "User_Name: Bob"});
    EXPECT_EQ(image_.StoredUserName(), " Bob");
    Import({"[MAIN]", "User_Name:ABCDEFGHIJKLMNOP"});
    EXPECT_EQ(image_.StoredUserName(), "ABCDEFGHIJKL");
    Import({"[MAIN]", "User_Name:a:b=c"}); // only the first ':' separates
    EXPECT_EQ(image_.StoredUserName(), "a:b=c");
    Import({"[MAIN]", "User_Name:"});
    for (std::size_t k = 500; k < 512; ++k)
        EXPECT_EQ(image_.Byte(k), 0xFF);
}

TEST_F(SettingsImport, LayoutLinesTakeEnglishOrPolishNames) {
    Import({"[MODE_ALL]", "Themperature.Flags=144", "[MODE_MIN]", "Temperatura.Flags=144",
            "[MODE_OFF]",
            "Pr\xEA"
            "dko\x9C\xE6.Y_Pos=7", // Prędkość in Windows-1250
            "Odleg\xB3o\x9C\xE6 od Bazy.X_Pos=29", "RSSI.Flags=3"});
    EXPECT_EQ(image_.Byte(237), 144); // ALL record of item 19
    EXPECT_EQ(image_.Byte(163), 144); // MIN record of item 19
    EXPECT_EQ(image_.YPos(0, 8), 7);
    EXPECT_EQ(image_.XPos(0, 9), 29);
    EXPECT_EQ(image_.Flags(0, 10), 3);
    // The same name in UTF-8 is not a catalogue name.
    Import({"[MODE_OFF]", "Prędkość.Y_Pos=9"});
    EXPECT_EQ(image_.YPos(0, 8), 7);
}

TEST_F(SettingsImport, PositionRangesAndTheHorizonsSensitivities) {
    Import({"[MODE_OFF]", "Artifical Horizon.X_Pos=150", "Artifical Horizon.Y_Pos=200",
            "Speed.X_Pos=150", "Speed.Y_Pos=16", "Speed.Flags=256", "Speed.X_Pos=29",
            "Compass.Y_Pos=15", "Artifical Horizon.Flags=201"});
    EXPECT_EQ(image_.XPos(0, 0), 150);
    EXPECT_EQ(image_.YPos(0, 0), 200);
    EXPECT_EQ(image_.Flags(0, 0), 201);
    EXPECT_EQ(image_.XPos(0, 8), 29);
    EXPECT_EQ(image_.YPos(0, 8), 0x11);
    EXPECT_EQ(image_.Flags(0, 8), 0x11);
    EXPECT_EQ(image_.YPos(0, 15), 15);
    Import({"[MODE_OFF]", "Artifical Horizon.X_Pos=201", "Speed.X_Pos=-1"});
    EXPECT_EQ(image_.XPos(0, 0), 150);
    EXPECT_EQ(image_.XPos(0, 8), 29);
}

TEST_F(SettingsImport, ItemsAtOrAboveTheItemCountAreNotMatched) {
    Import({"[MODE_OFF]", "Speed.Flags=5", "Artifical Horizon.Flags=6"}, kBoth, 1);
    EXPECT_EQ(image_.Flags(0, 8), 0x11);
    EXPECT_EQ(image_.Flags(0, 0), 6);
}

TEST_F(SettingsImport, SectionsCloseOnEmptyLinesAndSwitchOnHeaders) {
    Import({"Mode=1", "[MAIN]", "Mode=2", "", "Config=5", "[MODE_OFF]", "Speed.Flags=1",
            "[MODE_MIN]", "Speed.Flags=2", "", "Speed.Flags=3", "[MODE_ALL]", "Speed.Flags=4"});
    EXPECT_EQ(image_.Mode(), 2);      // the line before the first header is ignored
    EXPECT_EQ(image_.Config(), 0x11); // after the closed section
    EXPECT_EQ(image_.Flags(0, 8), 1);
    EXPECT_EQ(image_.Flags(1, 8), 2); // not 3: the section was closed
    EXPECT_EQ(image_.Flags(2, 8), 4);
}

TEST_F(SettingsImport, OnlyTheChosenSectionsAreImported) {
    Import({"[MAIN]", "Mode=2", "[MODE_OFF]", "Speed.Flags=1"}, import_flag::Layouts);
    EXPECT_EQ(image_.Mode(), 0x11);
    EXPECT_EQ(image_.Flags(0, 8), 1);
    Import({"[MAIN]", "Mode=2", "[MODE_OFF]", "Speed.Flags=9"}, import_flag::Main);
    EXPECT_EQ(image_.Mode(), 2);
    EXPECT_EQ(image_.Flags(0, 8), 1);

    // An empty line does not close a section whose import is not chosen.
    TSettingsImporter importer(image_, catalogue_, 20, import_flag::Layouts);
    importer.ParseLine("[MAIN]");
    importer.ParseLine("");
    EXPECT_EQ(importer.Section(), TSettingsSection::Main);
    importer.ParseLine("[MODE_MIN]");
    importer.ParseLine("");
    EXPECT_EQ(importer.Section(), TSettingsSection::None);
    importer.ParseLine("[MODE_ALL] ");
    EXPECT_EQ(importer.Section(), TSettingsSection::None); // headers match whole lines only
}

namespace {
// The lines the reader makes of `bytes` fed at once.
std::vector<std::string> ReadLines(const std::string& bytes) {
    std::vector<std::string> lines;
    TSettingsLineReader reader([&](std::string_view l) { lines.emplace_back(l); });
    reader.Feed(bytes);
    reader.Finish();
    return lines;
}
} // namespace

TEST(SettingsLineReader, LineEndsAndTheEndOfFileByte) {
    const auto read = ReadLines;
    using L = std::vector<std::string>;
    EXPECT_EQ(read("a\r\nb\r\n"), (L{"a", "b"}));
    EXPECT_EQ(read("a\rb\r"), (L{"a", "b"}));
    EXPECT_EQ(read("a\nb\n"), (L{"a", "b"}));
    EXPECT_EQ(read("a\r\n\r\nb"), (L{"a", "", "b"})); // a last line without its end
    EXPECT_EQ(read("a\r\rb"), (L{"a", "", "b"}));
    EXPECT_EQ(read("a\n\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(read("a\n\rb"), (L{"a", "", "b"})); // LF, then CR: two line ends
    EXPECT_EQ(read(""), L{});
    EXPECT_EQ(read("\r\n"), L{""});
    EXPECT_EQ(read("a\r\nb\x1A"
                   "c\r\nd"),
              (L{"a", "b"}));
    EXPECT_EQ(read("a\r\n\x1A\r\nb"), L{"a"});
    EXPECT_EQ(read(std::string("a\0b\r\n", 5)), L{std::string("a\0b", 3)});
}

TEST(SettingsLineReader, PiecesGiveTheSameLinesAsOneFeed) {
    const std::string text = "[MAIN]\r\nMode=1\r\n\r\nx\ry\nz\r\n";
    std::vector<std::string> whole, pieces;
    {
        TSettingsLineReader r([&](std::string_view l) { whole.emplace_back(l); });
        r.Feed(text);
        r.Finish();
    }
    {
        TSettingsLineReader r([&](std::string_view l) { pieces.emplace_back(l); });
        for (char c : text)
            r.Feed(std::string_view(&c, 1)); // a CR and its LF in different pieces
        r.Finish();
    }
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(whole.size(), 5u); // the stray LF joins "y" and "z"
}

// The first line end decides: in a CR LF file a lone LF ends nothing (so a stray one does
// not close a section), in an LF file it ends the line.
TEST(SettingsLineReader, TheFirstLineEndDecidesWhatALoneLfIs) {
    const auto read = ReadLines;
    using L = std::vector<std::string>;
    EXPECT_EQ(read("a\r\n\nb\r\nc\nd\r\n"), (L{"a", "b", "cd"}));
    EXPECT_EQ(read("a\r\nb"), (L{"a", "b"}));
    EXPECT_EQ(read("a\nb\r\nc\n"), (L{"a", "b", "c"}));

    TItemCatalogue catalogue;
    TConfigImage image;
    const TSettingsImportResult result = ImportSettingsText(
        "[MAIN]\r\nMode=1\r\n\nConfig=7\r\n\r\n", image, catalogue, 20, kBoth, nullptr);
    EXPECT_EQ(image.Config(), 7);
    EXPECT_EQ(result.IgnoredLines, 0);
}

// A file holding none of the chosen sections is no settings file: nothing applies. In a
// recognised one, every line read for the import that changed nothing is counted.
TEST(SettingsImportResult, UnrecognisedFilesChangeNothingAndIgnoredLinesAreCounted) {
    TItemCatalogue catalogue;
    std::string random(3000, '\0'); // 3 kB of binary junk
    for (std::size_t k = 0; k < random.size(); ++k)
        random[k] = static_cast<char>(k * 37 + k / 7);
    const std::string mcm = "MAX7456\r\n" + std::string(8, '0') + "\r\n";
    const std::string mainOnly = "[MAIN]\r\nMode=1\r\n";
    for (const auto& [text, flags] :
         {std::pair{std::string("garbage"), kBoth}, std::pair{random, kBoth}, std::pair{mcm, kBoth},
          std::pair{mainOnly, import_flag::Layouts}}) {
        TConfigImage image = Filled(0x11);
        const TSettingsImportResult result =
            ImportSettingsText(text, image, catalogue, 20, flags, nullptr);
        EXPECT_FALSE(result.Recognised) << text.substr(0, 10);
        for (std::size_t k = 0; k < ofs::ImageSize; ++k)
            ASSERT_EQ(image.Byte(k), 0x11) << k;
    }

    TConfigImage image = Filled(0x11);
    const TSettingsImportResult result = ImportSettingsText(
        "note\r\n[MAIN]\r\nDist_Alarm=abc\r\nMode=1\r\nUser_Name:Al\r\n\r\n[MODE_OFF]\r\n"
        "Speed.X_Pos=40\r\nSpeed.X_Pos=4\r\nBogus=1\r\n",
        image, catalogue, 20, kBoth, nullptr);
    EXPECT_TRUE(result.Recognised);
    EXPECT_EQ(result.IgnoredLines, 4); // note, Dist_Alarm=abc, Speed.X_Pos=40, Bogus=1
    EXPECT_EQ(image.Mode(), 1);
    EXPECT_EQ(image.XPos(0, 8), 4);
    // Lines of a section not chosen are skipped on purpose, not counted.
    EXPECT_EQ(ImportSettingsText("[MAIN]\r\nBogus=1\r\n[MODE_OFF]\r\nSpeed.X_Pos=4\r\n", image,
                                 catalogue, 20, import_flag::Layouts, nullptr)
                  .IgnoredLines,
              0);
}

TEST(SettingsLineReader, OverlongLinesAreCutNotStoredWhole) {
    std::vector<std::string> lines;
    TSettingsLineReader reader([&](std::string_view l) { lines.emplace_back(l); });
    reader.Feed("Mode=1" + std::string(100000, 'A') + "\r\nB");
    reader.Finish();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), TSettingsLineReader::kMaxLine);
    EXPECT_EQ(lines[0].substr(0, 7), "Mode=1A");
    EXPECT_EQ(lines[1], "B");
}

TEST(SettingsImportLineEnds, LfOnlyAndCrOnlyFilesImportLikeCrLf) {
    const std::string crlf = ReadData("known.set");
    ASSERT_FALSE(crlf.empty());
    std::string lf, cr;
    for (std::size_t k = 0; k < crlf.size(); ++k) {
        if (crlf.compare(k, 2, "\r\n") == 0) {
            lf += '\n';
            cr += '\r';
            ++k;
        } else {
            lf += crlf[k];
            cr += crlf[k];
        }
    }
    TItemCatalogue catalogue;
    TConfigImage fromCrLf = Filled(0x33), fromLf = Filled(0x33), fromCr = Filled(0x33);
    ImportSettingsText(crlf, fromCrLf, catalogue, 20, kBoth, nullptr);
    ImportSettingsText(lf, fromLf, catalogue, 20, kBoth, nullptr);
    ImportSettingsText(cr, fromCr, catalogue, 20, kBoth, nullptr);
    ExpectSameSettings(KnownImage(), fromCrLf);
    for (std::size_t k = 0; k < ofs::ImageSize; ++k) {
        ASSERT_EQ(fromLf.Byte(k), fromCrLf.Byte(k)) << k;
        ASSERT_EQ(fromCr.Byte(k), fromCrLf.Byte(k)) << k;
    }
}
