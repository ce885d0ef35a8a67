// The halvexctl program against the simulated board on a pseudo-terminal: each command
// once (a preset applied as the window's chooser applies it), a silent board, a malformed character
// set file, Ctrl+C during an upload, and the doctor on a healthy, a held, a private and a vanished
// port.
//
// Real time (the program's own event loop, serial threads and timers). The waits are on
// the program's exit and on the board's state, with generous limits; no result depends on
// how fast anything was.
#include "BoardTestSupport.h"
#include "LinkStack.h"
#include "SerialTestSupport.h"

#include "config/ConfigImage.h"
#include "config/ItemCatalogue.h"
#include "config/LayoutPresets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace halvex::sim {
namespace {

using namespace std::chrono_literals;
using test::TempPath;
using test::Unpaced;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct TRun {
    int exit = -1;
    std::string out;
    std::string err;
};

class Halvexctl : public ::testing::Test {
protected:
    void TearDown() override {
        if (sim)
            sim->Stop();
        for (const std::string& path : files)
            std::filesystem::remove_all(path);
    }

    void Boot(const TSimulatorOptions& options, const TBoardImage& image = DefaultBoardImage()) {
        TSimulatorOptions o = options;
        o.linkPath = board;
        sim = std::make_unique<TOsdSimulator>(o, image);
        sim->Open();
        sim->Start();
    }

    std::string Temp(const std::string& name) {
        files.push_back(TempPath("cli-" + name));
        return files.back();
    }

    // Starts halvexctl --port <board> ARGS with its own (empty) preferences folder.
    void Start(QProcess& process, const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(Temp("config")));
        process.setProcessEnvironment(env);
        QStringList all{QStringLiteral("--port"), QString::fromStdString(board)};
        all << args;
        process.start(QStringLiteral(HALVEXCTL_PATH), all);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    TRun Finish(QProcess& process) {
        EXPECT_TRUE(process.waitForFinished(50000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    TRun Run(const QStringList& args) {
        QProcess process;
        Start(process, args);
        return Finish(process);
    }

    static QString Q(const std::string& text) { return QString::fromStdString(text); }

    // A file refused before the board was touched.
    void ExpectRefusedFile(const TRun& r) {
        EXPECT_EQ(r.exit, 3);
        EXPECT_EQ(r.err.rfind("Bad file format !", 0), 0u) << r.err;
        EXPECT_TRUE(sim->History().empty());
    }

    const std::string board = TempPath("cli-board"); // the board's pty link
    std::unique_ptr<TOsdSimulator> sim;
    std::vector<std::string> files;
};

TEST_F(Halvexctl, CheckSaysReady) {
    Boot(Unpaced());
    const TRun r = Run({QStringLiteral("check")});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "ready\n");
}

TEST_F(Halvexctl, PortsListsTheGivenDeviceAsAvailable) {
    Boot(Unpaced());
    const TRun r = Run({QStringLiteral("--json"), QStringLiteral("ports")});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("\"path\":\"" + board + "\",\"state\":\"available\""), std::string::npos)
        << r.out;
}

// The checkout's presets (the program runs from the build tree) and the user's own, from
// the XDG data folder; an argument is wrong usage.
TEST_F(Halvexctl, PresetsListsTheShippedAndTheOwnWithTheirFiles) {
    const std::string data = Temp("data");
    std::filesystem::create_directories(data + "/halvexcfg/presets");
    WriteFile(data + "/halvexcfg/presets/Club.set", "[MODE_ALL]\r\n\r\n");
    const auto presets = [&](const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), Q(data));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(HALVEXCTL_PATH), args);
        return Finish(process);
    };
    const TRun r = presets({QStringLiteral("presets")});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Race             shipped  /", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("/data/presets/race.set\nFreestyle "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nClub             own      " + data + "/halvexcfg/presets/Club.set\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(presets({QStringLiteral("presets"), QStringLiteral("Race")}).exit, 2);
}

