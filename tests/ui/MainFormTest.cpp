// The main window: start-up and preferences, the connection states and their
// transitions, read, write, font upload, settings, export and import.
#include "AppRig.h"
#include "TestPatterns.h"

#include "link/FontFile.h"
#include "link/LinkFrames.h"
#include "ui/ImportDialog.h"
#include "ui/OsdPreview.h"

#include <QMessageBox>
#include <QTemporaryFile>

#include <cstring>

using namespace halvex;
using namespace halvex::test;

namespace {

const QString kEnglishTest = QStringLiteral("OSD Connection Check");

// The controls of one connection state, as the window shows them.
struct TStateView {
    QString Button6;
    bool Button8Shown, Button8Enabled;
    bool Button7Shown, Button7Enabled;
    bool Button1Enabled, Button2Enabled, Button4Enabled, Button5Enabled;
    bool Button3Shown, EditorShown, Label2Shown, LanguageShown;
    bool operator==(const TStateView&) const = default;
};

void PrintTo(const TStateView& v, std::ostream* os) {
    *os << v.Button6.toStdString() << " b8 " << v.Button8Shown << v.Button8Enabled << " b7 "
        << v.Button7Shown << v.Button7Enabled << " b1245 " << v.Button1Enabled << v.Button2Enabled
        << v.Button4Enabled << v.Button5Enabled << " b3 " << v.Button3Shown << " ed "
        << v.EditorShown << " l2 " << v.Label2Shown << " lang " << v.LanguageShown;
}

// The rows of the state table in MainForm.h: Closed, Port open, Link confirmed, Loaded.
constexpr bool Y = true;  // shown, enabled
constexpr bool N = false; // hidden, disabled
const QString kOpen = QStringLiteral("Open");
const QString kClose = QStringLiteral("Close");
// clang-format off
//                                      check      font       Read  Write  Export  Import  Settings  editor  firmware  language
//                              port    shown  on  shown  on  on    on     on      on      shown
const TStateView kClosed       {kOpen,  Y,     N,  Y,     N,  N,    N,     N,      N,      N,        N,      N,        Y};
const TStateView kPortOpen     {kClose, Y,     Y,  Y,     N,  N,    N,     N,      N,      N,        N,      N,        Y};
const TStateView kLinkConfirmed{kClose, Y,     Y,  Y,     Y,  Y,    N,     N,      N,      N,        N,      N,        Y};
const TStateView kLoaded       {kClose, N,     Y,  N,     Y,  Y,    Y,     Y,      Y,      Y,        Y,      Y,        N};
// clang-format on

class MainForm : public AppRig {
protected:
    TStateView View() {
        TForm1& f = F();
        const bool editor = Shown(E().GroupBox2);
        // The four editor controls always show and hide together.
        EXPECT_EQ(Shown(E().GroupBox4), editor);
        EXPECT_EQ(Shown(E().RadioGroup2), editor);
        EXPECT_EQ(Shown(E().RadioGroup4), editor);
        return {f.Button6->text(),
                Shown(f.Button8),
                f.Button8->isEnabled(),
                Shown(f.Button7),
                f.Button7->isEnabled(),
                f.Button1->isEnabled(),
                f.Button2->isEnabled(),
                f.Button4->isEnabled(),
                f.Button5->isEnabled(),
                Shown(f.Button3),
                editor,
                Shown(f.Label2),
                Shown(f.RadioGroup6)};
    }
};

} // namespace

// --- windows and start-up ---

