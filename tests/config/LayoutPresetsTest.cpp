// Layout presets on disk: the user's own under the XDG data folder (saved, listed, loaded,
// renamed, deleted) and the shipped ones of a program run from the build tree.
#include "config/LayoutPresets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace halvex {
namespace {

class LayoutPresetsTest : public ::testing::Test {
protected:
    LayoutPresetsTest() { qputenv("XDG_DATA_HOME", data.path().toLocal8Bit()); }
    ~LayoutPresetsTest() override { qunsetenv("XDG_DATA_HOME"); }
    QTemporaryDir data;
    TItemCatalogue catalogue;
};

TEST_F(LayoutPresetsTest,
       OwnPresetIsSavedUnderXdgDataHomeAndLoadsItsLayoutsWithoutTheSensitivities) {
    TPresetLibrary library(QString(), TPresetLibrary::OwnFolder());
    EXPECT_EQ(library.Own(), data.path() + QStringLiteral("/halvexcfg/presets"));
    TConfigImage image;
    for (int m = 0; m < kLayoutModes; ++m)
        for (int i = 0; i < kItemCount; ++i) {
            image.SetFlags(m, i, static_cast<std::uint8_t>(0x80 | (m * 20 + i) % 16));
            image.SetXPos(m, i, static_cast<std::uint8_t>((i + m) % 30));
            image.SetYPos(m, i, static_cast<std::uint8_t>((i * 3 + m) % 16));
        }
    image.SetXPos(1, item::Horizon, 120);
    const QString path = library.Save(QStringLiteral(" Mój klub "), image, catalogue);
    EXPECT_EQ(path, library.Own() + QStringLiteral("/Mój klub.set"));
    const auto list = library.List(TLanguage::Polish);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, QStringLiteral("Mój klub"));
    EXPECT_TRUE(list[0].Own);

    TConfigImage base;
    base.SetXPos(1, item::Horizon, 77);
    const TConfigImage loaded = TPresetLibrary::Load(path, base, catalogue).value();
    for (int m = 0; m < kLayoutModes; ++m)
        for (int i = 0; i < kItemCount; ++i) {
            EXPECT_EQ(loaded.Flags(m, i), image.Flags(m, i)) << m << " " << i;
            const std::uint8_t x = i == item::Horizon ? base.XPos(m, i) : image.XPos(m, i);
            EXPECT_EQ(loaded.XPos(m, i), x) << m << " " << i;
        }

    // A file in the folder that holds no layout section is no preset.
    QFile junk(library.Own() + QStringLiteral("/junk.set"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("garbage\r\n");
    junk.close();
    EXPECT_FALSE(TPresetLibrary::Load(junk.fileName(), base, catalogue));
}

TEST_F(LayoutPresetsTest, OwnPresetsAreRenamedAndDeletedAndBadNamesRefused) {
    TPresetLibrary library(QString(), TPresetLibrary::OwnFolder());
    const TConfigImage image;
    library.Save(QStringLiteral("b"), image, catalogue);
    library.Save(QStringLiteral("a"), image, catalogue);
    library.Rename(QStringLiteral("b"), QStringLiteral("c"));
    auto list = library.List(TLanguage::English);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Name, QStringLiteral("a"));
    EXPECT_EQ(list[1].Name, QStringLiteral("c"));
    library.Rename(QStringLiteral("c"), QStringLiteral("a")); // replaces the other one
    library.Remove(QStringLiteral("a"));
    EXPECT_TRUE(library.List(TLanguage::English).empty());
    EXPECT_THROW(library.Remove(QStringLiteral("a")), std::runtime_error);
    for (const char* bad : {"", "  ", ".hidden", "a/b", "tab\there"})
        EXPECT_FALSE(TPresetLibrary::ValidName(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(TPresetLibrary::ValidName(QString(65, QLatin1Char('x'))));
    EXPECT_THROW(library.Save(QStringLiteral("a/b"), image, catalogue), std::runtime_error);
    EXPECT_FALSE(QFile::exists(library.Own() + QStringLiteral("/a/b.set")));
}

// Only readable regular files are listed (a link to a pipe would stop the chooser's picture
// for ever); rename and delete act on the file listed, whose name may have blanks at its
// ends, and a rename whose source is gone leaves the preset of the new name in place.
TEST_F(LayoutPresetsTest, FolderListsRegularFilesOnlyAndChangesTheFileListed) {
    TPresetLibrary library(QString(), TPresetLibrary::OwnFolder());
    const TConfigImage image;
    library.Save(QStringLiteral("kept"), image, catalogue);
    const QString own = library.Own() + QLatin1Char('/');
    ASSERT_TRUE(QFile::copy(own + QStringLiteral("kept.set"), own + QStringLiteral(" kept .set")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(own + QStringLiteral("pipe")).constData(), 0600), 0);
    QFile::link(own + QStringLiteral("pipe"), own + QStringLiteral("pipe.set"));
    QFile::link(own + QStringLiteral("loop.set"), own + QStringLiteral("loop.set"));
    QDir(own).mkdir(QStringLiteral("folder.set"));
    auto names = [&library] {
        QStringList list;
        for (const TPresetEntry& e : library.List(TLanguage::English))
            list << e.Name;
        return list;
    };
    EXPECT_EQ(names(), QStringList({QStringLiteral(" kept "), QStringLiteral("kept")}));

    library.Remove(QStringLiteral(" kept "));
    EXPECT_EQ(names(), QStringList({QStringLiteral("kept")}));
    EXPECT_THROW(library.Rename(QStringLiteral("gone"), QStringLiteral("kept")),
                 std::runtime_error);
    EXPECT_EQ(names(), QStringList({QStringLiteral("kept")}));
}

// ./run starts the program from the build tree: it offers the checkout's presets, the four
// known ones first, named in the interface language.
TEST_F(LayoutPresetsTest, ProgramInTheBuildTreeOffersTheCheckoutsPresetsInOrder) {
    const TPresetLibrary library = TPresetLibrary::ForProgram();
    EXPECT_EQ(library.Shipped(), QStringLiteral(HALVEX_CHECKOUT_PRESETS));
    const auto list = library.List(TLanguage::Polish);
    ASSERT_GE(list.size(), 4u);
    const char* names[] = {"Wyścig", "Freestyle", "Daleki zasięg", "Wszystko"};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(list[k].Name, QString::fromUtf8(names[k]));
        EXPECT_FALSE(list[k].Own);
    }
}

} // namespace
} // namespace halvex
