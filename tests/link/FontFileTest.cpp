#include "link/FontFile.h"
#include "link/LinkFrames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

using namespace halvex;

namespace {

const std::string kRealFont = std::string(HALVEX_TESTDATA_DIR) + "/fonts/bf-default.mcm";

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A .mcm text: header, then 16384 rows from `row(c, r)`, joined with `eol`.
std::string MakeMcm(const std::function<std::string(int c, int r)>& row,
                    const std::string& eol = "\r\n", bool finalEol = true) {
    std::string text = "MAX7456";
    for (int c = 0; c < 256; ++c)
        for (int r = 0; r < 64; ++r)
            text += eol + row(c, r);
    if (finalEol)
        text += eol;
    return text;
}

std::string Bits(std::uint8_t b) {
    std::string s;
    for (int k = 7; k >= 0; --k)
        s.push_back((b >> k) & 1 ? '1' : '0');
    return s;
}

std::string PatternRow(int c, int r) {
    return Bits(static_cast<std::uint8_t>(c * 31 + r * 7));
}

// Independent reading of an LF file for cross-checking.
TFontSet ReferenceParse(const std::string& text) {
    TFontSet set{};
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    for (int row = 0; row < 256 * 64 && std::getline(in, line); ++row)
        if (row % 64 < 55)
            set[row / 64][row % 64] =
                static_cast<std::uint8_t>(std::stoi(line.substr(0, 8), nullptr, 2));
    return set;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string::npos;
         pos = hit + from.size())
        out += text.substr(pos, hit - pos) + to;
    return out + text.substr(pos);
}

class TTempFile {
public:
    explicit TTempFile(const std::string& content) {
        char name[] = "/tmp/halvex_mcm_XXXXXX";
        const int fd = ::mkstemp(name);
        EXPECT_GE(fd, 0);
        ::close(fd);
        path = name;
        std::ofstream(path, std::ios::binary) << content;
    }
    ~TTempFile() { std::remove(path.c_str()); }
    std::string path;
};

} // namespace

TEST(FontFile, RealCharacterSetHas256Characters) {
    const std::string text = ReadWhole(kRealFont);
    if (text.empty())
        GTEST_SKIP() << "test data missing: " << kRealFont;
    ASSERT_NE(text.back(), '\n'); // this file has no final line end
    const auto set = LoadMcm(kRealFont);
    ASSERT_TRUE(set.has_value());
    EXPECT_EQ(*set, ReferenceParse(text));
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ((*set)[c][54], 0x55) << c; // rows 54..63 are 01010101 in this file
    EXPECT_EQ((*set)[0][0], 0x55);
}

TEST(FontFile, LineEndsCrLfCrAndLfAreAllAccepted) {
    const std::string lf = ReadWhole(kRealFont);
    if (lf.empty())
        GTEST_SKIP() << "test data missing: " << kRealFont;
    const auto expected = ReferenceParse(lf);
    for (const std::string eol : {"\n", "\r\n", "\r"}) {
        const std::string text = Replace(lf, "\n", eol);
        const auto plain = ParseMcm(text);
        ASSERT_TRUE(plain.has_value()) << "eol size " << eol.size();
        EXPECT_EQ(*plain, expected);
        const auto ended = ParseMcm(text + eol);
        ASSERT_TRUE(ended.has_value());
        EXPECT_EQ(*ended, expected);
    }
    // Mixed line ends within one file.
    std::string mixed = MakeMcm(PatternRow, "\r\n");
    mixed = Replace(mixed, "\r\n0", "\n0");
    mixed = Replace(mixed, "\r\n1", "\r1");
    const auto reference = ParseMcm(MakeMcm(PatternRow, "\n"));
    ASSERT_TRUE(reference.has_value());
    const auto parsed = ParseMcm(mixed);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, *reference);
}

