// Timing figures of the link stack (TOsdLink over TAfComPort) against the simulated board
// over a pseudo-terminal. Prints figures with their targets; asserts nothing.
//
//   latency  acknowledgement-to-next-frame time at the board, unpaced (median)
//   upload   256-character upload at 57600 baud as a ratio to the line-rate limit
//   cpu      process CPU time with the port open and idle, and with unread bytes waiting
//            (the board runs as a child process here, so only the program's own CPU counts)
//   loss     256-character upload at 57600 baud against a board that loses 1 % and 5 % of
//            the first copies of its frames, and against a board that handles one frame at
//            a time and answers 210 ms after the frame or its previous answer; each as the
//            ratio to a clean upload, with the cost per lost copy
//   fence    the cost of the fence that follows a resent frame: a write (without its
//            read-back) and an upload with one lost first copy, against a prompt board at
//            57600 baud and a queueing one answering in 210 ms, each as a ratio to the clean
//            sequence; and the read-back's cost: a write with it to one without
//   slow     (only when asked for) write and upload times against a board that answers
//            210 ms after each frame, slower than the 200 ms resend
//
// Usage: halvex_link_bench [--only latency|upload|cpu|loss|fence|slow] [--runs N]
//                          [--cpu-seconds S]
#include "LinkStack.h"
#include "link/LinkFrames.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using halvex::PatternFont;
using halvex::TFontSet;
using halvex::TMessage;
using halvex::sim::TSimulatorOptions;
using halvex::sim::test::RunUntil;
using halvex::sim::test::TLinkStack;

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto k = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(k, v.size() - 1)];
}

double Mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the Qt event loop for `seconds` with nothing else waking it.
void IdleLoop(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

bool Latency(int runs) {
    TLinkStack stack;
    TSimulatorOptions o;
    o.baud = 0;
    stack.Boot(o);
    const TFontSet font = PatternFont();
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        stack.host.messages.clear();
        stack.sim->ClearSamples();
        if (!stack.link->StartFontUpload(font))
            return false;
        if (!RunUntil([&] { return !stack.host.messages.empty(); }, 30s, 100) ||
            stack.host.messages.back() != TMessage::FontsLoaded) {
            std::printf("latency: upload did not complete\n");
            return false;
        }
        for (std::uint64_t us : stack.sim->AckToFrameUs())
            ms.push_back(static_cast<double>(us) / 1000.0);
    }
    std::printf("ack-to-next-frame latency, unpaced, %zu samples: median %.2f ms, mean %.2f ms, "
                "p90 %.2f ms, max %.2f ms  [target: median <= 3 ms]\n",
                ms.size(), Percentile(ms, 0.5), Mean(ms), Percentile(ms, 0.9), Percentile(ms, 1.0));
    return true;
}

bool Upload(int runs) {
    // Every byte of 256 character frames and of their 2-byte acknowledgements, 10 bits each.
    const double limit = 256.0 * (halvex::kCharFrameSize + 2) * 10 / 57600;
    const TFontSet font = PatternFont();
    std::vector<double> ratios;
    for (int r = 0; r < runs; ++r) {
        TLinkStack stack;
        stack.Boot(TSimulatorOptions{}); // 57600 baud both ways
        const auto t0 = std::chrono::steady_clock::now();
        if (!stack.link->StartFontUpload(font))
            return false;
        if (!RunUntil([&] { return !stack.host.messages.empty(); }, 30s, 100) ||
            stack.host.messages.back() != TMessage::FontsLoaded) {
            std::printf("upload: did not complete\n");
            return false;
        }
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ratios.push_back(s / limit);
        std::vector<double> gaps;
        for (std::uint64_t us : stack.sim->AckToFrameUs())
            gaps.push_back(static_cast<double>(us) / 1000.0);
        std::vector<double> late;
        for (std::uint64_t us : stack.sim->AckLateUs())
            late.push_back(static_cast<double>(us) / 1000.0);
        std::printf("256-character upload at 57600 baud, run %d: %.3f s, line-rate limit %.3f s, "
                    "ratio %.3f\n    program: ack-to-next-frame mean %.2f ms, median %.2f ms, "
                    "p90 %.2f ms; board behind schedule: mean %.3f ms, max %.3f ms\n",
                    r + 1, s, limit, s / limit, Mean(gaps), Percentile(gaps, 0.5),
                    Percentile(gaps, 0.9), Mean(late), Percentile(late, 1.0));
    }
    std::printf("256-character upload ratio, median of %d: %.3f  [target <= 1.12]\n", runs,
                Percentile(ratios, 0.5));
    return true;
}