TEST_F(MainForm, WindowsAreCreatedWithTheirFixedProperties) {
    Start();
    TForm1& f = F();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Halvex Brenn for Torvik HW Configurator v1.05"));
    EXPECT_EQ(f.size(), QSize(403, 471));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()); // not resizable
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("HalvexCfg_KT"));
    for (const char* name :
         {"Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "Button7", "Button8",
          "AfPortComboBox1", "Label2", "RadioGroup6", "GroupBox5", "GroupBox1", "StringGrid1",
          "GroupBox2", "GroupBox4", "RadioGroup2", "RadioGroup4", "ComboBox1"})
        EXPECT_NE(f.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(f.GroupBox5->title(), QStringLiteral("Port COM"));
    EXPECT_EQ(f.GroupBox5->geometry(), QRect(6, 284, 124, 64));
    // The configuration buttons in the "Settings" frame, in client coordinates.
    EXPECT_EQ(f.GroupBox1->geometry(), QRect(6, 349, 124, 92));
    const auto client = [&f](const QWidget* w) { return QRect(w->mapTo(&f, QPoint()), w->size()); };
    EXPECT_EQ(client(f.Button1), QRect(10, 367, 56, 22));
    EXPECT_EQ(client(f.Button2), QRect(70, 367, 56, 22));
    EXPECT_EQ(client(f.Button4), QRect(10, 391, 56, 22));
    EXPECT_EQ(client(f.Button5), QRect(70, 391, 56, 22));
    EXPECT_EQ(client(f.Button3), QRect(10, 415, 116, 22));
    EXPECT_EQ(f.Label2->geometry(), QRect(6, 441, 124, 14));
    EXPECT_EQ(f.Label2->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_EQ(f.RadioGroup6->title(), QStringLiteral("Language :  "));
    EXPECT_EQ(f.RadioGroup6->ItemText(0), QStringLiteral("English"));
    EXPECT_EQ(f.RadioGroup6->ItemText(1), QStringLiteral("Polski"));
    const QRect rightArea(136, 284, 261, 181);
    for (QWidget* w : {static_cast<QWidget*>(f.Button7), static_cast<QWidget*>(f.Button8),
                       static_cast<QWidget*>(f.RadioGroup6)})
        EXPECT_TRUE(rightArea.contains(w->geometry())) << w->objectName().toStdString();
    // Both timers start disabled at 200 ms.
    EXPECT_FALSE(T1.Enabled());
    EXPECT_FALSE(T2.Enabled());
    EXPECT_EQ(T1.Interval(), 200u);
    EXPECT_EQ(T2.Interval(), 200u);

    TForm4& p = W->Form4;
    EXPECT_EQ(p.windowTitle(), QStringLiteral("Wysyłanie danych..."));
    // No window manager frame (so no close or maximise button); the caption in a strip
    // of its own above the 241 x 36 client area.
    EXPECT_EQ(p.size(), QSize(241, 36 + TForm4::kCaptionHeight));
    EXPECT_TRUE(p.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(p.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(p.Caption->text(), p.windowTitle());
    EXPECT_FALSE(p.isModal());
    EXPECT_EQ(p.ProgressBar1->minimum(), 0);
    EXPECT_EQ(p.ProgressBar1->maximum(), 255);
    EXPECT_FALSE(p.isVisible());
    // Only the main window is shown at start.
    EXPECT_FALSE(W->Form2.isVisible());
    EXPECT_FALSE(W->Form3.isVisible());
}

TEST_F(MainForm, FirstStartCreatesTheKeyAndStoresEnglish) {
    Start();
    EXPECT_EQ(View(), kClosed);
    EXPECT_EQ(F().Language(), TLanguage::English);
    EXPECT_EQ(F().RadioGroup6->ItemIndex(), 0);
    EXPECT_EQ(F().Button8->text(), kEnglishTest);
    EXPECT_TRUE(QFile::exists(PrefsPath()));
    EXPECT_EQ(StoredValue("Lang"), QStringLiteral("0"));
    EXPECT_EQ(StoredValue("Port"), QString());
    EXPECT_EQ(Port.ComNumber(), 3); // no stored port: the component keeps its number
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainForm, StoredPolishAndPortAreRestored) {
    WritePrefs("Lang=1\nPort=65541\n");
    Start();
    EXPECT_EQ(F().Language(), TLanguage::Polish);
    EXPECT_EQ(F().RadioGroup6->ItemIndex(), 1);
    EXPECT_EQ(F().Button1->text(), QStringLiteral("Pobierz"));
    EXPECT_EQ(F().Button6->text(), QStringLiteral("Otwórz"));
    EXPECT_EQ(W->Form2.windowTitle(), QStringLiteral("Ustawienia"));
    EXPECT_EQ(Port.ComNumber(), 5); // the low 16 bits
    EXPECT_EQ(StoredValue("Lang"), QStringLiteral("1"));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainForm, AnyNonZeroLangStartsPolishAndIsRewrittenAsOne) {
    WritePrefs("Lang=5\n");
    Start();
    EXPECT_EQ(F().Language(), TLanguage::Polish);
    EXPECT_EQ(F().Button8->text(), QStringLiteral("Test Połączenia z OSD"));
    EXPECT_EQ(StoredValue("Lang"), QStringLiteral("1"));
}

TEST_F(MainForm, LangThatIsNotAnIntegerIsReportedAndEndsTheRestore) {
    WritePrefs("Lang=polski\nPort=7\n");
    Start();
    ASSERT_EQ(Texts(TBoxKind::Error).size(), 1u);
    EXPECT_EQ(Texts(TBoxKind::Error)[0], QStringLiteral("Invalid data type for 'Lang'"));
    EXPECT_EQ(F().Language(), TLanguage::English);
    EXPECT_EQ(F().Button1->text(), QStringLiteral("Read"));
    EXPECT_EQ(Port.ComNumber(), 3); // "Port" was not reached
    EXPECT_EQ(StoredValue("Lang"), QStringLiteral("polski"));
    EXPECT_EQ(View(), kClosed);
}

TEST_F(MainForm, PortThatIsNotAnIntegerIsReportedAndSkipsTheRest) {
    WritePrefs("Lang=5\nPort=COM4\n");
    Start();
    EXPECT_EQ(Texts(TBoxKind::Error),
              std::vector<QString>{QStringLiteral("Invalid data type for 'Port'")});
    EXPECT_EQ(Port.ComNumber(), 3);
    // The language switch did not run: nothing rewritten, the texts still English.
    EXPECT_EQ(StoredValue("Lang"), QStringLiteral("5"));
    EXPECT_EQ(StoredValue("Port"), QStringLiteral("COM4"));
    EXPECT_EQ(F().Button1->text(), QStringLiteral("Read"));
    EXPECT_EQ(View(), kClosed);
    // The window works on: Open stores a proper port number over the bad value.
    OpenPort();
    EXPECT_EQ(View(), kPortOpen);
    EXPECT_EQ(StoredValue("Port"), QStringLiteral("3"));
}

TEST_F(MainForm, UnwritableStoreReportsLangButAppliesTheTexts) {
    MakeStoreUnwritable();
    Start();
    EXPECT_EQ(Texts(TBoxKind::Error),
              std::vector<QString>{QStringLiteral("Failed to set data for 'Lang'")});
    EXPECT_EQ(F().Button1->text(), QStringLiteral("Read"));
    // The switch to Polish changes the texts, then reports the failed write.
    ClickRadio(F().RadioGroup6->Button(1));
    EXPECT_EQ(F().Button1->text(), QStringLiteral("Pobierz"));
    EXPECT_EQ(W->Form2.windowTitle(), QStringLiteral("Ustawienia"));
    EXPECT_EQ(Texts(TBoxKind::Error).size(), 2u);
    EXPECT_EQ(Texts(TBoxKind::Error).back(), QStringLiteral("Failed to set data for 'Lang'"));
    // Open works, and the failed store of "Port" leaves the port open.
    OpenPort();
    EXPECT_TRUE(Port.IsOpen());
    EXPECT_EQ(Texts(TBoxKind::Error).back(), QStringLiteral("Failed to set data for 'Port'"));
    EXPECT_EQ(View(), kPortOpen);
}

TEST_F(MainForm, StoredPortPathsAreHandedToThePortTable) {
    WritePrefs("COM32=/tmp/halvex-test-board\nCOM7=/dev/serial/by-id/usb-osd\n");
    Start();
    EXPECT_EQ(TAfPortPaths::Path(32), "/tmp/halvex-test-board");
    EXPECT_EQ(TAfPortPaths::Path(7), "/dev/serial/by-id/usb-osd");
    EXPECT_EQ(TAfPortPaths::Path(8), TAfPortPaths::DefaultPath(8));
}

// --- Open / Close and the link test ---

TEST_F(MainForm, OpenEntersPortOpenAndStoresThePort) {
    Start();
    OpenPort();
    EXPECT_TRUE(Port.IsOpen());
    EXPECT_EQ(F().State(), TWindowState::PortOpen);
    EXPECT_EQ(View(), kPortOpen);
    EXPECT_EQ(StoredValue("Port"), QStringLiteral("3"));
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(F().StatusLine->toolTip(), QStringLiteral("Port COM3 open"));
}

TEST_F(MainForm, FailedOpenIsReportedAndStaysClosed) {
    Start();
    Port.FailOpen(true);
    OpenPort();
    EXPECT_EQ(Texts(TBoxKind::Error),
              std::vector<QString>{QStringLiteral("Can't open device COM3.")});
    EXPECT_EQ(F().State(), TWindowState::Closed);
    EXPECT_EQ(View(), kClosed);
    EXPECT_EQ(StoredValue("Port"), QString());
    Port.FailOpen(false);
    OpenPort();
    EXPECT_EQ(View(), kPortOpen);
}

TEST_F(MainForm, PortAlreadyOpenedBySelectorIsTakenOver) {
    Start();
    Port.SetComNumber(9);
    Port.Open();
    EXPECT_EQ(View(), kClosed); // the window follows only its own Open
    OpenPort();
    EXPECT_EQ(View(), kPortOpen);
    EXPECT_EQ(StoredValue("Port"), QStringLiteral("9"));
}

TEST_F(MainForm, LinkTestWithRConfirmsTheLinkOnce) {
    Start();
    OpenPort();
    Click(F().Button8);
    EXPECT_EQ(Port.Writes(), std::vector<std::string>{"$w747374A4\r\n"});
    Run(10);
    EXPECT_EQ(View(), kLinkConfirmed);
    EXPECT_FALSE(T2.Enabled());
    // A second successful test changes nothing.
    Click(F().Button8);
    Run(10);
    EXPECT_EQ(Port.Writes().size(), 2u);
    EXPECT_EQ(View(), kLinkConfirmed);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainForm, LinkTestWithAnotherLetterConfirmsNothing) {
    sim::TBoardOptions options;
    options.testLetter = 'X';
    Start(options);
    OpenPort();
    Click(F().Button8);
    Run(10);
    EXPECT_FALSE(T2.Enabled()); // answered: no retries
    EXPECT_EQ(View(), kPortOpen);
    Run(10000);
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{QStringLiteral("OSD not ready !")});
}

TEST_F(MainForm, UnansweredLinkTestGivesUpAfterSixtyFrames) {
    sim::TBoardOptions options;
    options.neverAnswer = true;
    Start(options);
    OpenPort();
    Click(F().Button8);
    // Pressing it again while the test is supervised does nothing.
    Run(50);
    Click(F().Button8);
    EXPECT_EQ(Port.Writes().size(), 1u);
    Run(5940);
    EXPECT_TRUE(Boxes.empty());
    Run(20);
    EXPECT_EQ(Port.Writes().size(), 60u);
    // The second line: the likeliest cause and its fix (the read's and the write's give-ups
    // below have none).
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral("Communication ERROR !\nno answer: check the "
                                                  "board's power, TX/RX crossed, grounds joined")});
    EXPECT_EQ(View(), kPortOpen);
}

