// The simulated board behind its pseudo-terminal: in-process on a thread, and the osdsim
// program as a child process. Replies are awaited with generous deadlines; no test
// judges how long anything took.
#include "OsdSimulator.h"
#include "BoardTestSupport.h"
#include "PtyClient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace halvex::sim {
namespace {

using namespace std::chrono_literals;
using test::TPtyClient;

using test::DumpOf;
using test::kRead;
using test::kTest;
using test::TempPath;
using test::Unpaced;

std::string CharFrame(int index, std::uint8_t fill) {
    std::string payload(1, static_cast<char>(index));
    payload.append(kCharBytes, static_cast<char>(fill));
    return BuildFrame('c', payload);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(OsdSimulatorPty, AnswersTestAndReadUnpacedAndPaced) {
    for (unsigned baud : {0u, 57600u}) {
        TSimulatorOptions o;
        o.baud = baud;
        TOsdSimulator sim(o);
        sim.Start();
        ASSERT_EQ(sim.SlavePath().rfind("/dev/pts/", 0), 0u) << sim.SlavePath();
        TPtyClient port(sim.SlavePath());
        port.Write(kTest);
        EXPECT_EQ(port.Read(3, 2s), "#R+") << "baud " << baud;
        port.Write("noise before the frame" + kRead);
        EXPECT_EQ(port.Read(kDumpSize, 3s), DumpOf(DefaultBoardImage())) << "baud " << baud;
        EXPECT_EQ(port.Drain(20ms), "");
        EXPECT_EQ(sim.Stats().testFrames, 1);
        EXPECT_EQ(sim.Stats().readFrames, 1);
    }
}

TEST(OsdSimulatorPty, PortClosedAndReopenedIsStillAnswered) {
    TOsdSimulator sim(Unpaced());
    sim.Start();
    {
        TPtyClient port(sim.SlavePath());
        port.Write(kTest);
        EXPECT_EQ(port.Read(3, 2s), "#R+");
    }
    TPtyClient again(sim.SlavePath());
    again.Write(kTest);
    EXPECT_EQ(again.Read(3, 2s), "#R+");
    EXPECT_EQ(sim.Stats().testFrames, 2);
}

TEST(OsdSimulatorPty, BytewiseAndNoisyRepliesKeepTheirBytes) {
    TSimulatorOptions o = Unpaced();
    o.bytewise = true;
    o.byteGapUs = 200;
    o.board.noise = true;
    TOsdSimulator sim(o);
    sim.Start();
    TPtyClient port(sim.SlavePath());
    port.Write(kRead);
    EXPECT_EQ(port.Read(kDumpSize, 5s), DumpOf(DefaultBoardImage()));
    port.Write(kTest);
    const std::string ack = port.Drain(300ms);
    ASSERT_GE(ack.size(), 3u);
    EXPECT_EQ(ack.substr(ack.size() - 3), "#R+");
}

TEST(OsdSimulatorPty, RepliesWaitForRoomWhenTheProgramDoesNotRead) {
    // 200 dumps are about 100 KiB, more than the pty holds (64 KiB of tty buffers and the
    // line discipline's 4 KiB): the board must wait for room, not drop bytes.
    constexpr int kDumps = 200;
    TOsdSimulator sim(Unpaced());
    sim.Start();
    TPtyClient port(sim.SlavePath());
    std::string requests;
    for (int k = 0; k < kDumps; ++k)
        requests += kRead;
    port.Write(requests);
    ASSERT_TRUE(sim.WaitFor([](const TOsdBoard& b) { return b.Stats().dumpsSent == kDumps; }, 5s));
    const std::string want = DumpOf(DefaultBoardImage());
    const std::string got = port.Read(kDumps * kDumpSize, 10s);
    ASSERT_EQ(got.size(), kDumps * kDumpSize);
    for (std::size_t k = 0; k < kDumps; ++k)
        ASSERT_EQ(got.substr(k * kDumpSize, kDumpSize), want) << "dump " << k;
    // And the board is still answering afterwards.
    port.Write(kTest);
    EXPECT_EQ(port.Read(3, 2s), "#R+");
}

TEST(OsdSimulatorPty, LoadedImageSavedFilesAndSymlink) {
    const std::string link = TempPath("link");
    const std::string in = TempPath("in.bin");
    const std::string image = TempPath("image.bin");
    const std::string font = TempPath("font.mcm");
    TBoardImage start{};
    start.fill(0x3C);
    WriteFileAtomically(in, std::string(start.begin(), start.end()));
    {
        TSimulatorOptions o = Unpaced();
        o.linkPath = link;
        o.imagePath = in;
        o.saveImagePath = image;
        o.saveFontPath = font;
        TOsdSimulator sim(o);
        sim.Start();
        ASSERT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.SlavePath());

        TPtyClient port(link);
        port.Write(kRead);
        EXPECT_EQ(port.Read(kDumpSize, 2s), DumpOf(start));

        std::string payload(1, '\x05');
        payload.append(kBlockSize, '\x99');
        port.Write(BuildFrame('w', payload));
        EXPECT_EQ(port.Read(2, 2s), "#+");
        // The image file is written after each stored block.
        TBoardImage want = start;
        std::fill(want.begin() + 5 * 32, want.begin() + 6 * 32, 0x99);
        EXPECT_EQ(ReadWholeFile(image), std::string(want.begin(), want.end()));

        EXPECT_FALSE(std::filesystem::exists(font));
        for (int c = 0; c < kCharCount; ++c) {
            port.Write(CharFrame(c, static_cast<std::uint8_t>(c)));
            ASSERT_EQ(port.Read(2, 2s), "#+") << c;
        }
        // The font file is written once character 255 is stored.
        ASSERT_TRUE(std::filesystem::exists(font));
        EXPECT_EQ(ReadWholeFile(font), FontToMcm(sim.Font()));
        EXPECT_EQ(sim.Font()[200][0], 200);
    }
    EXPECT_FALSE(std::filesystem::exists(link));
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    for (const auto& p : {in, image, font})
        std::filesystem::remove(p);
}

TEST(OsdSimulatorPty, RecordsAcknowledgementToNextFrameSamples) {
    TOsdSimulator sim(Unpaced());
    sim.Start();
    TPtyClient port(sim.SlavePath());
    for (int c = 0; c < 5; ++c) {
        port.Write(CharFrame(c, 0));
        ASSERT_EQ(port.Read(2, 2s), "#+");
    }
    // Four frames followed an acknowledgement.
    EXPECT_TRUE(sim.WaitFor([](const TOsdBoard& b) { return b.Stats().acksSent == 5; }, 2s));
    EXPECT_EQ(sim.AckToFrameUs().size(), 4u);
    EXPECT_EQ(sim.AckLateUs().size(), 5u); // one per acknowledgement written
    sim.ClearSamples();
    EXPECT_TRUE(sim.AckToFrameUs().empty());
    EXPECT_TRUE(sim.AckLateUs().empty());
}

TEST(OsdSimulatorPty, LogLinesGoToTheSink) {
    TSimulatorOptions o = Unpaced();
    o.log = true;
    o.board.dropBlock = 1;
    TOsdSimulator sim(o);
    std::vector<std::string> lines;
    std::mutex m;
    sim.SetLogSink([&](const std::string& l) {
        std::lock_guard lock(m);
        lines.push_back(l);
    });
    sim.Start();
    TPtyClient port(sim.SlavePath());
    std::string payload(1, '\x01');
    payload.append(kBlockSize, '\0');
    port.Write(kTest + "$zz\r\n" + BuildFrame('w', payload));
    EXPECT_EQ(port.Read(3, 2s), "#R+");
    EXPECT_TRUE(sim.WaitFor([](const TOsdBoard& b) { return b.Stats().blockFrames[1] == 1; }, 2s));
    sim.Stop();
    std::lock_guard lock(m);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "osdsim: test: answered");
    EXPECT_EQ(lines[1], "osdsim: bad frame: $zz");
    EXPECT_EQ(lines[2], "osdsim: block 01: not answered");
    EXPECT_EQ(sim.History().size(), 3u);
}