// One 256-character upload against a new board with `o`: its seconds and the board's
// counts, or nothing when it did not end in "Fonts loaded".
struct TTimedUpload {
    double seconds = 0;
    halvex::sim::TBoardStats stats;
};
std::optional<TTimedUpload> TimedUpload(const TSimulatorOptions& o) {
    TLinkStack stack;
    stack.Boot(o);
    const auto t0 = std::chrono::steady_clock::now();
    if (!stack.link->StartFontUpload(PatternFont()) ||
        !RunUntil([&] { return !stack.host.messages.empty(); }, 300s, 100) ||
        stack.host.messages.back() != TMessage::FontsLoaded)
        return std::nullopt;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return TTimedUpload{s, stack.sim->Stats()};
}

// Uploads at 57600 baud with lost first copies, each run beside a clean one, and once
// against a queueing 210 ms board.
bool Loss(int runs) {
    struct TCase {
        double rate;
        double extraSeconds = 0; // over the clean uploads, all runs
        int lost = 0;            // copies lost, all runs
        std::vector<double> ratios;
    };
    std::vector<TCase> cases{{0.01}, {0.05}};
    for (int r = 0; r < runs; ++r) {
        const auto clean = TimedUpload(TSimulatorOptions{});
        if (!clean) {
            std::printf("loss: the clean upload did not complete\n");
            return false;
        }
        for (TCase& c : cases) {
            TSimulatorOptions o;
            o.board.loseFirstCopy = c.rate;
            o.board.seed = static_cast<std::uint32_t>(r + 1);
            const auto lossy = TimedUpload(o);
            if (!lossy) {
                std::printf("loss: the upload with %.0f %% loss did not complete\n", c.rate * 100);
                return false;
            }
            c.extraSeconds += lossy->seconds - clean->seconds;
            c.lost += lossy->stats.lostCopies;
            c.ratios.push_back(lossy->seconds / clean->seconds);
            std::printf("upload, %.0f %% first copies lost, run %d: %.3f s (clean %.3f s), ratio "
                        "%.3f, %d copies lost\n",
                        c.rate * 100, r + 1, lossy->seconds, clean->seconds,
                        lossy->seconds / clean->seconds, lossy->stats.lostCopies);
        }
    }
    for (const TCase& c : cases)
        std::printf("upload, %.0f %% first copies lost: ratio to clean, median of %d: %.3f; cost "
                    "per lost copy %.3f s over %d copies  [target <= 0.45 s]\n",
                    c.rate * 100, runs, Percentile(c.ratios, 0.5),
                    c.lost ? c.extraSeconds / c.lost : 0.0, c.lost);

    const auto clean = TimedUpload(TSimulatorOptions{});
    TSimulatorOptions o;
    o.replyDelayMs = 210;
    o.queueReplies = true;
    const auto queued = TimedUpload(o);
    if (!clean || !queued) {
        std::printf("loss: the queueing board's upload did not complete\n");
        return false;
    }
    // Its own limit: the line time of the clean upload plus 210 ms per character.
    const double own = clean->seconds + 256 * 0.210;
    std::printf("upload, queueing board answering 210 ms after the frame or its previous answer: "
                "%.2f s, ratio to clean %.2f, to its own limit (clean + 256 x 210 ms) %.3f, "
                "%d copies sent beyond 256\n",
                queued->seconds, queued->seconds / clean->seconds, queued->seconds / own,
                queued->stats.CharFramesTotal() - 256);
    return true;
}