TEST_F(MainForm, OpenCloseOpenNeedsANewLinkTest) {
    Start();
    ConfirmLink();
    Click(F().Button6);
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_EQ(F().State(), TWindowState::Closed);
    EXPECT_EQ(View(), kClosed);
    OpenPort();
    EXPECT_EQ(View(), kPortOpen);
    Click(F().Button8);
    Run(10);
    EXPECT_EQ(View(), kLinkConfirmed);
}

TEST_F(MainForm, ClosingDuringAWriteEndsItAndSaysSo) {
    Start();
    LoadConfiguration();
    Click(F().Button2); // write
    Run(3);
    ASSERT_TRUE(W->Form4.isVisible());
    Click(F().Button6); // Close
    EXPECT_FALSE(W->Form4.isVisible());
    EXPECT_FALSE(T1.Enabled());
    EXPECT_FALSE(T2.Enabled());
    EXPECT_FALSE(F().Link->Busy());
    const auto written = Port.Writes().size();
    Run(5000);
    EXPECT_EQ(Port.Writes().size(), written); // nothing resent into the closed port
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral(
                  "Write interrupted - the OSD may hold a partly written configuration !")});
    EXPECT_EQ(View(), kClosed);
}

// The device goes during a write: the window closes the port, ends the write without
// resends and shows the one disconnect message, but the editor, the image and its undo
// history stay. Once the board is back, Open checks it and Write sends the kept image
// without a Read.
TEST_F(MainForm, LostDeviceKeepsTheEditorAndWriteSendsItOnceTheBoardIsBack) {
    Start();
    LoadConfiguration();
    E().CheckBox3->click(); // an unwritten edit
    const TImageBytes edited = Snapshot(F().Image);
    Click(F().Button2); // write
    Run(3);
    ASSERT_TRUE(F().Link->Busy());
    const QString said =
        QStringLiteral("Port COM%1 disconnected !").arg(F().AfComPort1.ComNumber());
    ASSERT_TRUE(Port.OnDeviceLost);
    Port.OnDeviceLost();
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_FALSE(F().Link->Busy());
    EXPECT_FALSE(W->Form4.isVisible());
    const auto written = Port.Writes().size();
    Run(5000);
    EXPECT_EQ(Port.Writes().size(), written);
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{said});
    TStateView kept = kLoaded;
    kept.Button6 = QStringLiteral("Open");
    kept.Button1Enabled = kept.Button2Enabled = kept.Button8Enabled = false;
    kept.Button7Enabled = kept.Button3Shown = false;
    EXPECT_EQ(View(), kept);
    EXPECT_EQ(Snapshot(F().Image), edited);
    EXPECT_TRUE(F().isWindowModified());
    EXPECT_TRUE(E().History.CanUndo());

    // The board is back: Open checks it at once; Write pressed meanwhile follows the "R".
    Port.ClearWrites();
    Board = std::make_unique<sim::TOsdBoard>(sim::TBoardOptions{}, Board->Image());
    OpenPort();
    EXPECT_EQ(F().State(), TWindowState::Rejoining);
    EXPECT_EQ(Port.Writes(), std::vector<std::string>{"$w747374A4\r\n"});
    Click(F().Button2);
    Run(300);
    EXPECT_EQ(F().State(), TWindowState::Loaded);
    EXPECT_EQ(Board->Stats().BlockFramesTotal(), 16);
    EXPECT_EQ(Board->Stats().readFrames, 1); // the read-back only, no read in between
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        ASSERT_EQ(Board->Image()[k], edited[k]) << k;
    EXPECT_FALSE(F().isWindowModified());
}