TEST(OsdSimulatorPty, RefusesToReplaceAFileWithItsLink) {
    const std::string path = TempPath("plain");
    WriteFileAtomically(path, "keep me");
    TSimulatorOptions o = Unpaced();
    o.linkPath = path;
    TOsdSimulator sim(o);
    EXPECT_THROW(sim.Open(), std::runtime_error);
    EXPECT_EQ(ReadWholeFile(path), "keep me");
    std::filesystem::remove(path);
}

// ---------------------------------------------------------------------------------------
// The osdsim program

struct TChild {
    pid_t pid = -1;
    FILE* out = nullptr;
};

TChild Spawn(const std::vector<std::string>& args) {
    int pipeFd[2];
    if (::pipe(pipeFd) != 0)
        throw std::runtime_error("pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFd[1], 1);
        ::close(pipeFd[0]);
        ::close(pipeFd[1]);
        std::vector<char*> argv;
        std::string exe = OSDSIM_PATH;
        argv.push_back(exe.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFd[1]);
    return {pid, ::fdopen(pipeFd[0], "r")};
}

int WaitExit(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(OsdSimulatorProgram, PrintsPtyAnswersAndEndsCleanlyOnSigterm) {
    const std::string link = TempPath("prog-link");
    const std::string image = TempPath("prog-image.bin");
    TChild child =
        Spawn({"--baud", "0", "--link", link, "--save-image", image, "--test-letter", "K"});
    ASSERT_GT(child.pid, 0);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, child.out), nullptr);
    std::string first(line);
    ASSERT_EQ(first.rfind("PTY /dev/pts/", 0), 0u) << first;
    ASSERT_EQ(first.back(), '\n');
    const std::string slave = first.substr(4, first.size() - 5);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);
    {
        TPtyClient port(link);
        port.Write(kTest);
        EXPECT_EQ(port.Read(3, 2s), "#K+");
    }
    ::kill(child.pid, SIGTERM);
    EXPECT_EQ(WaitExit(child.pid), 0);
    std::fclose(child.out);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    // The image is written on exit too.
    const TBoardImage d = DefaultBoardImage();
    EXPECT_EQ(ReadWholeFile(image), std::string(d.begin(), d.end()));
    std::filesystem::remove(image);
}

TEST(OsdSimulatorProgram, BadArgumentsAndBadImageFail) {
    TChild bad = Spawn({"--drop-block", "99"});
    EXPECT_EQ(WaitExit(bad.pid), 2);
    std::fclose(bad.out);
    TChild missing = Spawn({"--image", TempPath("does-not-exist.bin")});
    EXPECT_EQ(WaitExit(missing.pid), 1);
    std::fclose(missing.out);
    TChild help = Spawn({"--help"});
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, help.out), nullptr);
    EXPECT_EQ(std::string(line).rfind("Usage: osdsim", 0), 0u);
    EXPECT_EQ(WaitExit(help.pid), 0);
    std::fclose(help.out);
}

} // namespace
} // namespace halvex::sim
