// The character set being edited: real fonts saved byte for byte, an edit touching only
// its own rows, a set made here written as the format is, stored bits kept, and the file
// replaced whole.
#include "link/FontDocument.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace halvex;

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> RealFonts() {
    std::vector<std::string> texts;
    const std::filesystem::path folder = std::string(HALVEX_TESTDATA_DIR) + "/fonts";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".mcm")
            texts.push_back(ReadWhole(entry.path().string()));
    return texts;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Pictures that use all three colours, different for every character.
TGlyphSet PatternGlyphs() {
    TGlyphSet set{};
    for (std::size_t c = 0; c < kFontChars; ++c)
        for (std::size_t p = 0; p < set[c].size(); ++p)
            set[c][p] = static_cast<TGlyphPixel>((c + p * 7) % 3);
    return set;
}

} // namespace

TEST(FontDocument, RealFontsSaveByteForByteWhateverTheirLineEnds) {
    const std::vector<std::string> fonts = RealFonts();
    if (fonts.empty())
        GTEST_SKIP() << "test data missing: " << HALVEX_TESTDATA_DIR;
    for (const std::string& text : fonts) {
        // As stored, with CR LF line ends, and with a final line end and a blank line after.
        for (const std::string& variant : {text, WithCrLf(text), text + "\n\n"}) {
            const auto set = TFontDocument::Parse(variant);
            ASSERT_TRUE(set.has_value());
            EXPECT_TRUE(set->McmText() == variant);
            EXPECT_FALSE(set->Modified());
        }
    }
}

TEST(FontDocument, AnEditRewritesOnlyTheRowsThatChanged) {
    const std::vector<std::string> fonts = RealFonts();
    if (fonts.empty())
        GTEST_SKIP() << "test data missing: " << HALVEX_TESTDATA_DIR;
    auto set = TFontDocument::Parse(fonts.front());
    ASSERT_TRUE(set.has_value());
    TGlyph glyph = set->Glyph('A');
    for (std::size_t p = 0; p < glyph.size(); p += 5)
        glyph[p] = glyph[p] == TGlyphPixel::White ? TGlyphPixel::Black : TGlyphPixel::White;
    ASSERT_TRUE(set->SetGlyph('A', glyph));
    EXPECT_TRUE(set->Modified());

    const std::string saved = set->McmText();
    const std::vector<std::string> before = Lines(fonts.front()), after = Lines(saved);
    ASSERT_EQ(after.size(), before.size());
    const std::size_t first = 1 + 'A' * kFontRowsInFile;
    for (std::size_t k = 0; k < before.size(); ++k) {
        if (k >= first && k < first + kGlyphBytes)
            EXPECT_EQ(after[k].size(), 8u) << k;
        else
            EXPECT_EQ(after[k], before[k]) << k;
    }
    EXPECT_EQ(saved.back(), fonts.front().back()); // the last line's end, or none, as read
    const auto reread = TFontDocument::Parse(saved);
    ASSERT_TRUE(reread.has_value());
    EXPECT_EQ(reread->Glyph('A'), glyph);
    EXPECT_EQ(reread->Chars(), set->Chars());
}

// INAV's sets hold 512 characters (1 + 512 * 64 lines): the first 256 are the set, the
// others are counted and kept for saving.
TEST(FontDocument, ASetOf512CharactersLoadsAndSavesWhole) {
    const std::string first = TFontDocument(PatternGlyphs()).McmText();
    std::string text = first;
    for (std::size_t row = 0; row < kFontChars * kFontRowsInFile; ++row)
        text += row % 3 ? "00000000\r\n" : "11111111\r\n";
    TMcmNotes notes;
    EXPECT_EQ(ParseMcm(text, &notes), ParseMcm(first));
    EXPECT_EQ(notes.Characters, 512u);
    auto set = TFontDocument::Parse(text);
    ASSERT_TRUE(set.has_value());
    EXPECT_EQ(set->FileCharacters(), 512u);
    EXPECT_EQ(set->McmText(), text);
    ASSERT_TRUE(set->SetGlyph(255, set->Glyph(1)));
    EXPECT_EQ(set->McmText().substr(first.size()), text.substr(first.size()));
}