TEST_F(MainForm, ErrorInsideThePortNotificationIsReportedAndTheWindowGoesOn) {
    Start();
    OpenPort();
    Click(F().Button8);
    Port.FailReads(1);
    Run(2);
    ASSERT_EQ(Texts(TBoxKind::Error).size(), 1u);
    EXPECT_EQ(Texts(TBoxKind::Error)[0], QStringLiteral("Read data error - AfComPort1 "));
    // The bytes stay queued; the answer to the next resend brings them in.
    Run(200);
    EXPECT_EQ(View(), kLinkConfirmed);
}

// --- read ---

TEST_F(MainForm, GoodDumpLoadsTheConfiguration) {
    sim::TBoardImage image = sim::DefaultBoardImage();
    image[ofs::Mode] = 7; // out of range: opens on ALL
    Start({}, image);
    ConfirmLink();
    Port.ClearWrites();
    Click(F().Button1);
    EXPECT_EQ(Port.Writes(), std::vector<std::string>{"$w657264C4\r\n"});
    Run(400);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(View(), kLoaded);
    EXPECT_EQ(F().Label2->text(), QStringLiteral("Firmware: v1.05 HX"));
    EXPECT_EQ(E().ItemCount(), 20);
    EXPECT_EQ(E().ComboBox1->count(), 20);
    EXPECT_EQ(E().ComboBox1->currentIndex(), 0);
    EXPECT_EQ(E().RadioGroup4->ItemIndex(), 1); // PAL
    EXPECT_EQ(F().Image.Mode(), 2);
    EXPECT_EQ(E().RadioGroup2->ItemIndex(), 2);
    EXPECT_TRUE(T1.Enabled()); // the blink tick
    EXPECT_EQ(T1.Interval(), 200u);
    EXPECT_TRUE(F().isWindowModified()); // the board's mode 7 becomes 2 with the next write
    for (std::size_t k = 0; k < ofs::ImageSize; ++k) {
        if (k != ofs::Mode) {
            ASSERT_EQ(F().Image.Byte(k), image[k]) << k;
        }
    }
}

TEST_F(MainForm, FirmwareLabelDropsTheTopThreeBits) {
    sim::TBoardImage image = sim::DefaultBoardImage();
    image[0] = 0x0A;
    image[1] = 0x21;
    Start({}, image);
    LoadConfiguration();
    EXPECT_EQ(F().Label2->text(), QStringLiteral("Firmware: v1.0A HX"));
}

TEST_F(MainForm, BadDumpLeavesTheEditorClosed) {
    sim::TBoardOptions options;
    options.badDumpCheck = true;
    Start(options);
    LoadConfiguration();
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral("ERROR reading data from OSD !")});
    // Read failed after Link confirmed: Read stays enabled, nothing else changes.
    EXPECT_EQ(View(), kLinkConfirmed);
    EXPECT_EQ(E().ItemCount(), 1);
}

TEST_F(MainForm, BadDumpAfterALoadedConfigurationIsTheReadFailedState) {
    Start();
    LoadConfiguration();
    sim::TBoardOptions bad;
    bad.badDumpCheck = true;
    Board = std::make_unique<sim::TOsdBoard>(bad);
    Click(F().Button1);
    Run(400);
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral("ERROR reading data from OSD !")});
    TStateView failed = kLoaded;
    failed.Button2Enabled = failed.Button4Enabled = false;
    failed.Button3Shown = failed.EditorShown = failed.Label2Shown = false;
    EXPECT_EQ(View(), failed); // Import, Button7/8 and the language as before the read
    // Opening or closing the port shows the language choice again.
    Click(F().Button6);
    EXPECT_EQ(View(), kClosed);
}

TEST_F(MainForm, UnansweredReadGivesUpAfterThreeRequests) {
    Start();
    ConfirmLink();
    Board = std::make_unique<sim::TOsdBoard>(sim::TBoardOptions{.neverAnswer = true});
    Port.ClearWrites();
    Click(F().Button1);
    Run(2390);
    EXPECT_TRUE(Boxes.empty());
    Run(20);
    EXPECT_EQ(Port.Writes().size(), 3u);
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral("Communication ERROR !")});
    EXPECT_EQ(View(), kLinkConfirmed);
}

TEST_F(MainForm, ReadWithThePortClosedOnlyHidesTheConfiguration) {
    Start();
    LoadConfiguration();
    Port.Close(); // the port went away behind the window's back
    Port.ClearWrites();
    Click(F().Button1);
    EXPECT_TRUE(Port.Writes().empty());
    EXPECT_FALSE(Shown(E().GroupBox2));
    EXPECT_FALSE(Shown(F().Button3));
    EXPECT_FALSE(Shown(F().Label2));
    EXPECT_FALSE(F().Button2->isEnabled());
    EXPECT_TRUE(F().Button5->isEnabled());
    EXPECT_FALSE(T1.Enabled());
    EXPECT_TRUE(Boxes.empty());
}

// Read, Write and FontMap Update pressed during another exchange say so; the check does
// nothing and leaves the running exchange's clock alone.
TEST_F(MainForm, ButtonsPressedWhileAnExchangeRunsSayBusy) {
    Start();
    LoadConfiguration();
    const std::uint64_t start = Clock.Now();
    Click(F().Button2); // write
    Run(10);
    const auto written = Port.Writes().size();
    Click(F().Button1);
    F().Button2Click();
    F().Button7Click();
    F().Button8Click();
    EXPECT_EQ(Port.Writes().size(), written);
    EXPECT_TRUE(Shown(E().GroupBox2)); // the configuration stays on screen
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>(3, QStringLiteral("OSD busy - try again !")));
    EXPECT_TRUE(DialogRequests.empty());
    for (int k = 0; k < 500 && F().Link->Busy(); ++k)
        Run(1);
    EXPECT_FALSE(F().Link->Busy());
    EXPECT_EQ(Board->Stats().BlockFramesTotal(), 16);
    // Timed from the write's start, not from the check pressed meanwhile.
    const double seconds = static_cast<double>(Clock.Now() - start) / 1000.0;
    EXPECT_EQ(F().StatusLine->toolTip(),
              QStringLiteral("Written 16 blocks in %1 s, verified")
                  .arg(QLocale(QLocale::English).toString(seconds, 'f', 2)));
}

