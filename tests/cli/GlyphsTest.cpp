// halvexctl glyphs, the program itself: its exit statuses, NEW equal to BASE but for the
// changed characters, and a second run on its own output changing nothing. No board.
#include "link/FontDocument.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace halvex {
namespace {

std::string ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class HalvexctlGlyphs : public ::testing::Test {
protected:
    void SetUp() override {
        // A base set with LF line ends (as the real fonts have), written here.
        TGlyphSet glyphs{};
        for (TGlyph& g : glyphs)
            g.fill(TGlyphPixel::Transparent);
        std::string text = TFontDocument(glyphs).McmText();
        std::erase(text, '\r');
        std::ofstream(Path("base.mcm").toStdString(), std::ios::binary) << text;
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // A picture of `width` x `height`: white, its left half black, on a green key border.
    QString Picture(const char* name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(0, 255, 0));
        for (int y = 2; y < height - 2; ++y)
            for (int x = 2; x < width - 2; ++x)
                image.setPixel(x, y, x < width / 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        EXPECT_TRUE(image.save(Path(name)));
        return Path(name);
    }

    struct TRun {
        int Exit = -1;
        std::string Err;
    };
    TRun Run(QStringList args) {
        QProcess process;
        process.start(QStringLiteral(HALVEXCTL_PATH), QStringList{QStringLiteral("glyphs")} + args);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardError().toStdString()};
    }

    QTemporaryDir dir;
};

TEST_F(HalvexctlGlyphs, ExitStatusesAndARunOnItsOwnOutputChangesNothing) {
    const QString base = Path("base.mcm"), out = Path("new.mcm"), again = Path("again.mcm");
    const QString whole = Picture("whole.png", 24, 18); // characters 0x41 and 0x42
    const QStringList common{QStringLiteral("--font"), base, QStringLiteral("--at"),
                             QStringLiteral("0x41")};
    TRun r = Run(QStringList{whole} + common + QStringList{QStringLiteral("--out"), out});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const auto before = TFontDocument::Parse(ReadFile(base));
    const auto after = TFontDocument::Parse(ReadFile(out));
    ASSERT_TRUE(before && after);
    for (std::size_t c = 0; c < kFontChars; ++c)
        EXPECT_EQ(after->Char(c) != before->Char(c), c == 0x41 || c == 0x42) << c;
    EXPECT_EQ(after->Glyph(0x41)[kGlyphWidth * 5 + 5], TGlyphPixel::Black);
    EXPECT_EQ(after->Glyph(0x42)[kGlyphWidth * 5 + 5], TGlyphPixel::White);
    EXPECT_EQ(ReadFile(out).find('\r'), std::string::npos); // BASE's line ends kept

    r = Run(QStringList{whole, QStringLiteral("--font"), out, QStringLiteral("--at"),
                        QStringLiteral("65"), QStringLiteral("--out"), again});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(ReadFile(again), ReadFile(out));

    // Not whole characters: exit 3 and nothing written, unless a block is given.
    const QString odd = Picture("odd.png", 25, 18), none = Path("none.mcm");
    r = Run(QStringList{odd} + common + QStringList{QStringLiteral("--out"), none});
    EXPECT_EQ(r.Exit, 3);
    EXPECT_NE(r.Err.find("not a whole number of characters"), std::string::npos) << r.Err;
    EXPECT_FALSE(QFile::exists(none));
    r = Run(QStringList{odd} + common +
            QStringList{QStringLiteral("--columns"), QStringLiteral("2"), QStringLiteral("--rows"),
                        QStringLiteral("1"), QStringLiteral("--out"), none});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    // Files that cannot be used: 3; wrong usage: 2.
    EXPECT_EQ(Run(QStringList{Path("missing.png")} + common + QStringList{"--out", none}).Exit, 3);
    EXPECT_EQ(Run({whole, "--font", whole, "--at", "1", "--out", none}).Exit, 3);
    // A FIFO without a writer is refused, not waited on.
    ASSERT_EQ(::mkfifo(Path("fifo.png").toLocal8Bit().constData(), 0600), 0);
    r = Run(QStringList{Path("fifo.png")} + common + QStringList{"--out", none});
    EXPECT_EQ(r.Exit, 3);
    EXPECT_NE(r.Err.find("not a picture file"), std::string::npos) << r.Err;
    EXPECT_EQ(Run({whole, "--font", base, "--at", "256", "--out", none}).Exit, 2);
    EXPECT_EQ(Run({whole, "--font", base, "--at", "0x41"}).Exit, 2);
    EXPECT_EQ(Run({whole, "--font", base, "--at", "1", "--out", none, "--rows", "1"}).Exit, 2);
    EXPECT_EQ(Run({whole, "--font", base, "--at", "255", "--out", none}).Exit, 2);
}

// A grey-keyed logo sheet (INAV's) with --key corner --outline; a set file that is a folder
// or whose header has a blank after it is refused with the reason.
TEST_F(HalvexctlGlyphs, AGreySheetTakesTheCornerKeyAndAnOutline) {
    QImage sheet(12, 18, QImage::Format_RGB32);
    sheet.fill(QColor(128, 128, 128));
    sheet.setPixel(5, 8, qRgb(255, 255, 255));
    ASSERT_TRUE(sheet.save(Path("grey.png")));
    const QString grey = Path("grey.png"), base = Path("base.mcm"), out = Path("logo.mcm");
    TRun r = Run({grey, "--font", base, "--at", "7", "--out", out, "--key", "corner", "--outline"});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const TGlyph logo = TFontDocument::Parse(ReadFile(out))->Glyph(7);
    EXPECT_EQ(std::count(logo.begin(), logo.end(), TGlyphPixel::Black), 8);
    EXPECT_EQ(std::count(logo.begin(), logo.end(), TGlyphPixel::Transparent), 12 * 18 - 9);

    EXPECT_EQ(Run({grey, "--font", base, "--at", "7", "--out", out, "--key", "grey"}).Exit, 2);
    r = Run({grey, "--font", dir.path(), "--at", "1", "--out", out});
    EXPECT_EQ(r.Err, "\"" + dir.path().toStdString() + "\" is a folder\n");
    std::ofstream(Path("blank.mcm").toStdString(), std::ios::binary)
        << "MAX7456 " << ReadFile(base).substr(7);
    r = Run({grey, "--font", Path("blank.mcm"), "--at", "1", "--out", out});
    EXPECT_EQ(r.Err.rfind("Bad file format ! (the first line must be \"MAX7456\" alone)", 0), 0u)
        << r.Err;
}

} // namespace
} // namespace halvex
