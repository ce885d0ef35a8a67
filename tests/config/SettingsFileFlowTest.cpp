#include "config/SettingsFileFlow.h"

#include "config/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>

using namespace halvex;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Limits the size of files this process may write for the lifetime of the object.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a write beyond the limit fails with EFBIG instead
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

class SettingsFileFlow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        image_.SetMode(2);
        image_.SetConfig(0x10);
        image_.SetFlags(2, 19, 0x91);
        image_.SetXPos(2, 19, 20);
        image_.SetYPos(2, 19, 14);
    }
    QString Path(const char* name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    TConfigImage image_;
    TItemCatalogue catalogue_;
    std::vector<TMessage> messages_;
    std::function<void(TMessage)> show_ = [this](TMessage m) { messages_.push_back(m); };
};

} // namespace

TEST_F(SettingsFileFlow, ExportWritesTheTextAndImportReadsItBack) {
    const QString path = Path("a.set");
    ExportSettingsTo(path, image_, catalogue_, 20);
    const std::string expected = WriteSettingsText(image_, catalogue_, 20);
    EXPECT_EQ(ReadFile(path).toStdString(), expected);

    TConfigImage target;
    EXPECT_TRUE(ImportSettingsFrom(path, import_flag::Layouts | import_flag::Main, target,
                                   catalogue_, 20, show_)
                    .Recognised);
    EXPECT_EQ(target.Mode(), 2);
    EXPECT_EQ(target.Config(), 0x10);
    EXPECT_EQ(target.Flags(2, 19), 0x91);
    EXPECT_EQ(target.XPos(2, 19), 20);
    EXPECT_EQ(target.YPos(2, 19), 14);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SettingsFileFlow, ExportReplacesAnExistingFileWhole) {
    const QString path = Path("b.set");
    WriteFile(path, QByteArray(20000, 'x')); // longer than the new text
    ExportSettingsTo(path, image_, catalogue_, 20);
    EXPECT_EQ(ReadFile(path).toStdString(), WriteSettingsText(image_, catalogue_, 20));
}

TEST_F(SettingsFileFlow, FailedExportKeepsTheOldFile) {
    const QString path = Path("c.set");
    const QByteArray old = "[MAIN]\r\nMode=1\r\n";
    WriteFile(path, old);
    {
        TFileSizeLimit limit(1024); // the export needs about 6 kB
        EXPECT_THROW(ExportSettingsTo(path, image_, catalogue_, 20), std::runtime_error);
    }
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"c.set"}); // no leftovers
}

TEST_F(SettingsFileFlow, ExportToAnImpossiblePathThrowsTheSystemsReason) {
    try {
        ExportSettingsTo(Path("missing/d.set"), image_, catalogue_, 20);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STRNE(e.what(), "");
    }
}

TEST_F(SettingsFileFlow, ImportOfAFileThatCannotBeReadThrows) {
    TConfigImage target;
    EXPECT_THROW(ImportSettingsFrom(Path("none.set"), 3, target, catalogue_, 20, show_),
                 std::runtime_error);
    EXPECT_THROW(ImportSettingsFrom(dir_.path(), 3, target, catalogue_, 20, show_),
                 std::runtime_error);
}

TEST_F(SettingsFileFlow, ImportStopsAtTheEndOfFileByteAndTakesLfOnlyFiles) {
    const QString path = Path("e.set");
    WriteFile(path, "[MAIN]\nMode=1\nConfig=7\n\x1A"
                    "Alarms=9\n");
    TConfigImage target;
    EXPECT_TRUE(
        ImportSettingsFrom(path, import_flag::Main, target, catalogue_, 20, show_).Recognised);
    EXPECT_EQ(target.Mode(), 1);
    EXPECT_EQ(target.Config(), 7);
    EXPECT_EQ(target.Alarms(), 0);
}

TEST_F(SettingsFileFlow, HandWrittenFileImportsThroughTheFlow) {
    TConfigImage target;
    EXPECT_TRUE(ImportSettingsFrom(QString(HALVEX_SETTINGS_DATA) + "/known.set",
                                   import_flag::Layouts, target, catalogue_, 20, show_)
                    .Recognised);
    EXPECT_EQ(target.Mode(), 0); // main section not chosen
    EXPECT_EQ(target.XPos(1, 0), 110);
    EXPECT_EQ(target.Flags(2, 19), 255 - 19);
}