TEST_F(Halvexctl, ReadWritesTheBoardsImage) {
    Boot(Unpaced());
    const std::string file = Temp("read.bin");
    const TRun r = Run({QStringLiteral("read"), QStringLiteral("--image"), Q(file)});
    EXPECT_EQ(r.exit, 0) << r.err;
    const TBoardImage board = sim->Image();
    EXPECT_EQ(ReadFile(file), std::string(board.begin(), board.end()));
}

// An image as the board's own, with the area 256-499 (not interpreted) made different.
std::string BoardLikeImage(std::size_t size = kImageSize) {
    const TBoardImage board = DefaultBoardImage();
    std::string bytes(board.begin(), board.end());
    for (std::size_t k = 256; k < 500; ++k)
        bytes[k] = static_cast<char>(k * 7 + 3);
    bytes.resize(size, '\x5A');
    return bytes;
}

TEST_F(Halvexctl, WriteStoresTheFilesImageAndIgnoresA513thByte) {
    Boot(Unpaced());
    const std::string bytes = BoardLikeImage(kDumpSize);
    const std::string file = Temp("write.bin");
    WriteFile(file, bytes);
    const TRun r = Run(
        {QStringLiteral("--json"), QStringLiteral("write"), QStringLiteral("--image=") + Q(file)});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"ok\":true,\"command\":\"write\",\"blocks\":16,", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"verified\":true"), std::string::npos) << r.out;
    const TBoardImage board = sim->Image();
    EXPECT_EQ(std::string(board.begin(), board.end()), bytes.substr(0, kImageSize));
}

// --verbose: the trace of the link and the serial port on stderr, with the lost block's
// resend; the result line on stdout as without it.
TEST_F(Halvexctl, VerboseTracesTheFramesAndTheResendOnStderr) {
    TSimulatorOptions o = Unpaced();
    o.board.dropBlock = 3;
    o.board.dropBlockTimes = 1;
    Boot(o);
    const std::string file = Temp("trace.bin");
    WriteFile(file, BoardLikeImage());
    const TRun r = Run(
        {QStringLiteral("--verbose"), QStringLiteral("write"), QStringLiteral("--image"), Q(file)});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out.rfind("written 16 blocks in ", 0), 0u) << r.out;
    // The port given as a path is named by it, not by the number it was mapped to.
    for (const std::string& line : {"halvex.serial: " + board + " open\n",
                                    std::string("halvex.link: test frame sent (try 1 of 60"),
                                    std::string("halvex.link: block 3 sent (try 1 of 10"),
                                    std::string("halvex.link: block 3 resent (try 2 of 10)"),
                                    std::string("halvex.link: fence sent (try 1 of 10"),
                                    std::string("halvex.link: write done in ")})
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
}

// Every write is read back; a board that acknowledges block 9 without keeping it gets it
// once more, and then the block is named.
TEST_F(Halvexctl, WriteReadsTheBoardBackAndNamesTheBlockItDoesNotKeep) {
    const std::string file = Temp("verify.bin");
    WriteFile(file, BoardLikeImage());
    const QStringList args{QStringLiteral("write"), QStringLiteral("--image"), Q(file)};
    Boot(Unpaced());
    const TRun good = Run(args);
    EXPECT_EQ(good.exit, 0) << good.err;
    EXPECT_NE(good.out.find(" s, verified\n"), std::string::npos) << good.out;
    sim->Stop();
    TSimulatorOptions forgetful = Unpaced();
    forgetful.board.forgetBlock = 9;
    Boot(forgetful);
    const TRun bad = Run(QStringList{QStringLiteral("--json")} + args);
    EXPECT_EQ(bad.exit, 1);
    EXPECT_EQ(bad.err,
              "Verify failed: the OSD holds different data in block 9 (offsets 288-319)\n");
    EXPECT_NE(bad.out.find("\"verified\":false"), std::string::npos) << bad.out;
    EXPECT_EQ(sim->Stats().blockFrames[9], 2);
    // Without the read-back the board's fault goes unseen, as asked.
    const TRun unchecked = Run(args + QStringList{QStringLiteral("--no-verify")});
    EXPECT_EQ(unchecked.exit, 0) << unchecked.err;
    EXPECT_EQ(unchecked.out.find("verified"), std::string::npos) << unchecked.out;
}