// One write (`upload`: an upload) against a new board with `o`: its seconds, or nothing
// when it did not succeed.
std::optional<double> TimedSequence(const TSimulatorOptions& o, bool upload, bool readBack) {
    TLinkStack stack;
    stack.Boot(o);
    const auto t0 = std::chrono::steady_clock::now();
    const bool started =
        upload ? stack.link->StartFontUpload(PatternFont()) : stack.link->StartWrite(readBack);
    if (!started || !RunUntil([&] { return !stack.link->Busy(); }, 300s, 100) ||
        stack.host.reports.empty() ||
        stack.host.reports.back().Outcome != halvex::TExchangeOutcome::Done)
        return std::nullopt;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The median seconds of `runs` sequences; nothing when one failed.
std::optional<double> MedianSequence(const TSimulatorOptions& o, bool upload, bool readBack,
                                     int runs) {
    std::vector<double> seconds;
    for (int r = 0; r < runs; ++r) {
        const auto s = TimedSequence(o, upload, readBack);
        if (!s)
            return std::nullopt;
        seconds.push_back(*s);
    }
    return Percentile(seconds, 0.5);
}

// The fence's cost after one lost copy, and the read-back's, each to the clean sequence.
bool Fence(int runs) {
    for (const bool queueing : {false, true}) {
        for (const bool upload : {false, true}) {
            TSimulatorOptions o; // 57600 baud
            if (queueing) {
                o.replyDelayMs = 210;
                o.queueReplies = true;
            }
            const int n = queueing && upload ? 1 : runs; // 256 x 210 ms a run
            const auto clean = MedianSequence(o, upload, false, n);
            // The first copy of character 100 or block 5 is lost.
            if (upload) {
                o.board.dropChar = 100;
                o.board.dropCharTimes = 1;
            } else {
                o.board.dropBlock = 5;
                o.board.dropBlockTimes = 1;
            }
            const auto lost = MedianSequence(o, upload, false, n);
            if (!clean || !lost) {
                std::printf("fence: a sequence did not complete\n");
                return false;
            }
            std::printf("fence, %s, %s board, median of %d: clean %.3f s, one lost copy %.3f s, "
                        "ratio %.3f, cost %.3f s  [target <= %.2f s]\n",
                        upload ? "upload" : "write", queueing ? "queueing 210 ms" : "prompt", n,
                        *clean, *lost, *lost / *clean, *lost - *clean, queueing ? 0.6 : 0.45);
        }
    }
    const auto without = MedianSequence(TSimulatorOptions{}, false, false, runs);
    const auto with = MedianSequence(TSimulatorOptions{}, false, true, runs);
    if (!without || !with) {
        std::printf("read-back: a write did not complete\n");
        return false;
    }
    std::printf("read-back, prompt board, median of %d: write %.3f s, with the read-back %.3f s, "
                "ratio %.3f, cost %.3f s  [target <= 0.12 s]\n",
                runs, *without, *with, *with / *without, *with - *without);
    return true;
}

// Write and upload against a board answering 210 ms after each frame, at 57600 baud: the
// first frame is resent once and answered twice, the others go once.
bool Slow(int runs) {
    const TFontSet font = PatternFont();
    std::vector<double> writes;
    std::vector<double> uploads;
    for (int r = 0; r < runs; ++r) {
        TLinkStack stack;
        TSimulatorOptions o;
        o.replyDelayMs = 210;
        stack.Boot(o);
        // Runs one exchange; its time goes into `into` when it ends with `expected`.
        auto timed = [&](auto start, const std::vector<TMessage>& expected,
                         std::vector<double>& into) {
            stack.host.messages.clear();
            const auto t0 = std::chrono::steady_clock::now();
            if (!start() || !RunUntil([&] { return !stack.link->Busy(); }, 300s, 100) ||
                stack.host.messages != expected)
                return false;
            into.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            return true;
        };
        if (!timed([&] { return stack.link->StartWrite(); }, {}, writes) ||
            !timed([&] { return stack.link->StartFontUpload(font); }, {TMessage::FontsLoaded},
                   uploads)) {
            std::printf("slow: an exchange did not complete\n");
            return false;
        }
        std::printf("210 ms board, run %d: write %.2f s, upload %.2f s\n", r + 1, writes.back(),
                    uploads.back());
    }
    std::printf("210 ms board, median of %d: write %.2f s, 256-character upload %.2f s\n", runs,
                Percentile(writes, 0.5), Percentile(uploads, 0.5));
    return true;
}

// Starts the osdsim program; returns its pid and fills `slave` from its first line.
pid_t SpawnBoard(std::string& slave) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execl(OSDSIM_PATH, "osdsim", "--baud", "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    FILE* out = ::fdopen(fds[0], "r");
    char line[256] = {};
    const bool ok = out && std::fgets(line, sizeof line, out);
    if (out)
        std::fclose(out);
    std::string first = ok ? line : "";
    if (first.rfind("PTY ", 0) != 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    while (!first.empty() && (first.back() == '\n' || first.back() == '\r'))
        first.pop_back();
    slave = first.substr(4);
    return pid;
}

bool Cpu(double seconds) {
    std::string slave;
    const pid_t board = SpawnBoard(slave);
    if (board < 0) {
        std::printf("cpu: cannot start %s\n", OSDSIM_PATH);
        return false;
    }
    bool ok = true;
    {
        TLinkStack stack;
        stack.Attach(slave);
        IdleLoop(0.5); // settle after the open

        double c0 = CpuSeconds();
        IdleLoop(seconds);
        const double idle = (CpuSeconds() - c0) / seconds * 100;
        std::printf("CPU, port open and idle, %.0f s: %.3f %% of one core  [target < 1 %%]\n",
                    seconds, idle);

        // Ask for a dump behind the link's back and never read it: 513 bytes stay waiting.
        int notifications = 0;
        stack.link.reset();
        stack.port->OnDataRecived = [&](std::int32_t) { ++notifications; };
        stack.port->WriteString(halvex::ReadFrame());
        if (!RunUntil([&] { return stack.port->InBufUsed() >= 513; }, 3s, 10)) {
            std::printf("cpu: the dump did not arrive\n");
            ok = false;
        } else {
            IdleLoop(0.3);
            notifications = 0;
            c0 = CpuSeconds();
            IdleLoop(seconds);
            const double waiting = (CpuSeconds() - c0) / seconds * 100;
            std::printf("CPU, %d unread bytes waiting, %.0f s: %.3f %% of one core, "
                        "%d notifications  [target < 1 %%]\n",
                        static_cast<int>(stack.port->InBufUsed()), seconds, waiting, notifications);
        }
    }
    ::kill(board, SIGTERM);
    ::waitpid(board, nullptr, 0);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    std::string only;
    int runs = 3;
    double cpuSeconds = 10;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--only" && k + 1 < argc) {
            only = argv[++k];
        } else if (a == "--runs" && k + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++k]));
        } else if (a == "--cpu-seconds" && k + 1 < argc) {
            cpuSeconds = std::max(1.0, std::atof(argv[++k]));
        } else {
            std::fprintf(stderr,
                         "usage: %s [--only latency|upload|cpu|loss|fence|slow] [--runs N] "
                         "[--cpu-seconds S]\n",
                         argv[0]);
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    bool ok = true;
    if (only.empty() || only == "latency")
        ok = Latency(runs) && ok;
    if (only.empty() || only == "upload")
        ok = Upload(runs) && ok;
    if (only.empty() || only == "cpu")
        ok = Cpu(cpuSeconds) && ok;
    if (only.empty() || only == "loss")
        ok = Loss(runs) && ok;
    if (only.empty() || only == "fence")
        ok = Fence(runs) && ok;
    if (only == "slow")
        ok = Slow(runs) && ok;
    return ok ? 0 : 1;
}