// Every box, the unwritten-change question too, carries the application title and is
// centred on the window that raised it.
TEST_F(MainForm, MessageBoxBelongsToTheRaisingWindowWithTheApplicationTitle) {
    Start();
    EXPECT_EQ(MessageBoxOwner(), &F());
    W->Form2.setWindowModality(Qt::ApplicationModal);
    W->Form2.show();
    EXPECT_EQ(MessageBoxOwner(), &W->Form2); // "Changes Updated" belongs to the dialog
    W->Form2.hide();

    F().move(200, 60);
    const auto box = MakeMessageBox(TBoxKind::Message, QStringLiteral("Fonts loaded !"), &F());
    EXPECT_EQ(box->parentWidget(), &F());
    EXPECT_EQ(box->windowTitle(), QStringLiteral("HalvexCfg_KT"));
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    EXPECT_LE((box->frameGeometry().center() - F().frameGeometry().center()).manhattanLength(), 2);
    EXPECT_GT(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()) + 100);

    const auto question = MakeQuestionBox(QStringLiteral("Discard ?"), &F());
    EXPECT_EQ(question->parentWidget(), &F());
    EXPECT_EQ(question->windowTitle(), QStringLiteral("HalvexCfg_KT"));
    EXPECT_EQ(question->defaultButton(), question->button(QMessageBox::No));
}

// --- write ---

TEST_F(MainForm, ProgressWindowShowsThePercentBesideTheBar) {
    Start();
    TForm4& p = W->Form4;
    p.ProgressBar1->setValue(128);
    EXPECT_EQ(p.Label1->text(), QStringLiteral("50%"));
    p.ProgressBar1->setValue(255);
    EXPECT_EQ(p.Label1->text(), QStringLiteral("100%"));
    EXPECT_LE(p.ProgressBar1->geometry().right(), p.Label1->geometry().left());
    EXPECT_LE(p.Label1->sizeHint().width(), p.Label1->width());
    EXPECT_TRUE(p.rect().contains(p.Label1->geometry()));
}

// A board that acknowledges block 6 but does not keep it: the read-back finds it, the
// block goes once more, and the window names it; the editor and its unwritten mark stay.
TEST_F(MainForm, WriteTheBoardDoesNotKeepSaysVerifyFailedAndStaysModified) {
    sim::TBoardOptions forgetful;
    forgetful.forgetBlock = 6;
    Start(forgetful);
    LoadConfiguration();
    F().Image.SetByte(197, static_cast<std::uint8_t>(F().Image.Byte(197) + 1));
    const TImageBytes edited = Snapshot(F().Image);
    Click(F().Button2);
    Run(500);
    const QString failed =
        QStringLiteral("Verify failed: the OSD holds different data in block 6 (offsets 197)");
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{failed});
    EXPECT_EQ(F().StatusLine->toolTip(), failed);
    EXPECT_EQ(Board->Stats().blockFrames[6], 2);
    EXPECT_EQ(Snapshot(F().Image), edited);
    EXPECT_TRUE(F().isWindowModified());
}

TEST_F(MainForm, WriteSendsSixteenBlocksWithProgress) {
    Start();
    LoadConfiguration();
    F().Image.SetByte(300, 0x5A);
    F().Image.SetXPos(1, 3, 17);
    W->Form4.ProgressBar1->setValue(99);
    Progress.clear();
    Port.ClearWrites();
    Click(F().Button2);
    EXPECT_TRUE(W->Form4.isVisible());
    EXPECT_FALSE(W->Form4.isModal());
    Run(200);
    EXPECT_FALSE(W->Form4.isVisible());
    std::vector<int> expected;
    for (int k = 0; k < 16; ++k)
        expected.push_back(k * 16);
    EXPECT_EQ(Progress, expected);        // 0, 16, ... 240; never 255
    ASSERT_EQ(Port.Writes().size(), 17u); // 16 blocks and the read-back's request
    for (std::size_t k = 0; k < 16; ++k) {
        EXPECT_EQ(Port.Writes()[k].size(), 72u);
        EXPECT_EQ(Port.Writes()[k].substr(0, 4), "$w0" + std::string(1, "0123456789ABCDEF"[k]));
    }
    EXPECT_EQ(Port.Writes()[16], ReadFrame());
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        ASSERT_EQ(Board->Image()[k], F().Image.Byte(k)) << k;
    EXPECT_TRUE(Boxes.empty()); // a completed write shows no message
    EXPECT_TRUE(T1.Enabled());  // blinking resumes
    EXPECT_EQ(View(), kLoaded);
}

TEST_F(MainForm, WriteWithALostBlockGivesUp) {
    Start();
    LoadConfiguration();
    Board = std::make_unique<sim::TOsdBoard>(sim::TBoardOptions{.dropBlock = 9});
    Click(F().Button2);
    Run(2500);
    EXPECT_EQ(Board->Stats().blockFrames[8], 1);
    EXPECT_EQ(Board->Stats().blockFrames[9], 10);
    EXPECT_EQ(Board->Stats().blockFrames[10], 0);
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral("Communication ERROR !")});
    EXPECT_FALSE(W->Form4.isVisible());
    EXPECT_FALSE(T1.Enabled()); // the grid stops blinking
    EXPECT_EQ(View(), kLoaded);
}

// --- font upload ---