TEST(FontDocument, ASetMadeHereIsWrittenAsTheFormatIs) {
    const TGlyphSet glyphs = PatternGlyphs();
    const TFontDocument set(glyphs);
    const std::string text = set.McmText();
    ASSERT_EQ(text.size(), 9u + 16384u * 10u);
    EXPECT_EQ(text.substr(0, 9), "MAX7456\r\n");
    for (std::size_t row = 0; row < 16384; ++row) {
        const std::string line = text.substr(9 + row * 10, 10);
        ASSERT_EQ(line.find_first_not_of("01"), 8u) << row;
        ASSERT_EQ(line.substr(8), "\r\n") << row;
        if (row % kFontRowsInFile >= kGlyphBytes) {
            ASSERT_EQ(line.substr(0, 8), "01010101") << row;
        }
    }
    const auto reread = ParseMcm(text);
    ASSERT_TRUE(reread.has_value());
    EXPECT_EQ(DecodeFont(*reread), glyphs);
}

TEST(FontDocument, PicturesAlreadyShownKeepTheirStoredBits) {
    // Character 1 stores transparency as 11, which reads back as 01 would.
    TFontDocument set(PatternGlyphs());
    TMcmChar ones{};
    ones.fill(0xFF);
    set.SetChar(1, ones);
    const TMcmChars before = set.Chars();
    EXPECT_FALSE(set.SetGlyph(1, set.Glyph(1)));
    EXPECT_EQ(set.Chars(), before);
    // A pasted picture brings rows 0..53 only; the character's rows 54..63 stay.
    EXPECT_TRUE(set.PastePicture(2, ones));
    EXPECT_TRUE(std::all_of(set.Char(2).begin(), set.Char(2).begin() + kGlyphBytes,
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(set.Char(2).begin() + kGlyphBytes, set.Char(2).end(),
                            [](std::uint8_t b) { return b == kFillRow; }));
}

TEST(FontFile, WritingReplacesTheFileWholeOrReportsWhy) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("halvex_write_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "set.mcm").string();
    WriteMcmFile(path, "old text");
    ::chmod(path.c_str(), 0640);
    WriteMcmFile(path, "MAX7456\r\n");
    EXPECT_EQ(ReadWhole(path), "MAX7456\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // a replaced file keeps its mode
    try {
        WriteMcmFile((folder / "none" / "set.mcm").string(), "x");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("File not found", 0), 0u) << e.what();
    }
    EXPECT_THROW(WriteMcmFile(folder.string(), "x"), std::runtime_error);
    // Nothing is left behind: no temporary file beside the set.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
    std::filesystem::remove_all(folder);
}

TEST(FontDocument, AFileLongerThanTheReadLimitIsRefusedNotCut) {
    // A good set with more after it than is ever read: saving it would drop the rest.
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("halvex_long_" + std::to_string(::getpid()) + ".mcm"))
                                 .string();
    std::ofstream(path, std::ios::binary) << TFontDocument(PatternGlyphs()).McmText();
    std::filesystem::resize_file(path, kMcmReadLimit + 1);
    try {
        (void)TFontDocument::Load(path);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "File too large (8 MB at most): \"" + path + "\"");
    }
    EXPECT_TRUE(LoadMcm(path).has_value()); // FontMap Update still sends its characters
    std::filesystem::remove(path);
}

TEST(FontFile, WritingThroughASymbolicLinkReplacesTheFileItNames) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("halvex_link_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "real.mcm").string();
    const std::string link = (folder / "current.mcm").string();
    WriteMcmFile(file, "old text");
    std::filesystem::create_symlink("real.mcm", link);
    WriteMcmFile(link, "MAX7456\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWhole(file), "MAX7456\r\n");
    std::filesystem::remove_all(folder);
}