// An image for other firmware, or with a field out of range where it differs from the
// board, is refused after reading the board and before any block; --force sends it.
TEST_F(Halvexctl, WriteRefusesAnImageForAnotherBoardUnlessForced) {
    Boot(Unpaced());
    std::string junk = BoardLikeImage();
    junk[0] = '\x2D';
    junk[1] = '\x03';
    const std::string file = Temp("junk.bin");
    WriteFile(file, junk);
    const QStringList args{QStringLiteral("write"), QStringLiteral("--image"), Q(file)};
    const TRun refused = Run(args);
    EXPECT_EQ(refused.exit, 3);
    EXPECT_EQ(refused.err, "Bad file format ! (firmware v3.2D in the image, v1.05 on the OSD)\n");
    EXPECT_EQ(sim->Stats().BlockFramesTotal(), 0);
    const TRun forced = Run(args + QStringList{QStringLiteral("--force")});
    EXPECT_EQ(forced.exit, 0) << forced.err;
    EXPECT_EQ(sim->Image()[0], 0x2D);
}

TEST_F(Halvexctl, ExportWritesTheBoardsSettings) {
    TBoardImage image = DefaultBoardImage();
    image[ofs::FlytimAlarm] = 42;
    Boot(Unpaced(), image);
    const std::string file = Temp("export.set");
    const TRun r = Run({QStringLiteral("export"), Q(file)});
    EXPECT_EQ(r.exit, 0) << r.err;
    const std::string text = ReadFile(file);
    EXPECT_EQ(text.rfind("[MAIN]\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\nFlytim_Alarm=42\r\n"), std::string::npos);
}

TEST_F(Halvexctl, ImportOfLayoutsOnlyChangesTheLayoutsOnTheBoard) {
    Boot(Unpaced());
    const TBoardImage before = sim->Image();
    const std::string file = Temp("import.set");
    // Speed (item 8) in layout mode MIN moves to column 21; the [MAIN] line is not chosen.
    WriteFile(file, "[MAIN]\r\nFlytim_Alarm=77\r\n\r\n[MODE_MIN]\r\nSpeed.X_Pos=21\r\n\r\n");
    const TRun r = Run({QStringLiteral("import"), Q(file), QStringLiteral("--layouts")});
    EXPECT_EQ(r.exit, 0) << r.err;
    const TBoardImage after = sim->Image();
    EXPECT_EQ(after[ItemRecordOffset(1, 8) + 1], 21);
    EXPECT_EQ(after[ofs::FlytimAlarm], before[ofs::FlytimAlarm]);
}

// A file that is no settings file is refused before the board is touched; in a settings
// file the lines that changed nothing are counted.
TEST_F(Halvexctl, ImportRefusesAFileWithoutAChosenSectionAndCountsIgnoredLines) {
    Boot(Unpaced());
    const std::string junk = Temp("junk.set");
    WriteFile(junk, "garbage\r\n");
    ExpectRefusedFile(Run({QStringLiteral("import"), Q(junk)}));

    const std::string file = Temp("club.set");
    WriteFile(file, "[MAIN]\r\nDist_Alarm=abc\r\nFlytim_Alarm=42\r\n\r\n");
    const TRun r = Run({QStringLiteral("--json"), QStringLiteral("import"), Q(file)});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("\"lineErrors\":1"), std::string::npos) << r.out;
    EXPECT_EQ(sim->Image()[ofs::FlytimAlarm], 42);
}

