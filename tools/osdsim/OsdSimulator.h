// The simulated board behind a pseudo-terminal: the program opens the slave side as its
// serial port; the simulator answers on the master side, paced like a real line.
//
// Runs either on its own thread (Start/Stop, for tests in the same process) or on the
// calling thread (Run, for the osdsim program; RequestStop ends it, also from a signal
// handler). The board state can be read from any thread while it runs.
#pragma once

#include "LinePacer.h"
#include "OsdBoard.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace halvex::sim {

// An answer time bound to a frame: block or character `index` (kind Unknown: none).
struct TAnswerTime {
    TFrameKind kind = TFrameKind::Unknown;
    int index = -1;
    unsigned ms = 0;
    bool Matches(const TBoardEvent& e) const { return e.kind == kind && e.index == index; }
};

struct TSimulatorOptions {
    TBoardOptions board;
    unsigned baud = 57600;      // line rate for pacing both directions; 0 = unpaced
    bool bytewise = false;      // replies written one byte at a time ...
    unsigned byteGapUs = 1000;  // ... at least this many microseconds apart
    unsigned replyDelayMs = 0;  // each answer starts this long after its request arrived, ...
    bool queueReplies = false;  // ... or after the previous answer ended, if that is later
    TAnswerTime answerTimeFrom; // every answer takes its ms once its frame has come, ...
    TAnswerTime answerTimeFor;  // ... the answers to its frame alone take its ms
    std::string linkPath;       // symlink to the slave, made by Open, removed by Close
    std::string imagePath;      // 512-byte image loaded at start (empty: built-in image)
    std::string saveImagePath;  // image written after each stored block and at the end
    std::string saveFontPath;   // .mcm written after character 255 is stored and at the end
    bool log = false;           // one line per received frame to the log sink
};

// Command line of the osdsim program. On success `options` is filled and `error` empty;
// `help` is set for --help. Numbers are decimal or 0x-prefixed hex.
struct TParsedArgs {
    TSimulatorOptions options;
    bool help = false;
    std::string error;
};
TParsedArgs ParseSimulatorArgs(const std::vector<std::string>& args);
extern const char* const kSimulatorUsage;

// Loads a 512-byte image file. A 513-byte file (a saved dump with its check byte) is
// accepted too; anything else raises std::runtime_error naming the file and the reason.
TBoardImage LoadImageFile(const std::string& path);
// Writes `bytes` to `path` through a temporary file renamed into place, so a reader
// never sees half a file. Raises std::runtime_error on failure.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// One line describing a received frame, as --log prints it.
std::string DescribeEvent(const TBoardEvent& event);

class TOsdSimulator {
public:
    explicit TOsdSimulator(TSimulatorOptions options);
    TOsdSimulator(TSimulatorOptions options, const TBoardImage& image);
    ~TOsdSimulator();
    TOsdSimulator(const TOsdSimulator&) = delete;
    TOsdSimulator& operator=(const TOsdSimulator&) = delete;

    // Creates the pseudo-terminal (master raw and non-blocking) and the symlink.
    // Raises std::system_error / std::runtime_error on failure.
    void Open();
    const std::string& SlavePath() const { return slavePath_; }

    // Serves on a new thread until Stop.
    void Start();
    // Serves on the calling thread until RequestStop.
    void Run();
    // Asks the serving loop to end. Async-signal-safe.
    void RequestStop() noexcept;
    // RequestStop, wait for the thread, write the files asked for, remove the symlink,
    // close the pseudo-terminal. Called by the destructor; harmless twice.
    void Stop();

    // Thread-safe snapshots of the board.
    TBoardImage Image() const;
    TBoardFont Font() const;
    TBoardStats Stats() const;
    bool CharStored(int c) const;
    std::vector<TBoardEvent> History() const; // every received line, oldest first (capped)

    // Unpaced latency samples: microseconds from writing an acknowledgement's "+" to
    // reading the "$" of the next frame.
    std::vector<std::uint64_t> AckToFrameUs() const;
    // Paced: for each acknowledgement, microseconds by which the board fell behind the
    // line schedule (frame handled after its last byte's arrival time, plus "+" written
    // after its due time). Shows how much of a measured time is the simulator's own.
    std::vector<std::uint64_t> AckLateUs() const;
    void ClearSamples();

    // Waits until `done(board)` holds (checked after each change of the board) or the
    // limit passes; returns whether it holds.
    bool WaitFor(const std::function<bool(const TOsdBoard&)>& done,
                 std::chrono::milliseconds limit);

    // Where --log lines go (called on the serving thread, no lock held); default: standard
    // error.
    void SetLogSink(std::function<void(const std::string&)> sink);

private:
    void Loop();
    void OnBoardFrame(const TBoardEvent& event);
    void TakeInput(std::uint64_t now);
    bool WriteDueOutput(std::uint64_t& now);
    unsigned AnswerDelayMs(const TBoardEvent& event);
    std::uint64_t ReplyStart(std::uint64_t now, unsigned delayMs) const;
    void SaveImage();
    void SaveFont();
    std::uint64_t NowNs() const; // steady clock, from origin_

    TSimulatorOptions options_;
    mutable std::mutex mutex_; // guards board_, history_, samples_, lateSamples_
    std::condition_variable changed_;
    TOsdBoard board_;
    std::vector<TBoardEvent> history_;
    std::vector<std::uint64_t> samples_;
    std::vector<std::uint64_t> lateSamples_;
    std::vector<std::string> pendingLog_; // --log lines not yet written
    std::function<void(const std::string&)> logSink_;
    TLinePacer pacer_;
    std::string slavePath_;
    int master_ = -1;
    int slaveHold_ = -1; // keeps the slave open so the master never sees a hang-up
    int wake_ = -1;      // eventfd: stop request
    bool linkMade_ = false;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::chrono::steady_clock::time_point origin_;
    // Latency bookkeeping (loop thread only), nanoseconds.
    std::optional<std::uint64_t> ackWrittenNs_; // when the last "+" was written
    std::uint64_t inputLagNs_ = 0;              // how late the last frame was handled
    unsigned replyDelayMs_ = 0; // answer time of the frame being handled (under mutex_)
    bool slowFrom_ = false;     // --answer-time-from's frame has come
};

} // namespace halvex::sim
