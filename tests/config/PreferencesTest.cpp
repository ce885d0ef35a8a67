#include "config/Preferences.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace halvex;

namespace {

const QString kKey = QString::fromLatin1(kPreferenceKey);
const QString kWriterKey = QStringLiteral("\\SOFTWARE\\Brenn\\HalvexCfg\\");

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.path() + QStringLiteral("/Brenn/HalvexCfg.ini");
    }
    void WriteFile(const QByteArray& text) {
        QDir().mkpath(dir_.path() + QStringLiteral("/Brenn"));
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QTemporaryDir dir_;
    QString path_;
};

std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EPreferenceError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(PreferencesPath, FollowsXdgConfigHome) {
    QTemporaryDir home;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    EXPECT_EQ(TPreferences::DefaultPath(), home.path() + QStringLiteral("/Brenn/HalvexCfg.ini"));
    EXPECT_EQ(TPreferences().Path(), TPreferences::DefaultPath());
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}

TEST_F(PreferencesTest, MissingKeyIsCreatedAndValuesRoundTrip) {
    TPreferences p(path_);
    ASSERT_TRUE(p.OpenKey(kKey, true));
    EXPECT_TRUE(QDir(dir_.path() + QStringLiteral("/Brenn")).exists());
    EXPECT_FALSE(p.ValueExists(QStringLiteral("Lang")));
    EXPECT_FALSE(p.ValueExists(QStringLiteral("Port")));
    p.WriteInteger(QStringLiteral("Lang"), 1);
    p.WriteInteger(QStringLiteral("Port"), 32);
    p.WriteBool(QStringLiteral("Flag"), true);
    p.CloseKey();

    // The writers' spelling with leading and trailing backslashes names the same key.
    TPreferences q(path_);
    ASSERT_TRUE(q.OpenKey(kWriterKey, false));
    EXPECT_TRUE(q.ValueExists(QStringLiteral("Lang")));
    EXPECT_EQ(q.ReadInteger(QStringLiteral("Lang")), 1);
    EXPECT_EQ(q.ReadInteger(QStringLiteral("Port")), 32);
    EXPECT_TRUE(q.ReadBool(QStringLiteral("Flag")));
    q.WriteInteger(QStringLiteral("Lang"), 0);
    EXPECT_EQ(q.ReadInteger(QStringLiteral("Lang")), 0);
}

TEST_F(PreferencesTest, OpenedKeyIsClosedWhenItGoes) {
    TPreferences p(path_);
    {
        const TPreferenceKey key = p.Open(true);
        ASSERT_TRUE(key);
        key->WriteInteger(QStringLiteral("Port"), 4);
        EXPECT_TRUE(p.ValueExists(QStringLiteral("Port")));
    }
    EXPECT_FALSE(p.ValueExists(QStringLiteral("Port")));
    EXPECT_EQ(ErrorOf([&] { p.WriteInteger(QStringLiteral("Port"), 5); }),
              "Failed to set data for 'Port'");
    EXPECT_EQ(p.Open(false)->ReadInteger(QStringLiteral("Port")), 4);
}

TEST_F(PreferencesTest, WithoutCreateAMissingFolderCannotBeOpened) {
    TPreferences p(path_);
    EXPECT_FALSE(p.OpenKey(kKey, false));
    EXPECT_FALSE(p.ValueExists(QStringLiteral("Lang")));
    EXPECT_EQ(ErrorOf([&] { p.WriteInteger(QStringLiteral("Lang"), 0); }),
              "Failed to set data for 'Lang'");
}

TEST_F(PreferencesTest, HandWrittenSectionIsRead) {
    WriteFile("[SOFTWARE\\Brenn\\HalvexCfg]\r\nLang=5\r\nPort = 7\r\nCOM32=/dev/pts/4\r\n"
              "[Other]\r\nPort=9\r\n");
    TPreferences p(path_);
    ASSERT_TRUE(p.OpenKey(kKey, true));
    EXPECT_EQ(p.ReadInteger(QStringLiteral("Lang")), 5);
    EXPECT_EQ(p.ReadInteger(QStringLiteral("Port")), 7);
    EXPECT_EQ(p.ReadString(QStringLiteral("COM32")).value_or(QString()),
              QStringLiteral("/dev/pts/4"));
    EXPECT_FALSE(p.ReadString(QStringLiteral("COM31")).has_value());
}

TEST_F(PreferencesTest, IntegersOutside32BitsOrNotIntegersAreInvalid) {
    WriteFile("[SOFTWARE\\Brenn\\HalvexCfg]\n"
              "A=abc\nB=\nC=1, 2\nD=4294967296\nE=-2147483649\nF=1.5\n"
              "G=4294967295\nH=-7\nI=0x10\n");
    TPreferences p(path_);
    ASSERT_TRUE(p.OpenKey(kKey, false));
    for (const char* name : {"A", "B", "C", "D", "E", "F", "I", "Missing"})
        EXPECT_EQ(ErrorOf([&] { (void)p.ReadInteger(QString::fromLatin1(name)); }),
                  std::string("Invalid data type for '") + name + "'")
            << name;
    // A DWORD above 2^31 - 1 reads as the signed integer with the same bits.
    EXPECT_EQ(p.ReadInteger(QStringLiteral("G")), -1);
    EXPECT_EQ(p.ReadInteger(QStringLiteral("H")), -7);
}

