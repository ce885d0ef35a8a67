#include "ui/ExceptionReport.h"

#include "config/FileError.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

using namespace halvex;

namespace {

struct TRecordedBox {
    TBoxKind Kind;
    QString Text;
};

class ExceptionReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        MessageBoxHook() = [this](TBoxKind kind, const QString& text) {
            boxes.push_back({kind, text});
        };
    }
    void TearDown() override { UseModalMessageBoxes(); }
    std::vector<TRecordedBox> boxes;
};

} // namespace

TEST(ExceptionReportText, FullStopOnlyAfterCharactersSortingAfterIt) {
    EXPECT_EQ(ExceptionReportText(QStringLiteral("Invalid port number (COM0)")),
              QStringLiteral("Invalid port number (COM0)"));
    EXPECT_EQ(ExceptionReportText(QStringLiteral("Failed to set data for 'Lang'")),
              QStringLiteral("Failed to set data for 'Lang'"));
    EXPECT_EQ(ExceptionReportText(QStringLiteral("Can't open device COM3")),
              QStringLiteral("Can't open device COM3."));
    EXPECT_EQ(ExceptionReportText(QStringLiteral("Read data error")),
              QStringLiteral("Read data error."));
    EXPECT_EQ(ExceptionReportText(QStringLiteral("Stop.")), QStringLiteral("Stop."));
    EXPECT_EQ(ExceptionReportText(QStringLiteral("Bad file format !")),
              QStringLiteral("Bad file format !"));
    EXPECT_EQ(ExceptionReportText(QStringLiteral("path /")), QStringLiteral("path /."));
    EXPECT_EQ(ExceptionReportText(QStringLiteral("dash -")), QStringLiteral("dash -"));
    EXPECT_EQ(ExceptionReportText(QString()), QString());
}

TEST_F(ExceptionReportTest, GuardReportsAndTheProgramGoesOn) {
    int ran = 0;
    auto handler = Guard([&] {
        ++ran;
        throw std::runtime_error("Write data error [requested: 12, free: 0]");
    });
    handler();
    handler();
    EXPECT_EQ(ran, 2);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Kind, TBoxKind::Error);
    // "]" sorts after ".": the report ends with a full stop.
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Write data error [requested: 12, free: 0]."));

    RunGuarded([] { throw 42; });
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].Text, QStringLiteral("Unknown exception."));

    RunGuarded([&] { ++ran; });
    EXPECT_EQ(ran, 3);
    EXPECT_EQ(boxes.size(), 3u);
}

TEST_F(ExceptionReportTest, PlainMessageKeepsItsText) {
    ShowMessageText(QStringLiteral("Błąd komunikacji !"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Kind, TBoxKind::Message);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Błąd komunikacji !"));
}

TEST_F(ExceptionReportTest, ExceptionTextIsReadAsUtf8) {
    ShowExceptionReport(std::runtime_error("File not found \"/tmp/Łódź.mcm\""));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("File not found \"/tmp/Łódź.mcm\""));
}

// A folder given for a file is named so, in the interface language.
TEST_F(ExceptionReportTest, AFolderGivenForAFileIsNamedInTheInterfaceLanguage) {
    SetReportLanguage(TLanguage::Polish);
    ShowExceptionReport(EFileError(EISDIR, "/tmp/Łódź"));
    SetReportLanguage(TLanguage::English);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("\"/tmp/Łódź\" to jest folder."));
}
