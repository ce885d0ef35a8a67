#include "serial/AfSafeSync.h"

#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace halvex {
namespace {

using test::PumpFor;
using test::PumpUntil;

struct TRecord {
    std::atomic<int> runs{0};
    std::atomic<int> slot{0};
    std::atomic<bool> onMain{false};
};

TAfSafeSyncHandler Recorder() {
    return [](void* object, int slot) {
        auto* r = static_cast<TRecord*>(object);
        r->slot = slot;
        r->onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        ++r->runs;
    };
}

// Captures reports of the exception report for one test.
class TReportCapture {
public:
    TReportCapture() {
        SetExceptionReport([this](const std::exception& e) {
            std::lock_guard<std::mutex> guard(lock_);
            texts_.push_back(e.what());
        });
    }
    ~TReportCapture() { SetExceptionReport(nullptr); }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> guard(lock_);
        return texts_;
    }

private:
    std::mutex lock_;
    std::vector<std::string> texts_;
};

TEST(AfSafeSync, SixtyFourSlotsThenRefused) {
    const int before = SyncTargetCount();
    TRecord record;
    EXPECT_EQ(RegisterSyncTarget(nullptr, &record), 0u); // an empty handler takes no slot
    std::vector<std::uint32_t> ids;
    std::set<std::uint32_t> distinct;
    for (int i = before; i < AfMaxSyncTargets; ++i) {
        const std::uint32_t id = RegisterSyncTarget(Recorder(), &record);
        ASSERT_NE(id, 0u);
        ids.push_back(id);
        distinct.insert(id);
    }
    EXPECT_EQ(distinct.size(), ids.size());
    EXPECT_EQ(SyncTargetCount(), AfMaxSyncTargets);
    EXPECT_EQ(RegisterSyncTarget(Recorder(), &record), 0u);
    EXPECT_FALSE(CallSyncTarget(0, 100));
    EXPECT_FALSE(EnableSyncTarget(0, true));
    // A freed slot is taken again, with a new id.
    ASSERT_TRUE(UnregisterSyncTarget(ids.back()));
    const std::uint32_t again = RegisterSyncTarget(Recorder(), &record);
    EXPECT_NE(again, 0u);
    EXPECT_EQ(distinct.count(again), 0u);
    ids.back() = again;
    for (std::uint32_t id : ids)
        EXPECT_TRUE(UnregisterSyncTarget(id));
    EXPECT_FALSE(UnregisterSyncTarget(ids.front())); // already gone
    EXPECT_EQ(SyncTargetCount(), before);
}

TEST(AfSafeSync, WorkerCallRunsHandlerOnMainThread) {
    TRecord record;
    const std::uint32_t id = RegisterSyncTarget(Recorder(), &record);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(EnableSyncTarget(id, true));
    std::atomic<int> result{-1};
    std::thread worker([&] { result = CallSyncTarget(id, 10000) ? 1 : 0; });
    EXPECT_TRUE(PumpUntil([&] { return result.load() != -1; }, 10000));
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(record.runs.load(), 1);
    EXPECT_TRUE(record.onMain.load());
    EXPECT_GE(record.slot.load(), 1);
    EXPECT_LE(record.slot.load(), AfMaxSyncTargets);
    UnregisterSyncTarget(id);
}

TEST(AfSafeSync, DisabledSlotIsNotRun) {
    TRecord record;
    const std::uint32_t id = RegisterSyncTarget(Recorder(), &record);
    ASSERT_NE(id, 0u); // slots start disabled
    std::thread worker([&] { EXPECT_FALSE(CallSyncTarget(id, 10000)); });
    worker.join();
    EXPECT_FALSE(CallSyncTarget(id, 100)); // also on the main thread
    PumpFor(50);
    EXPECT_EQ(record.runs.load(), 0);
    UnregisterSyncTarget(id);
}