// A header that is "MAX7456" only once a byte-order mark, blanks or case are set aside is
// refused all the same, with the message that names the header.
TEST(FontFile, HeaderMustBeExactlyMax7456) {
    const std::string body = MakeMcm(PatternRow).substr(7);
    EXPECT_TRUE(ParseMcm("MAX7456" + body).has_value());
    const TMessage header = TMessage::BadSetHeader, format = TMessage::BadFileFormat;
    for (const auto& [bad, refusal] : {std::pair<std::string, TMessage>{"max7456", header},
                                       {"MAX7456 ", header},
                                       {" MAX7456", header},
                                       {"MAX74567", format},
                                       {"MAX745", format},
                                       {"", format},
                                       {"\xEF\xBB\xBFMAX7456", header},
                                       {"MAX7456\t", header},
                                       {"\xEF\xBB\xBF", format}}) {
        TMcmNotes notes;
        EXPECT_FALSE(ParseMcm(bad + body, &notes).has_value()) << '"' << bad << '"';
        EXPECT_EQ(notes.Refusal, refusal) << '"' << bad << '"';
    }
    EXPECT_FALSE(ParseMcm("").has_value());
    EXPECT_FALSE(ParseMcm("MAX7456").has_value());
    EXPECT_FALSE(ParseMcm("MAX7456\r\n").has_value());
}

TEST(FontFile, FileMustHoldAll16385Lines) {
    std::string text = MakeMcm(PatternRow, "\n", false);
    ASSERT_TRUE(ParseMcm(text).has_value());
    const std::string shorter = text.substr(0, text.rfind('\n')); // last row missing
    EXPECT_FALSE(ParseMcm(shorter).has_value());
    EXPECT_FALSE(ParseMcm(shorter + "\n").has_value());
    // A file cut in the middle of a character.
    EXPECT_FALSE(ParseMcm(text.substr(0, text.size() / 2)).has_value());
    // Extra lines after the 16385th (a second page) are never looked at.
    const auto withPage = ParseMcm(text + "\n" + MakeMcm([](int, int) { return "x"; }, "\n"));
    ASSERT_TRUE(withPage.has_value());
    EXPECT_EQ(*withPage, *ParseMcm(text));
}

TEST(FontFile, EveryRowNeedsEightCharacters) {
    for (const auto& [sc, sr] : {std::pair{0, 0}, {17, 54}, {17, 55}, {99, 60}, {255, 63}}) {
        const std::string text = MakeMcm([&](int c, int r) {
            return c == sc && r == sr ? std::string("0101010") : PatternRow(c, r);
        });
        EXPECT_FALSE(ParseMcm(text).has_value()) << sc << "/" << sr;
    }
    // An empty line hidden by a lone CR before CR LF.
    std::string text = MakeMcm(PatternRow, "\r\n");
    text.insert(text.find("\r\n", 100), "\r");
    EXPECT_FALSE(ParseMcm(text).has_value());
}

TEST(FontFile, RowDigitsAreReadAsBits) {
    const std::vector<std::pair<std::string, std::uint8_t>> rows = {
        {"10000000", 0x80},   {"01010101", 0x55},    {"1a1b1c1d", 0xAA},
        {"a1b1c1d1", 0x55},   {"11111111xyz", 0xFF}, {"22222222", 0x00},
        {"0000000111", 0x01}, {"1 1 1 1 ", 0xAA},    {"00000000", 0x00}};
    const std::string text = MakeMcm([&](int c, int r) {
        return c == 5 && r < static_cast<int>(rows.size()) ? rows[r].first : PatternRow(c, r);
    });
    const auto set = ParseMcm(text);
    ASSERT_TRUE(set.has_value());
    for (std::size_t k = 0; k < rows.size(); ++k)
        EXPECT_EQ((*set)[5][k], rows[k].second) << rows[k].first;
    EXPECT_EQ((*set)[6][3], static_cast<std::uint8_t>(6 * 31 + 3 * 7));
    EXPECT_EQ((*set)[255][54], static_cast<std::uint8_t>(255 * 31 + 54 * 7));
}