namespace {

QString WriteTempFile(QTemporaryDir& dir, const char* name, const std::string& text) {
    const QString path = dir.path() + u'/' + QString::fromLatin1(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

} // namespace

TEST_F(MainForm, FontUploadSendsAllCharactersOfAGoodFile) {
    Start();
    ConfirmLink();
    QTemporaryDir dir;
    const sim::TBoardFont font = PatternFont();
    NextPath = WriteTempFile(dir, "font.mcm", sim::FontToMcm(font));
    Port.ClearWrites();
    Progress.clear();
    Click(F().Button7);
    ASSERT_EQ(DialogRequests.size(), 1u);
    EXPECT_EQ(DialogRequests[0].Name, QStringLiteral("OpenDialog1"));
    EXPECT_FALSE(DialogRequests[0].Save);
    EXPECT_EQ(DialogRequests[0].Filter, QStringLiteral("MAX7456 Chars Files (*.mcm)"));
    EXPECT_EQ(DialogRequests[0].DefaultSuffix, QStringLiteral("mcm"));
    EXPECT_TRUE(W->Form4.isVisible());
    Run(2000);
    EXPECT_EQ(Board->Stats().CharFramesTotal(), 256);
    EXPECT_EQ(Port.Writes().size(), 256u);
    EXPECT_EQ(Board->Font(), font);
    EXPECT_EQ(Progress.back(), 255);
    EXPECT_EQ(Progress.size(), 255u); // 1 .. 255, one per acknowledged character
    EXPECT_FALSE(W->Form4.isVisible());
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{QStringLiteral("Fonts loaded !")});
    EXPECT_FALSE(T1.Enabled());
    EXPECT_EQ(View(), kLinkConfirmed);
}

// INAV's sets hold 512 characters: the board takes the first 256, and the window says so.
TEST_F(MainForm, ASetOf512CharactersSendsItsFirst256AfterANote) {
    Start();
    ConfirmLink();
    QTemporaryDir dir;
    std::string text = sim::FontToMcm(PatternFont());
    for (int row = 0; row < 256 * 64; ++row)
        text += "11111111\r\n";
    NextPath = WriteTempFile(dir, "inav.mcm", text);
    Click(F().Button7);
    Run(2000);
    EXPECT_EQ(Board->Font(), PatternFont());
    EXPECT_EQ(Texts(TBoxKind::Message).front(),
              QStringLiteral("This set holds 512 characters; the OSD takes characters 0-255"));
}

TEST_F(MainForm, BadCharacterSetFilesAreRejectedBeforeAnythingIsSent) {
    Start();
    ConfirmLink();
    QTemporaryDir dir;
    const std::string good = sim::FontToMcm(PatternFont());
    std::string lower = good;
    lower.replace(0, 7, "max7456");
    const std::string early = good.substr(0, good.size() - 500); // ends inside character 255
    std::string shortRow = good;
    shortRow.replace(shortRow.find("\r\n", 1000) - 8, 8, "0101"); // a row of 4 digits
    const std::string headerBlank = "MAX7456 " + good.substr(7);
    Port.ClearWrites();
    int shown = 0;
    const QString bad = QStringLiteral("Bad file format !");
    // A header that is "MAX7456" but for case or blanks: the box says what the first line needs.
    const QString header = bad + QStringLiteral(" (the first line must be \"MAX7456\" alone)");
    for (const auto& [name, text, expected] :
         {std::tuple{"lower.mcm", lower, header}, std::tuple{"early.mcm", early, bad},
          std::tuple{"short.mcm", shortRow, bad}, std::tuple{"blank.mcm", headerBlank, header}}) {
        NextPath = WriteTempFile(dir, name, text);
        Click(F().Button7);
        ++shown;
        ASSERT_EQ(Texts(TBoxKind::Message).size(), static_cast<std::size_t>(shown)) << name;
        EXPECT_EQ(Texts(TBoxKind::Message).back(), expected) << name;
    }
    EXPECT_TRUE(Port.Writes().empty());
    EXPECT_FALSE(W->Form4.isVisible());
    EXPECT_FALSE(F().Link->Busy());
}

TEST_F(MainForm, CharacterSetDialogCancelledOrFileMissing) {
    Start();
    ConfirmLink();
    Port.ClearWrites();
    NextPath.clear(); // cancelled
    Click(F().Button7);
    EXPECT_TRUE(Boxes.empty());
    NextPath = QStringLiteral("/nonexistent/halvex/font.mcm");
    Click(F().Button7);
    ASSERT_EQ(Texts(TBoxKind::Error).size(), 1u);
    EXPECT_TRUE(Texts(TBoxKind::Error)[0].startsWith(QStringLiteral("File not found")))
        << Texts(TBoxKind::Error)[0].toStdString();
    EXPECT_TRUE(Port.Writes().empty());
    EXPECT_EQ(View(), kLinkConfirmed);
}

// FontMap Update and the preview's "Font..." open in the folder either used last.
TEST_F(MainForm, CharacterSetDialogsShareTheLastFolder) {
    Start();
    ConfirmLink();
    QTemporaryDir first, second;
    NextPath = first.path() + QStringLiteral("/missing.mcm");
    Click(F().Button7);
    QString previewFolder;
    F().Preview()->FileDialog = [&](const TFileDialogRequest& request) {
        previewFolder = request.Directory;
        return second.path() + QStringLiteral("/other.mcm");
    };
    F().Preview()->FontButton->click();
    EXPECT_EQ(previewFolder, first.path());
    Click(F().Button7);
    EXPECT_EQ(DialogRequests.back().Directory, second.path());
}

TEST_F(MainForm, PolishMessagesFollowTheLanguage) {
    WritePrefs("Lang=1\n");
    sim::TBoardOptions options;
    options.badDumpCheck = true;
    Start(options);
    LoadConfiguration();
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral("Błąd odczytu danych z OSD !")});
}

// --- settings, export and import ---

TEST_F(MainForm, SettingsButtonRunsTheDialogAndRedraws) {
    Start();
    LoadConfiguration();
    int runs = 0;
    F().SettingsDialog = [&] {
        ++runs;
        // The user renames the pilot in the dialog; the grid shows it afterwards.
        const char name[] = "Ace";
        for (std::size_t k = 0; k < ofs::UserNameLen; ++k)
            F().Image.SetByte(ofs::UserName + k,
                              k < 3 ? static_cast<std::uint8_t>(name[k]) : std::uint8_t{0});
    };
    Click(F().Button3);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(F().Catalogue.UserNameSample(), "Ace");
}

TEST_F(MainForm, SettingsApplyIsSentThroughTheLink) {
    Start();
    LoadConfiguration();
    Port.ClearWrites();
    ASSERT_TRUE(W->Form2.OnApply);
    EXPECT_TRUE(W->Form2.OnApply());
    Run(50);
    ASSERT_EQ(Port.Writes().size(), 3u);
    EXPECT_EQ(Port.Writes()[0].substr(0, 4), "$w00");
    EXPECT_EQ(Port.Writes()[1].substr(0, 4), "$w0F");
    EXPECT_EQ(Port.Writes()[2], ReadFrame());
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{QStringLiteral("Changes Updated")});
    // With the port closed the refusal is reported, not thrown through the dialog.
    Port.Close();
    EXPECT_FALSE(W->Form2.OnApply());
    EXPECT_EQ(Texts(TBoxKind::Error).size(), 1u);
}