// preset applies the named preset to the layout mode the board is in, as the window's
// chooser does: the item options and the horizon's sensitivities stay, and so do the other
// layouts; --all takes all three. An unknown name is refused before the board is touched.
TEST_F(Halvexctl, PresetAppliesToTheBoardsModeAndKeepsItemOptions) {
    TBoardImage image = DefaultBoardImage();
    image[ofs::Mode] = 1;                                         // MIN
    image[ItemRecordOffset(1, item::Variometer)] |= flag::Option; // audible vario
    image[ItemRecordOffset(1, item::Horizon) + 1] = 77;           // Nick sensitivity
    Boot(Unpaced(), image);
    EXPECT_EQ(Run({QStringLiteral("preset"), QStringLiteral("Nowhere")}).exit, 2);
    EXPECT_TRUE(sim->History().empty());

    const TRun r = Run({QStringLiteral("preset"), QStringLiteral("race")});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Preset Race applied to MIN; written 16 blocks in ", 0), 0u) << r.out;
    TConfigImage before;
    std::copy(image.begin(), image.end(), before.Data());
    TItemCatalogue catalogue;
    const TConfigImage race =
        TPresetLibrary::Load(QStringLiteral(HALVEX_CHECKOUT_PRESETS "/race.set"), before, catalogue)
            .value();
    const TBoardImage after = sim->Image();
    for (int i = 1; i < kItemCount; ++i) {
        const std::size_t min = ItemRecordOffset(1, i);
        EXPECT_EQ(after[min] & ~flag::Option, race.Flags(1, i)) << i;
        EXPECT_EQ(after[min + 1], race.XPos(1, i)) << i;
        EXPECT_EQ(after[min + 2], race.YPos(1, i)) << i;
        for (const int other : {0, 2})
            for (std::size_t k = 0; k < 3; ++k)
                EXPECT_EQ(after[ItemRecordOffset(other, i) + k],
                          image[ItemRecordOffset(other, i) + k])
                    << other << " " << i;
    }
    EXPECT_TRUE(after[ItemRecordOffset(1, item::Variometer)] & flag::Option);
    EXPECT_EQ(after[ItemRecordOffset(1, item::Horizon) + 1], 77);

    const TRun all = Run({QStringLiteral("--json"), QStringLiteral("preset"),
                          QStringLiteral("Long range"), QStringLiteral("--all")});
    EXPECT_EQ(all.exit, 0) << all.err;
    EXPECT_NE(all.out.find("\"layouts\":[\"OFF\",\"MIN\",\"ALL\"]"), std::string::npos) << all.out;
    EXPECT_EQ(sim->Image()[ItemRecordOffset(2, item::Latitude)] & flag::Visible, flag::Visible);
}

TEST_F(Halvexctl, FontUploadsEveryCharacter) {
    Boot(Unpaced());
    TBoardFont font{};
    for (int c = 0; c < kCharCount; ++c)
        for (std::size_t r = 0; r < kCharBytes; ++r)
            font[static_cast<std::size_t>(c)][r] = static_cast<std::uint8_t>(c ^ (r * 37));
    const std::string file = Temp("font.mcm");
    WriteFile(file, FontToMcm(font));
    const TRun r = Run({QStringLiteral("font"), Q(file)});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Fonts loaded ! 256 characters in ", 0), 0u) << r.out;
    EXPECT_EQ(sim->Font(), font);
}