TEST(AfSafeSync, CallOnMainThreadRunsAtOnce) {
    TRecord record;
    const std::uint32_t id = RegisterSyncTarget(Recorder(), &record);
    EnableSyncTarget(id, true);
    EXPECT_TRUE(CallSyncTarget(id, 0));
    EXPECT_EQ(record.runs.load(), 1);
    UnregisterSyncTarget(id);
}

// The main thread disables (or frees) the slot instead of serving the call: the waiting
// worker returns at once with false and the handler never runs.
TEST(AfSafeSync, DisablingOrUnregisteringReleasesAWaitingCaller) {
    for (bool unregister : {false, true}) {
        TRecord record;
        const std::uint32_t id = RegisterSyncTarget(Recorder(), &record);
        EnableSyncTarget(id, true);
        std::atomic<bool> calling{false};
        std::atomic<int> result{-1};
        const auto start = std::chrono::steady_clock::now();
        std::thread worker([&] {
            calling = true;
            result = CallSyncTarget(id, 20000) ? 1 : 0;
        });
        ASSERT_TRUE(test::WaitUntil([&] { return calling.load() && SyncCallsWaiting() == 1; }));
        if (unregister)
            UnregisterSyncTarget(id);
        else
            EnableSyncTarget(id, false);
        worker.join();
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(result.load(), 0);
        EXPECT_LT(waited, std::chrono::seconds(10)); // not the 20 s limit
        PumpFor(50);
        EXPECT_EQ(record.runs.load(), 0);
        if (!unregister)
            UnregisterSyncTarget(id);
    }
}

// The main thread is busy: the caller gives up after its limit but learns the slot is still
// enabled; the call then runs once the main thread gets to it.
TEST(AfSafeSync, TimedOutCallStillAnswersTrueAndRunsLater) {
    TRecord record;
    const std::uint32_t id = RegisterSyncTarget(Recorder(), &record);
    EnableSyncTarget(id, true);
    bool result = false;
    std::thread worker([&] { result = CallSyncTarget(id, 100); });
    worker.join(); // the main thread never served it meanwhile
    EXPECT_TRUE(result);
    EXPECT_EQ(record.runs.load(), 0);
    EXPECT_TRUE(PumpUntil([&] { return record.runs.load() == 1; }, 5000));
    UnregisterSyncTarget(id);
}

TEST(AfSafeSync, HandlerExceptionsGoToTheReport) {
    TReportCapture capture;
    int which = 0;
    const std::uint32_t id = RegisterSyncTarget(
        [](void* object, int) {
            if (*static_cast<int*>(object) == 0)
                throw std::runtime_error("handler failed");
            throw 42;
        },
        &which);
    EnableSyncTarget(id, true);
    std::thread first([&] { CallSyncTarget(id, 10000); });
    EXPECT_TRUE(PumpUntil([&] { return capture.Texts().size() == 1; }));
    first.join();
    which = 1;
    EXPECT_TRUE(CallSyncTarget(id, 0)); // on the main thread: the report, no escape
    ASSERT_EQ(capture.Texts().size(), 2u);
    EXPECT_EQ(capture.Texts()[0], "handler failed");
    EXPECT_EQ(capture.Texts()[1], "Unknown exception");
    UnregisterSyncTarget(id);
}

TEST(AfSafeSync, ReportFromWorkerIsShownOnMainThread) {
    std::atomic<bool> onMain{false};
    std::atomic<int> reports{0};
    SetExceptionReport([&](const std::exception& e) {
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        EXPECT_STREQ(e.what(), "from worker");
        ++reports;
    });
    std::thread worker(
        [] { ReportException(std::make_exception_ptr(std::runtime_error("from worker"))); });
    worker.join();
    EXPECT_EQ(reports.load(), 0); // queued, not run on the worker
    EXPECT_TRUE(PumpUntil([&] { return reports.load() == 1; }));
    EXPECT_TRUE(onMain.load());
    SetExceptionReport(nullptr);
}

} // namespace
} // namespace halvex