TEST_F(MainForm, ApplyWhileAWriteRunsChangesNothingAndSaysBusy) {
    Start();
    LoadConfiguration();
    Click(F().Button2);
    Run(3);
    const TConfigImage before = F().Image;
    W->Form2.Edit19->setText(QStringLiteral("Other"));
    W->Form2.Button1->setEnabled(true);
    W->Form2.Button2Click();
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{QStringLiteral("OSD busy - try again !")});
    EXPECT_EQ(0, std::memcmp(before.Data(), F().Image.Data(), ofs::ImageSize));
    EXPECT_TRUE(W->Form2.Button1->isEnabled()); // Restore stays
}

// After an unplug, Apply ends in the port's write error and puts the image back: the
// title's mark of unwritten changes goes with the change, not only when the dialog closes.
TEST_F(MainForm, ApplyRefusedAfterAnUnplugLeavesNoModifiedMark) {
    Start();
    LoadConfiguration();
    Port.OnDeviceLost();
    ASSERT_FALSE(F().isWindowModified());
    const TConfigImage before = F().Image;
    W->Form2.Edit19->setText(QStringLiteral("Other"));
    W->Form2.Button2Click();
    EXPECT_EQ(Texts(TBoxKind::Error).size(), 1u);
    EXPECT_EQ(0, std::memcmp(before.Data(), F().Image.Data(), ofs::ImageSize));
    EXPECT_FALSE(F().isWindowModified());
}

TEST_F(MainForm, ExportThenImportRestoresTheLayouts) {
    Start();
    LoadConfiguration();
    QTemporaryDir dir;
    NextPath = dir.path() + QStringLiteral("/board.set");
    Click(F().Button4);
    ASSERT_EQ(DialogRequests.size(), 1u);
    EXPECT_EQ(DialogRequests[0].Name, QStringLiteral("SaveDialog1"));
    EXPECT_TRUE(DialogRequests[0].Save);
    EXPECT_EQ(DialogRequests[0].Filter, QStringLiteral("Exported Settings (*.set)"));
    EXPECT_EQ(DialogRequests[0].DefaultSuffix, QStringLiteral("set"));
    ASSERT_TRUE(QFile::exists(NextPath));

    const std::uint8_t x = F().Image.XPos(1, 4);
    const std::uint8_t mah = F().Image.Byte(ofs::MahAlarm);
    F().Image.SetXPos(1, 4, static_cast<std::uint8_t>(x + 3));
    F().Image.SetByte(ofs::MahAlarm, static_cast<std::uint8_t>(mah + 1));
    int asked = 0;
    F().ImportOptions = [&](TLanguage language, int& flags) {
        ++asked;
        EXPECT_EQ(language, TLanguage::English);
        flags = 1; // screen layouts only
        return 1;
    };
    Click(F().Button5);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(DialogRequests.back().Name, QStringLiteral("OpenDialog2"));
    EXPECT_FALSE(DialogRequests.back().Save);
    // The dialogs open in the documents folder (never the working folder), then in the
    // folder last used for settings files.
    EXPECT_NE(DialogRequests[0].Directory, QDir::currentPath());
    EXPECT_EQ(DialogRequests.back().Directory, dir.path());
    EXPECT_EQ(F().Image.XPos(1, 4), x);                // layouts imported
    EXPECT_EQ(F().Image.Byte(ofs::MahAlarm), mah + 1); // main settings left alone
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainForm, CancelledFileDialogsDoNothing) {
    Start();
    LoadConfiguration();
    NextPath.clear();
    int asked = 0;
    F().ImportOptions = [&](TLanguage, int&) { return ++asked; };
    Click(F().Button4);
    Click(F().Button5);
    EXPECT_EQ(DialogRequests.size(), 2u);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainForm, ImportOfAMissingFileIsReported) {
    Start();
    LoadConfiguration();
    NextPath = QStringLiteral("/nonexistent/halvex/board.set");
    F().ImportOptions = [](TLanguage, int& flags) {
        flags = 3;
        return 1;
    };
    const std::vector<std::uint8_t> before(F().Image.Data(), F().Image.Data() + ofs::ImageSize);
    Click(F().Button5);
    EXPECT_EQ(Texts(TBoxKind::Error).size(), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(F().Image.Data(), F().Image.Data() + ofs::ImageSize),
              before);
    EXPECT_EQ(View(), kLoaded);
}

// The connection check counts its tries on the status line; an answer without a letter
// says so instead of showing a NUL character.
TEST_F(MainForm, CheckCountsItsTriesAndAnAnswerWithoutALetterSaysSo) {
    Start();
    Board.reset(); // nothing answers
    OpenPort();
    Click(F().Button8);
    EXPECT_EQ(F().StatusLine->toolTip(), QStringLiteral("Checking the OSD... try 1 of 60"));
    Run(1100);
    EXPECT_EQ(F().StatusLine->toolTip(), QStringLiteral("Checking the OSD... try 12 of 60"));
    Port.Feed("#+");
    for (int k = 0; k < 6000 && F().Link->Busy(); ++k)
        Run(1); // the answers to the other copies are waited for
    EXPECT_FALSE(F().Link->Busy());
    EXPECT_EQ(F().StatusLine->toolTip(), QStringLiteral("OSD answered without a letter"));
    EXPECT_FALSE(F().StatusLine->text().contains(QChar(0)));
}

// Apply's time ends when the board has acknowledged, not when "Changes Updated" is closed;
// Polish texts write it with the decimal comma. The Polish question before a Read.
TEST_F(MainForm, ApplyTimeEndsWithTheAcknowledgementAndPolishUsesTheDecimalComma) {
    WritePrefs("Lang=1\n");
    Start();
    LoadConfiguration();
    std::int64_t shownAfter = -1;
    const std::uint64_t start = Clock.Now();
    MessageBoxHook() = [&](TBoxKind kind, const QString& text) {
        Boxes.push_back({kind, text});
        shownAfter = static_cast<std::int64_t>(Clock.Now() - start);
        Clock.Advance(5000); // the box stays open for five seconds
    };
    ASSERT_TRUE(W->Form2.OnApply());
    Run(100);
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{QStringLiteral("Zmiany Zapisane")});
    ASSERT_GT(shownAfter, 0);
    const QString seconds =
        QLocale(QLocale::Polish).toString(static_cast<double>(shownAfter) / 1000.0, 'f', 2);
    EXPECT_TRUE(seconds.contains(u','));
    EXPECT_EQ(F().StatusLine->toolTip(),
              QStringLiteral("Ustawienia zastosowane w %1 s, sprawdzono").arg(seconds));
    E().CheckBox3->click();
    Answer = false;
    Click(F().Button1);
    EXPECT_EQ(Questions,
              std::vector<QString>{QString::fromUtf8("Odrzucić zmiany niezapisane w OSD ?")});
}