TEST_F(Halvexctl, SilentBoardEndsInCommunicationErrorAfterTheCheck) {
    TSimulatorOptions o = Unpaced();
    o.board.neverAnswer = true;
    Boot(o);
    const TRun r = Run({QStringLiteral("check")});
    EXPECT_EQ(r.exit, 1);
    // The doctor finds nothing wrong with the port (the simulated board's own end of the
    // line is no other program): the wiring is the likeliest cause.
    EXPECT_EQ(r.err, "Communication ERROR ! (no answer to the connection check after 60 tries); "
                     "no answer: check the board's power, TX/RX crossed, grounds joined\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(Halvexctl, MalformedFontFileExitsWithThreeAndSendsNothing) {
    Boot(Unpaced());
    const std::string file = Temp("bad.mcm");
    WriteFile(file, "MAX7456 \r\n00000000\r\n");
    ExpectRefusedFile(Run({QStringLiteral("font"), Q(file)}));
}

TEST_F(Halvexctl, CtrlCStopsTheUploadAndSaysWhatWasInterrupted) {
    Boot(TSimulatorOptions{}); // paced at 57600 baud: the upload takes seconds
    TBoardFont font{};
    const std::string file = Temp("ctrlc.mcm");
    WriteFile(file, FontToMcm(font));
    QProcess process;
    Start(process, {QStringLiteral("font"), Q(file)});
    ASSERT_TRUE(sim->WaitFor([](const TOsdBoard& b) { return b.CharStored(10); }, 30s));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    const TRun r = Finish(process);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err.rfind("Font upload interrupted - repeat FontMap Update ! (Ctrl+C after ", 0),
              0u)
        << r.err;
    EXPECT_FALSE(sim->CharStored(255));
    // The board's late answer to the character in flight is not taken for the next
    // session's answer.
    const TRun again = Run({QStringLiteral("check")});
    EXPECT_EQ(again.exit, 0) << again.err;
}

// The checks of `halvexctl --json doctor`, by name.
std::map<std::string, QJsonObject> DoctorChecks(const std::string& json) {
    std::map<std::string, QJsonObject> checks;
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    for (const QJsonValue& check : report.value(QStringLiteral("checks")).toArray())
        checks[check[QStringLiteral("name")].toString().toStdString()] = check.toObject();
    return checks;
}

std::string Field(const QJsonObject& check, const char* name) {
    return check.value(QString::fromLatin1(name)).toString().toStdString();
}

TEST_F(Halvexctl, DoctorPassesEveryCheckOnAHealthyBoard) {
    Boot(Unpaced());
    const TRun r = Run({QStringLiteral("doctor")});
    EXPECT_EQ(r.exit, 0) << r.out << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("ok    ", 0), 0u) << line;
        names.push_back(line.substr(6, line.find(' ', 6) - 6));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"device", "permission", "in-use", "modem-manager",
                                               "brltty", "board"}));
    EXPECT_NE(r.out.find("\nok    board          the board answered \"R\" to the connection "
                         "check in "),
              std::string::npos)
        << r.out;
}

TEST_F(Halvexctl, DoctorNamesTheProgramHoldingThePort) {
    Boot(Unpaced());
    const halvex::test::THolderProcess holder(board);
    const TRun r = Run({QStringLiteral("--json"), QStringLiteral("doctor")});
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_EQ(r.out.rfind("{\"ok\":false,\"command\":\"doctor\",", 0), 0u) << r.out;
    auto checks = DoctorChecks(r.out);
    std::string name = ReadFile("/proc/self/comm"); // the holder is a fork of this process
    name.pop_back();
    const std::string pid = std::to_string(holder.Pid());
    EXPECT_EQ(Field(checks["in-use"], "status"), "fail");
    EXPECT_EQ(Field(checks["in-use"], "detail"), "in use by " + name + " (PID " + pid + ")");
    EXPECT_EQ(Field(checks["in-use"], "fix"),
              "close " + name + ", or end it with \"kill " + pid + "\"");
    EXPECT_EQ(Field(checks["board"], "status"), "skip");
}

// A program with the port open and no lock ("sleep 600 < /dev/ttyS0") would take the board's
// answers: the board commands refuse the port and name the program; nothing is sent.
TEST_F(Halvexctl, BoardCommandRefusesAPortAnotherProgramHolds) {
    Boot(Unpaced());
    const halvex::test::THolderProcess holder(board, false);
    const TRun r = Run({QStringLiteral("check")});
    EXPECT_EQ(r.exit, 1);
    std::string name = ReadFile("/proc/self/comm"); // the holder is a fork of this process
    name.pop_back();
    EXPECT_EQ(r.err, "Can't open device " + board + ": in use by " + name + " (PID " +
                         std::to_string(holder.Pid()) + ")\n");
    EXPECT_TRUE(sim->History().empty());
}

