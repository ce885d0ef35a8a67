#include "ui/AfPortControls.h"
#include "ui/AfComPortDialog.h"

#include "ModalAnswer.h"

#include "serial/AfPortPaths.h"
#include "serial/AfSafeSync.h"
#include "serial/AfTermiosMap.h"

#include "SerialTestSupport.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace halvex {
namespace {

using test::TPty;

constexpr std::uint32_t Busy = 0, Available = 1, Absent = 2;

std::vector<std::string> Entries(const QComboBox& box) {
    std::vector<std::string> out;
    for (int i = 0; i < box.count(); ++i)
        out.push_back(box.itemText(i).toStdString());
    return out;
}

// Ports 1..8 are mapped so that nothing on the test machine is probed:
// 2 available (pty), 3 busy (pty locked by another opener), 5 available (pty), others absent.
class AfPortControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n = 1; n <= 8; ++n)
            TAfPortPaths::SetOverride(n, "/nonexistent/ttyHalvex" + std::to_string(n));
        TAfPortPaths::SetOverride(2, ptyA.Slave());
        TAfPortPaths::SetOverride(3, ptyBusy.Slave());
        TAfPortPaths::SetOverride(5, ptyB.Slave());
        holder = ::open(ptyBusy.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        SetExceptionReport([this](const std::exception& e) {
            reports.push_back(e.what());
            reportSelection = box ? box->SelectedPort() : -1;
            reportEntries = box ? box->count() : -1;
        });
        port.SetBaudRate(br57600);
        port.SetDTR(false);
        port.Loaded();
        box = std::make_unique<TAfPortComboBox>();
        box->SetMaxComPorts(8);
    }
    void TearDown() override {
        box.reset();
        SetExceptionReport(nullptr);
        ::close(holder);
        TAfPortPaths::ClearOverrides();
    }

    // Picks entry `index` as a user does: drops the list down and clicks the entry.
    void UserPicks(int index) {
        box->show();
        box->showPopup();
        QAbstractItemView* list = box->view();
        const QRect rect = list->visualRect(list->model()->index(index, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    TPty ptyA, ptyB, ptyBusy;
    int holder = -1;
    std::vector<std::string> reports;
    int reportSelection = 0;
    int reportEntries = 0;
    TAfComPort port;
    std::unique_ptr<TAfPortComboBox> box;
};

TEST_F(AfPortControlsTest, DefaultsAndEmptyList) {
    TAfPortComboBox fresh;
    EXPECT_EQ(fresh.Options(), TAfPortCtlOptions{pcCheckExist});
    EXPECT_EQ(fresh.MaxComPorts(), 4);
    EXPECT_EQ(fresh.SelectedPort(), 0);
    EXPECT_EQ(fresh.ComPort(), nullptr);
    fresh.show(); // the list is built when the control is first shown
    EXPECT_EQ(Entries(fresh), (std::vector<std::string>{"COM 2", "COM 3"}));
    EXPECT_EQ(fresh.currentIndex(), -1); // the list selects nothing by itself
    fresh.SetMaxComPorts(0);
    EXPECT_EQ(fresh.count(), 0);
    fresh.SetSelectedPort(2);
    EXPECT_EQ(fresh.SelectedPort(), 0); // nothing listed: none
    fresh.SetMaxComPorts(-3);
    EXPECT_EQ(fresh.count(), 0);
}

TEST_F(AfPortControlsTest, ListingRulesAndTags) {
    EXPECT_EQ(Entries(*box), (std::vector<std::string>{"COM 2", "COM 3", "COM 5"}));
    EXPECT_EQ(box->EntryTag(0), 2 + Available * 65536);
    EXPECT_EQ(box->EntryTag(1), 3 + Busy * 65536);
    EXPECT_EQ(box->EntryTag(2), 5 + Available * 65536);
    EXPECT_EQ(box->EntryTag(7), 0u);
    EXPECT_EQ(box->itemData(0, Qt::ToolTipRole).toString().toStdString(), ptyA.Slave());

    box->SetOptions({});
    ASSERT_EQ(box->count(), 8); // every port, whatever its state
    EXPECT_EQ(box->EntryTag(0), 1 + Absent * 65536);
    EXPECT_EQ(box->itemText(7).toStdString(), "COM 8");
    EXPECT_EQ(box->itemData(0, Qt::ToolTipRole).toString().toStdString(),
              "/nonexistent/ttyHalvex1");

    box->SetOptions({pcCheckExist, pcDisableOpen});
    EXPECT_EQ(Entries(*box), (std::vector<std::string>{"COM 2", "COM 5"}));
    EXPECT_EQ(box->ProbePort(3), 3u + Busy * 65536);
    EXPECT_EQ(box->ProbePort(4), 4u + Absent * 65536);
}

TEST_F(AfPortControlsTest, SelectedPortSelectsItsEntryOrTheFirst) {
    box->SetSelectedPort(3);
    EXPECT_EQ(box->currentIndex(), 1);
    box->SetSelectedPort(7); // not listed
    EXPECT_EQ(box->currentIndex(), 0);
    EXPECT_EQ(box->SelectedPort(), 2);
    box->setCurrentIndex(2);
    box->SetSelectedPort(2); // unchanged value: no reselection
    EXPECT_EQ(box->currentIndex(), 2);
    box->SetComPort(&port);         // port number 0: selects the first entry
    EXPECT_EQ(port.ComNumber(), 0); // only a user selection changes the port
}

TEST_F(AfPortControlsTest, NoStoredPortShowsNothing) {
    box->SetComPort(&port);
    EXPECT_EQ(box->SelectedPort(), 0);
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_TRUE(box->currentText().isEmpty());
}

TEST_F(AfPortControlsTest, UserSelectionOpensThePort) {
    int changes = 0;
    box->OnChange = [&] { ++changes; };
    box->SetComPort(&port);
    UserPicks(2); // "COM 5"
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(port.ComNumber(), 5);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(box->SelectedPort(), 5);
    // Rebuilt after the open: our own open port now probes as busy, and stays selected.
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->EntryTag(2), 5 + Busy * 65536);
    EXPECT_EQ(box->currentIndex(), 2);
    EXPECT_TRUE(reports.empty());
    port.WriteString("hi");
    EXPECT_EQ(ptyB.Receive(2), "hi");
}

TEST_F(AfPortControlsTest, PickingTheOpenPortAgainLeavesItOpen) {
    int closes = 0;
    port.OnPortClose = [&] { ++closes; };
    port.SetComNumber(2);
    port.Open();
    box->SetComPort(&port);
    EXPECT_EQ(box->currentIndex(), 0);
    UserPicks(0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(closes, 0);
    // Another entry switches the open port.
    UserPicks(2);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(port.ComNumber(), 5);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(AfPortControlsTest, OpenErrorIsReportedAfterTheListWasRebuilt) {
    box->SetComPort(&port);
    UserPicks(1); // "COM 3": held by another opener
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(test::FirstLine(reports[0]), "Can't open device COM3");
    EXPECT_EQ(reportSelection, 3);
    EXPECT_EQ(reportEntries, 3);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ComNumber(), 3);
}

TEST_F(AfPortControlsTest, DisableOpenHidesTheProgramsOwnPort) {
    port.SetComNumber(2);
    port.Open();
    box->SetOptions({pcCheckExist, pcDisableOpen});
    EXPECT_EQ(Entries(*box), (std::vector<std::string>{"COM 5"}));
    box->SetOptions({pcCheckExist});
    EXPECT_EQ(Entries(*box), (std::vector<std::string>{"COM 2", "COM 3", "COM 5"}));
}

TEST_F(AfPortControlsTest, HighlightTintsOnlyTheDroppedDownList) {
    box->SetOptions({pcHighlightOpen}); // without pcCheckExist absent ports are listed too
    box->show();
    const QPalette& p = box->palette();
    const QColor normal = p.color(QPalette::Text);
    for (int i = 0; i < box->count(); ++i)
        EXPECT_EQ(box->EntryTextColor(i), normal); // list closed
    box->showPopup();
    ASSERT_TRUE(box->view()->isVisible());
    EXPECT_EQ(box->EntryTextColor(0), normal);                                      // COM 1 absent
    EXPECT_EQ(box->EntryTextColor(1), p.color(QPalette::ButtonText));               // COM 2
    EXPECT_EQ(box->EntryTextColor(2), p.color(QPalette::Disabled, QPalette::Text)); // COM 3
    box->hidePopup();
    box->SetOptions({});
    box->showPopup();
    EXPECT_EQ(box->EntryTextColor(2), normal); // no tint without pcHighlightOpen
    box->hidePopup();
}

// A board plugged in after start appears when the list drops down; one unplugged goes.
TEST_F(AfPortControlsTest, DroppingDownFollowsHotPlug) {
    box->show();
    ASSERT_EQ(Entries(*box), (std::vector<std::string>{"COM 2", "COM 3", "COM 5"}));
    TPty plugged;
    TAfPortPaths::SetOverride(7, plugged.Slave());
    TAfPortPaths::SetOverride(2, "/nonexistent/ttyHalvexGone");
    EXPECT_EQ(Entries(*box), (std::vector<std::string>{"COM 2", "COM 3", "COM 5"}));
    box->showPopup();
    EXPECT_EQ(Entries(*box), (std::vector<std::string>{"COM 3", "COM 5", "COM 7"}));
    box->hidePopup();
}

TEST_F(AfPortControlsTest, LinkIsDroppedWhenThePortIsDestroyed) {
    auto temporary = std::make_unique<TAfComPort>("Temp");
    box->SetComPort(temporary.get());
    EXPECT_EQ(box->ComPort(), temporary.get());
    temporary.reset();
    EXPECT_EQ(box->ComPort(), nullptr);
    UserPicks(0); // no port to open: nothing happens
    EXPECT_TRUE(reports.empty());
    // A selector destroyed before its port unsubscribes.
    auto other = std::make_unique<TAfPortComboBox>();
    other->SetComPort(&port);
    other.reset();
}

TEST_F(AfPortControlsTest, FontChangeSetsEntryHeightAndKeepsSelection) {
    box->SetSelectedPort(5);
    QFont font = box->font();
    font.setPixelSize(20);
    box->setFont(font);
    EXPECT_EQ(box->view()->sizeHintForRow(0), 25);
    EXPECT_EQ(box->count(), 3);
    EXPECT_EQ(box->currentIndex(), 2);
}

// The dialog offers only what a Linux line accepts: every combination it can return is
// taken by the termios mapping.
TEST_F(AfPortControlsTest, SettingsDialogOffersOnlyWhatTheLineAccepts) {
    TAfDCB dcb = port.DCB();
    TAfComPortDialog dialog("COM2", dcb);
    EXPECT_EQ(dialog.windowTitle(), "COM2");
    EXPECT_EQ(dialog.BaudBox()->currentText(), "57600");
    EXPECT_EQ(dialog.DataBitsBox()->currentText(), "8");
    EXPECT_EQ(dialog.ParityBox()->currentIndex(), 0);
    EXPECT_EQ(dialog.StopBitsBox()->currentText(), "1");
    EXPECT_EQ(dialog.FlowBox()->currentIndex(), 0);
    const auto items = [](QComboBox* box) {
        QStringList texts;
        for (int k = 0; k < box->count(); ++k)
            texts << box->itemText(k);
        return texts;
    };
    EXPECT_EQ(items(dialog.DataBitsBox()), QStringList({"5", "6", "7", "8"}));
    EXPECT_EQ(items(dialog.StopBitsBox()), QStringList({"1", "2"}));
    EXPECT_EQ(dialog.FlowBox()->count(), 3); // no DTR/DSR
    dialog.StopBitsBox()->setCurrentIndex(1);
    dialog.DataBitsBox()->setCurrentIndex(0); // 5 bits: two stop bits are one and a half
    EXPECT_EQ(items(dialog.StopBitsBox()), QStringList({"1", "1.5"}));
    EXPECT_EQ(dialog.StopBitsBox()->currentText(), "1.5");
    for (int bits = 0; bits < dialog.DataBitsBox()->count(); ++bits)
        for (int stop = 0; stop < 2; ++stop)
            for (int parity = 0; parity < dialog.ParityBox()->count(); ++parity)
                for (int flow = 0; flow < dialog.FlowBox()->count(); ++flow) {
                    dialog.DataBitsBox()->setCurrentIndex(bits);
                    dialog.StopBitsBox()->setCurrentIndex(stop);
                    dialog.ParityBox()->setCurrentIndex(parity);
                    dialog.FlowBox()->setCurrentIndex(flow);
                    EXPECT_TRUE(AfLineFromDcb(dialog.Result()).has_value())
                        << bits << stop << parity << flow;
                }

    dialog.DataBitsBox()->setCurrentIndex(3);
    dialog.StopBitsBox()->setCurrentIndex(0);
    dialog.ParityBox()->setCurrentIndex(2);
    dialog.FlowBox()->setCurrentIndex(2);
    dialog.BaudBox()->setEditText("250000");
    TAfDCB result = dialog.Result();
    EXPECT_EQ(result.DCBlength, 28u);
    EXPECT_EQ(result.BaudRate, 250000u);
    EXPECT_EQ(result.Parity, 2);
    EXPECT_EQ(result.Flags, 0x2005u); // RTS/CTS replaces RTS enable
    dialog.BaudBox()->setEditText("nonsense");
    EXPECT_EQ(dialog.Result().BaudRate, 57600u); // unparseable: unchanged

    InstallAfSerialGuiHooks();
    port.SetComNumber(2);
    test::AnswerModal<TAfComPortDialog>([](TAfComPortDialog& modal) {
        modal.DataBitsBox()->setCurrentIndex(modal.DataBitsBox()->findText("7"));
        modal.accept();
    });
    EXPECT_TRUE(port.ShowSettingsDialog());
    EXPECT_EQ(port.Databits(), db7);
    EXPECT_EQ(port.BaudRate(), br57600);
    TAfCustomComPort::SetSettingsDialogHook(nullptr);
    TAfCustomComPort::SetBusyCursorHook(nullptr);
}

// A test waiting for one dialog fails at once when another one comes.
TEST_F(AfPortControlsTest, AnotherModalDialogFailsTheWaitInsteadOfHangingIt) {
    QDialog other;
    other.setWindowTitle(QStringLiteral("Unexpected"));
    ::testing::TestPartResultArray failures;
    int result = -1;
    {
        const ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        test::AnswerModal<TAfComPortDialog>([](TAfComPortDialog& modal) { modal.accept(); });
        result = other.exec();
    }
    EXPECT_EQ(result, QDialog::Rejected);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_NE(
        std::string(failures.GetTestPartResult(0).message()).find("found QDialog \"Unexpected\""),
        std::string::npos)
        << failures.GetTestPartResult(0).message();
}

} // namespace
} // namespace halvex