// A file with none of the chosen sections is refused whole; in a settings file the lines
// that changed nothing are counted on the status line.
TEST_F(MainForm, ImportRefusesAFileThatIsNoSettingsFileAndCountsIgnoredLines) {
    Start();
    LoadConfiguration();
    QTemporaryDir dir;
    F().ImportOptions = [](TLanguage, int& flags) {
        flags = 3;
        return 1;
    };
    const TImageBytes before = Snapshot(F().Image);
    const sim::TBoardFont font = PatternFont();
    NextPath = WriteTempFile(dir, "wrong.set", sim::FontToMcm(font));
    Click(F().Button5);
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{QStringLiteral("Bad file format !")});
    EXPECT_EQ(Snapshot(F().Image), before);
    EXPECT_FALSE(E().History.CanUndo());
    EXPECT_EQ(F().StatusLine->toolTip(), QStringLiteral("Nothing imported from wrong.set"));

    NextPath = WriteTempFile(dir, "club.set",
                             "[MAIN]\r\nDist_Alarm=abc\r\nRSSI_Alarm=50\r\n"
                             "Bogus=1\r\n\r\n");
    Click(F().Button5);
    EXPECT_EQ(F().Image.RssiAlarm(), 50);
    EXPECT_EQ(F().StatusLine->toolTip(), QStringLiteral("Imported from club.set, 2 lines ignored"));
    ClickRadio(F().RadioGroup6->Button(1)); // the status follows the language
    EXPECT_EQ(F().StatusLine->toolTip(),
              QString::fromUtf8("Zaimportowano z club.set, pominięto 2 wiersze"));
}

// A read error part-way: the lines applied before it stay as one undoable step, marked.
TEST_F(MainForm, ImportStoppedByAReadErrorIsMarkedAndUndoable) {
    Start();
    LoadConfiguration();
    QTemporaryDir dir;
    const QString path = WriteTempFile(dir, "long.set", "[MODE_OFF]\r\nSpeed.X_Pos=21\r\n");
    {
        QFile file(path); // sparse: larger than any settings file may be
        ASSERT_TRUE(file.resize(65 * 1024 * 1024));
    }
    NextPath = path;
    F().ImportOptions = [](TLanguage, int& flags) {
        flags = 1; // screen layouts
        return 1;
    };
    const std::uint8_t x = F().Image.XPos(0, 8);
    ASSERT_NE(x, 21);
    Click(F().Button5);
    EXPECT_EQ(Texts(TBoxKind::Error).size(), 1u);
    EXPECT_EQ(F().Image.XPos(0, 8), 21);
    EXPECT_TRUE(F().isWindowModified());
    E().Undo();
    EXPECT_EQ(F().Image.XPos(0, 8), x);
    EXPECT_FALSE(F().isWindowModified());
}

// Undoing the settings back to an image without a name shows the name shown before.
TEST_F(MainForm, UndoingTheSettingsBackToNoNameShowsTheEarlierName) {
    sim::TBoardImage image = sim::DefaultBoardImage();
    std::fill_n(image.begin() + ofs::UserName, ofs::UserNameLen, std::uint8_t{0xFF});
    Start({}, image);
    LoadConfiguration();
    ASSERT_EQ(F().Catalogue.UserNameSample(), "Pilot");
    F().SettingsDialog = [this] {
        W->Form2.FormShow();
        W->Form2.Edit19->setText(QStringLiteral("Ace"));
        W->Form2.Button2Click();
        Run(100);
    };
    Click(F().Button3);
    ASSERT_EQ(F().Catalogue.UserNameSample(), "Ace");
    E().Undo();
    EXPECT_EQ(F().Image.StoredUserName(), "");
    EXPECT_EQ(F().Catalogue.UserNameSample(), "Pilot");
    E().Redo();
    EXPECT_EQ(F().Catalogue.UserNameSample(), "Ace");
}

// Quitting during a transfer asks first, No the default: No lets it finish, Yes stops it
// and quits without asking about the unwritten changes too.
TEST_F(MainForm, QuittingDuringATransferAsksAndNoLetsItFinish) {
    Start();
    LoadConfiguration();
    E().CheckBox3->click();
    Click(F().Button2); // write
    Run(3);
    Answer = false;
    EXPECT_FALSE(F().close());
    EXPECT_EQ(Questions, std::vector<QString>{QStringLiteral(
                             "A transfer to the OSD is running - stop it and quit ?")});
    Run(200);
    EXPECT_EQ(Board->Stats().BlockFramesTotal(), 16);
    EXPECT_FALSE(F().isWindowModified());

    E().CheckBox3->click();
    Click(F().Button2);
    Run(3);
    Questions.clear();
    Answer = true;
    EXPECT_TRUE(F().close());
    EXPECT_EQ(Questions.size(), 1u);
    EXPECT_FALSE(F().Link->Busy());
    EXPECT_FALSE(Port.IsOpen());
}

namespace halvex {
namespace {

TEST_F(MainForm, UnwrittenChangesAreMarkedAndAReadAnsweredNoSendsNothing) {
    Start();
    LoadConfiguration();
    EXPECT_FALSE(F().isWindowModified());
    E().CheckBox1->click();
    EXPECT_TRUE(F().isWindowModified());
    Answer = false;
    Port.ClearWrites();
    Click(F().Button1);
    Run(400);
    EXPECT_EQ(Questions, std::vector<QString>{"Discard changes not written to the OSD ?"});
    EXPECT_TRUE(Port.Writes().empty());
    EXPECT_EQ(F().State(), TWindowState::Loaded);
    EXPECT_TRUE(F().isWindowModified());
    // A completed write is what the board holds; undoing past it is a change again.
    Click(F().Button2);
    Run(200);
    EXPECT_FALSE(F().isWindowModified());
    E().Undo();
    EXPECT_TRUE(F().isWindowModified());
    E().Redo();
    EXPECT_FALSE(F().isWindowModified());
    EXPECT_EQ(F().StatusLine->toolTip(), QStringLiteral("Redone: change Artifical Horizon"));
}

} // namespace
} // namespace halvex
