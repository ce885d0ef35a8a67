// Test rig of the main window: the four windows built with a fake port answered by the
// simulated board logic, manual-clock timers, recorded message boxes and a preference
// store in a temporary XDG_CONFIG_HOME.
#pragma once

#include "FakeLinkPort.h"
#include "GuiTestApp.h"
#include "ManualClock.h"
#include "OsdBoard.h"
#include "QtPrint.h"
#include "config/Texts.h"
#include "link/LinkTimer.h"
#include "link/OsdLink.h"
#include "serial/AfPortPaths.h"
#include "ui/AfPortControls.h"
#include "ui/AppWindows.h"
#include "ui/Controls.h"
#include "ui/ExceptionReport.h"
#include "ui/LayoutEditor.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace halvex::test {

// The test application set up as the program sets up its own (name, font, error reports).
inline QApplication& AppTestApp() {
    static QApplication& app = []() -> QApplication& {
        QApplication& a = GuiTestApp();
        SetUpApplication(a);
        return a;
    }();
    return app;
}

struct TRecordedBox {
    TBoxKind Kind;
    QString Text;
};

class AppRig : public ::testing::Test {
protected:
    void SetUp() override {
        AppTestApp();
        ASSERT_TRUE(config_.isValid());
        oldXdg_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        MessageBoxHook() = [this](TBoxKind kind, const QString& text) {
            Boxes.push_back({kind, text});
        };
        Port.SetComNumber(3);
        Port.OnWrite = [this](const std::string& bytes) {
            if (Board)
                pending_ += Board->Receive(bytes);
        };
    }

    void TearDown() override {
        W.reset();
        UseModalMessageBoxes();
        TAfPortPaths::ClearOverrides();
        if (oldXdg_.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldXdg_);
    }

    QString PrefsPath() const { return config_.path() + QStringLiteral("/Brenn/HalvexCfg.ini"); }

    // A preferences file as a user or an earlier run left it.
    void WritePrefs(const QByteArray& values) {
        QDir().mkpath(config_.path() + QStringLiteral("/Brenn"));
        QFile f(PrefsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[SOFTWARE\\Brenn\\HalvexCfg]\n" + values);
    }

    // A stored value as text; empty when missing.
    QString StoredValue(const char* name) {
        TPreferences p(PrefsPath());
        const TPreferenceKey key = p.Open(false);
        return key ? key->ReadString(QString::fromLatin1(name)).value_or(QString()) : QString();
    }

    // The preference folder replaced by a plain file: nothing can be stored.
    void MakeStoreUnwritable() {
        QDir(config_.path() + QStringLiteral("/Brenn")).removeRecursively();
        QFile blocker(config_.path() + QStringLiteral("/Brenn"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    // Builds the windows and shows the main window (its show event restores the
    // preferences).
    void Start(sim::TBoardOptions options = {},
               const sim::TBoardImage& image = sim::DefaultBoardImage()) {
        Board = std::make_unique<sim::TOsdBoard>(options, image);
        W = std::make_unique<TApplicationWindows>(TForm1Parts{Port, T1, T2});
        W->Form1.FileDialog = [this](const TFileDialogRequest& request) {
            DialogRequests.push_back(request);
            return NextPath;
        };
        W->Form1.Question = [this](const QString& question) {
            Questions.push_back(question);
            return Answer;
        };
        // The fake port has no device for the doctor to look at: no finding, the wiring.
        W->Form1.NoAnswerCause = [](int, TLanguage language) {
            return QString::fromUtf8(DoctorText(TDoctorText::WindowNoAnswer, language));
        };
        QObject::connect(W->Form4.ProgressBar1, &QProgressBar::valueChanged,
                         [this](int v) { Progress.push_back(v); });
        W->Form1.show();
        // Lay the window out as the event loop would before the first click.
        QApplication::processEvents();
    }

    // Virtual time passes in 1 ms steps; the board's replies arrive at each step.
    void Run(std::uint64_t ms) {
        for (std::uint64_t k = 0; k < ms; ++k) {
            Deliver();
            Clock.Advance(1);
        }
        Deliver();
    }
    void Deliver() {
        if (pending_.empty())
            return;
        const std::string bytes = std::move(pending_);
        pending_.clear();
        Port.Feed(bytes);
    }

    TForm1& F() { return W->Form1; }
    TLayoutEditor& E() { return *W->Form1.Editor; }
    static void Click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // A radio button reacts only on its circle and text, not on the blank to their right.
    static void ClickRadio(QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }
    static bool Shown(const QWidget* w) { return !w->isHidden(); }

    // Closed -> Port open -> Link confirmed.
    void OpenPort() { Click(F().Button6); }
    void ConfirmLink() {
        OpenPort();
        Click(F().Button8);
        Run(10);
    }
    // ... -> Configuration loaded.
    void LoadConfiguration() {
        ConfirmLink();
        Click(F().Button1);
        Run(400);
    }

    std::vector<QString> Texts(TBoxKind kind) const {
        std::vector<QString> out;
        for (const auto& b : Boxes)
            if (b.Kind == kind)
                out.push_back(b.Text);
        return out;
    }

    TManualClock Clock;
    TLinkTimer& T1 = Clock.MakeTimer();
    TLinkTimer& T2 = Clock.MakeTimer();
    TFakeLinkPort Port{false};
    std::unique_ptr<sim::TOsdBoard> Board;
    std::unique_ptr<TApplicationWindows> W;
    std::vector<TRecordedBox> Boxes;
    std::vector<TFileDialogRequest> DialogRequests;
    QString NextPath;
    std::vector<QString> Questions; // Yes/No questions asked, answered with Answer
    bool Answer = true;
    std::vector<int> Progress;

private:
    QTemporaryDir config_;
    QByteArray oldXdg_;
    std::string pending_;
};

} // namespace halvex::test