// No port given or stored: the checks that need none, and the ports found, among them the
// number the preferences map to the board.
TEST_F(Halvexctl, DoctorWithoutAPortRunsTheSystemChecksAndListsThePorts) {
    Boot(Unpaced());
    const std::string config = Temp("own-config");
    std::filesystem::create_directories(config + "/Brenn");
    WriteFile(config + "/Brenn/HalvexCfg.ini",
              "[SOFTWARE\\Brenn\\HalvexCfg]\nCOM5=" + board + "\n");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Q(config));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(HALVEXCTL_PATH),
                  {QStringLiteral("--json"), QStringLiteral("doctor")});
    const TRun r = Finish(process);
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    std::vector<std::string> names;
    bool failed = false;
    for (const QJsonValue& check : report.value(QStringLiteral("checks")).toArray()) {
        names.push_back(check[QStringLiteral("name")].toString().toStdString());
        failed = failed || check[QStringLiteral("status")].toString() == QStringLiteral("fail");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"groups", "modem-manager", "brltty", "ports"}))
        << r.out;
    EXPECT_EQ(r.exit, failed ? 1 : 0) << r.out << r.err;
    EXPECT_TRUE(report.value(QStringLiteral("port")).isNull());
    const QJsonObject com5{{QStringLiteral("number"), 5},
                           {QStringLiteral("name"), QStringLiteral("COM5")},
                           {QStringLiteral("path"), Q(board)},
                           {QStringLiteral("state"), QStringLiteral("available")}};
    EXPECT_TRUE(report.value(QStringLiteral("ports")).toArray().contains(com5)) << r.out;
}

TEST_F(Halvexctl, DoctorAsAnotherUserFindsNoPermissionOnAPrivatePty) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "running halvexctl as the user nobody needs root";
    Boot(Unpaced());
    const std::string slave = std::filesystem::read_symlink(board).string();
    ASSERT_EQ(::chmod(slave.c_str(), 0600), 0);
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const std::string owner = ::getpwuid(0)->pw_name;
    struct stat st {};
    ASSERT_EQ(::stat(slave.c_str(), &st), 0);
    const std::string group = ::getgrgid(st.st_gid)->gr_name;
    QProcess process;
    process.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
    });
    Start(process, {QStringLiteral("--json"), QStringLiteral("doctor")});
    const TRun r = Finish(process);
    EXPECT_EQ(r.exit, 1) << r.err;
    auto checks = DoctorChecks(r.out);
    EXPECT_EQ(Field(checks["device"], "status"), "ok") << r.out;
    EXPECT_EQ(Field(checks["permission"], "status"), "fail");
    EXPECT_EQ(Field(checks["permission"], "detail"), "nobody may not open " + board +
                                                         " (crw-------, owner " + owner +
                                                         ", group " + group + ")");
    EXPECT_EQ(Field(checks["permission"], "fix"),
              "only its owner " + owner + " may open it: run \"sudo chown nobody " + board + "\"");
    EXPECT_EQ(Field(checks["board"], "status"), "skip");
}

TEST_F(Halvexctl, DoctorOnAVanishedPortFailsTheDeviceCheckAndSkipsTheRest) {
    Boot(Unpaced());
    sim->Stop(); // removes the link
    const TRun r = Run({QStringLiteral("doctor")});
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_EQ(r.out.rfind("fail  device         " + board + " does not exist\n      fix: ", 0), 0u)
        << r.out;
    for (const char* line : {"\nskip  permission     not checked: there is no device\n",
                             "\nskip  in-use         not checked: there is no device\n",
                             "\nskip  modem-manager  not checked: there is no device\n",
                             "\nskip  board          not tried: an earlier check failed\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

} // namespace
} // namespace halvex::sim