TEST(FontFile, Rows55To63NeverInfluenceAFrame) {
    auto rowsWithTail = [](const char* tail) {
        return [tail](int c, int r) { return r >= 55 ? std::string(tail) : PatternRow(c, r); };
    };
    const auto ones = ParseMcm(MakeMcm(rowsWithTail("11111111")));
    const auto zeros = ParseMcm(MakeMcm(rowsWithTail("00000000")));
    ASSERT_TRUE(ones.has_value());
    ASSERT_TRUE(zeros.has_value());
    EXPECT_EQ(*ones, *zeros);
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(CharFrame(static_cast<std::uint8_t>(c), (*ones)[c]),
                  CharFrame(static_cast<std::uint8_t>(c), (*zeros)[c]));
    // Row 54 is still sent.
    const auto row54 = ParseMcm(
        MakeMcm([](int c, int r) { return r >= 54 ? std::string("11111111") : PatternRow(c, r); }));
    ASSERT_TRUE(row54.has_value());
    EXPECT_EQ((*row54)[9][54], 0xFF);
}

TEST(FontFile, LoadReportsFilesThatCannotBeRead) {
    const std::string missing = "/tmp/halvex_no_such_dir/none.mcm";
    try {
        (void)LoadMcm(missing);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: \"" + missing + "\"");
    }
    EXPECT_THROW((void)LoadMcm(""), std::runtime_error);
    try {
        (void)LoadMcm("/tmp");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "\"/tmp\" is a folder");
    }
    TTempFile locked(MakeMcm(PatternRow));
    std::filesystem::permissions(locked.path, std::filesystem::perms::none);
    if (::geteuid() != 0) { // root reads the file anyway
        try {
            (void)LoadMcm(locked.path);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "File access denied: \"" + locked.path + "\"");
        }
    }
}

TEST(FontFile, LoadParsesTheFileAndStopsAtTheReadLimit) {
    TTempFile good(MakeMcm(PatternRow, "\r\n"));
    const auto set = LoadMcm(good.path);
    ASSERT_TRUE(set.has_value());
    EXPECT_EQ(*set, *ParseMcm(MakeMcm(PatternRow, "\n")));
    TTempFile header(std::string("max7456\r\n") + MakeMcm(PatternRow).substr(9));
    EXPECT_FALSE(LoadMcm(header.path).has_value());
    // An endless device is read only up to the limit and judged bad, without hanging.
    EXPECT_FALSE(LoadMcm("/dev/zero").has_value());
}

TEST(FontFile, GlyphPixelsAreTwoBitsEachMostSignificantFirst) {
    TFontChar ch{};
    ch[0] = 0b00'10'01'11;  // black, white, transparent, transparent
    ch[3] = 0b10'00'00'00;  // row 1 begins with a white pixel
    ch[53] = 0b01'01'01'10; // last byte: the bottom-right pixel is white
    ch[54] = 0xFF;          // stored but not part of the picture
    const TGlyph g = DecodeGlyph(ch);
    EXPECT_EQ(g[0], TGlyphPixel::Black);
    EXPECT_EQ(g[1], TGlyphPixel::White);
    EXPECT_EQ(g[2], TGlyphPixel::Transparent);
    EXPECT_EQ(g[3], TGlyphPixel::Transparent);
    EXPECT_EQ(g[4], TGlyphPixel::Black); // byte 1 is zero
    EXPECT_EQ(g[kGlyphWidth], TGlyphPixel::White);
    EXPECT_EQ(g[kGlyphWidth + 1], TGlyphPixel::Black);
    EXPECT_EQ(g[kGlyphWidth * kGlyphHeight - 2], TGlyphPixel::Transparent);
    EXPECT_EQ(g[kGlyphWidth * kGlyphHeight - 1], TGlyphPixel::White);
}