TEST_F(PreferencesTest, UnwritableStoreFailsToSetData) {
    // The folder that should hold the file is a plain file: nothing can be created there
    // (this holds for root too, unlike file permissions).
    QFile blocker(dir_.path() + QStringLiteral("/Brenn"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TPreferences p(path_);
    EXPECT_FALSE(p.OpenKey(kKey, true));
    EXPECT_EQ(ErrorOf([&] { p.WriteInteger(QStringLiteral("Lang"), 1); }),
              "Failed to set data for 'Lang'");
}

TEST_F(PreferencesTest, StoreThatIsAFolderCannotBeOpened) {
    ASSERT_TRUE(QDir().mkpath(path_));
    TPreferences p(path_);
    EXPECT_FALSE(p.OpenKey(kKey, true));
    EXPECT_EQ(ErrorOf([&] { p.WriteInteger(QStringLiteral("Port"), 3); }),
              "Failed to set data for 'Port'");
}

TEST_F(PreferencesTest, StoreRemovedAfterOpeningFailsToSetData) {
    TPreferences p(path_);
    ASSERT_TRUE(p.OpenKey(kKey, true));
    p.WriteInteger(QStringLiteral("Lang"), 0);
    // The folder is replaced by a file while the key is open.
    ASSERT_TRUE(QDir(dir_.path() + QStringLiteral("/Brenn")).removeRecursively());
    QFile blocker(dir_.path() + QStringLiteral("/Brenn"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(ErrorOf([&] { p.WriteInteger(QStringLiteral("Lang"), 1); }),
              "Failed to set data for 'Lang'");
}

TEST_F(PreferencesTest, PortPathsListOnlyWellFormedComValues) {
    WriteFile("[SOFTWARE\\Brenn\\HalvexCfg]\n"
              "COM32=/dev/pts/4\ncom5=/dev/serial/by-id/usb-osd\nCOM0=/dev/null\n"
              "COM1000=/dev/ttyS9\nCOMX=/dev/ttyS8\nCOM7=\nCOM07=/dev/ttyS7\nPort=3\n");
    TPreferences p(path_);
    ASSERT_TRUE(p.OpenKey(kKey, false));
    const auto paths = p.PortPaths();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths.at(32), QStringLiteral("/dev/pts/4"));
    EXPECT_EQ(paths.at(5), QStringLiteral("/dev/serial/by-id/usb-osd"));
}

TEST_F(PreferencesTest, WrittenPortPathIsListed) {
    TPreferences p(path_);
    ASSERT_TRUE(p.OpenKey(kKey, true));
    p.WriteString(QStringLiteral("COM12"), QStringLiteral("/dev/pts/9"));
    TPreferences q(path_);
    ASSERT_TRUE(q.OpenKey(kKey, false));
    EXPECT_EQ(q.PortPaths().at(12), QStringLiteral("/dev/pts/9"));
}

// File dialogs start in the user's documents folder, then in the folder last used for the
// same kind of file, kept in the store (never one that does not exist); a folder that has
// gone falls back to documents.
TEST_F(PreferencesTest, FileDialogsStartInTheFolderLastUsedForTheirKind) {
    QTemporaryDir config;
    const QString documents = config.path() + QStringLiteral("/Dokumenty");
    const QString setFolder = config.path() + QStringLiteral("/boards");
    ASSERT_TRUE(QDir().mkpath(documents) && QDir().mkpath(setFolder));
    QFile dirs(config.path() + QStringLiteral("/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n");
    dirs.close();
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    TPreferences p(path_);
    EXPECT_EQ(p.StartFolder(QStringLiteral("set")), documents);
    p.RememberFolder(QStringLiteral("set"), setFolder + QStringLiteral("/a.set"));
    EXPECT_EQ(TPreferences(path_).StartFolder(QStringLiteral("set")), setFolder);
    // A name typed into a folder that does not exist (its Save as fails) keeps the folder.
    p.RememberFolder(QStringLiteral("set"), config.path() + QStringLiteral("/gone/b.set"));
    EXPECT_EQ(p.StartFolder(QStringLiteral("set")), setFolder);
    EXPECT_EQ(p.StartFolder(QStringLiteral("mcm")), documents);
    ASSERT_TRUE(QDir(setFolder).removeRecursively());
    EXPECT_EQ(p.StartFolder(QStringLiteral("set")), documents);

    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}
