#include "serial/AfSafeSync.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

namespace halvex {

namespace {

struct TSlot {
    bool enabled = false;
    TAfSafeSyncHandler handler;
    void* object = nullptr;
    std::uint32_t id = 0;
};

// One queued request for the main thread: a handler call or an exception to report.
struct TCall {
    std::uint32_t id = 0;
    bool done = false;
    std::exception_ptr report;
};

struct TGate {
    std::mutex lock; // guards everything below; never held while a handler runs
    std::condition_variable changed;
    std::array<TSlot, AfMaxSyncTargets> table{};
    std::uint32_t counter = 0;
    std::deque<std::shared_ptr<TCall>> queue;
    int waiting = 0; // callers blocked in CallSyncTarget
    int wakeFd = -1;
    QObject* receiver = nullptr; // lives on the main thread, owns the socket notifier
    bool haveMain = false;
    std::thread::id mainThread;
    std::function<void(const std::exception&)> report;
};

// Never destroyed: worker threads may still use it while statics are torn down.
TGate& Gate() {
    static TGate* gate = [] {
        auto* g = new TGate;
        g->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        return g;
    }();
    return *gate;
}

TSlot* FindSlot(TGate& g, std::uint32_t id) {
    if (id == 0)
        return nullptr;
    for (auto& s : g.table)
        if (s.id == id)
            return &s;
    return nullptr;
}

bool SlotLive(TGate& g, std::uint32_t id) {
    TSlot* s = FindSlot(g, id);
    return s != nullptr && s->handler && s->enabled;
}

bool OnMainThread(TGate& g) {
    if (auto* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    return g.haveMain && std::this_thread::get_id() == g.mainThread;
}

void Deliver(std::exception_ptr error) {
    TGate& g = Gate();
    std::function<void(const std::exception&)> report;
    {
        std::lock_guard<std::mutex> guard(g.lock);
        report = g.report;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        if (report)
            report(e);
        else
            qWarning("%s", e.what());
    } catch (...) {
        const std::runtime_error unknown("Unknown exception");
        if (report)
            report(unknown);
        else
            qWarning("%s", unknown.what());
    }
}

// Runs the handler of slot `id` on the calling (main) thread if the slot is live.
void RunSlot(std::uint32_t id) {
    TGate& g = Gate();
    TAfSafeSyncHandler handler;
    void* object = nullptr;
    int number = 0;
    {
        std::lock_guard<std::mutex> guard(g.lock);
        TSlot* s = FindSlot(g, id);
        if (s == nullptr || !s->handler || !s->enabled)
            return;
        handler = s->handler;
        object = s->object;
        number = static_cast<int>(s - g.table.data()) + 1;
    }
    try {
        handler(object, number);
    } catch (...) {
        Deliver(std::current_exception());
    }
}

// Main thread: drains the queue. Re-entrant (a handler may run a nested event loop).
void ProcessQueue() {
    TGate& g = Gate();
    std::uint64_t value = 0;
    while (::read(g.wakeFd, &value, sizeof value) < 0 && errno == EINTR) {
    }
    for (;;) {
        std::shared_ptr<TCall> call;
        {
            std::lock_guard<std::mutex> guard(g.lock);
            if (g.queue.empty())
                return;
            call = std::move(g.queue.front());
            g.queue.pop_front();
        }
        if (call->report)
            Deliver(call->report);
        else
            RunSlot(call->id);
        {
            std::lock_guard<std::mutex> guard(g.lock);
            call->done = true;
        }
        g.changed.notify_all();
    }
}

void DestroyReceiver() {
    TGate& g = Gate();
    QObject* receiver = nullptr;
    {
        std::lock_guard<std::mutex> guard(g.lock);
        receiver = g.receiver;
        g.receiver = nullptr;
    }
    delete receiver;
}

// Creates the main-thread receiver on first use from the main thread. Caller holds no lock.
void EnsureReceiver() {
    TGate& g = Gate();
    auto* app = QCoreApplication::instance();
    {
        std::lock_guard<std::mutex> guard(g.lock);
        if (!g.haveMain) {
            g.haveMain = true;
            g.mainThread = std::this_thread::get_id();
        }
        if (g.receiver != nullptr || app == nullptr || g.wakeFd < 0 ||
            QThread::currentThread() != app->thread())
            return;
        g.mainThread = std::this_thread::get_id();
    }
    auto* receiver = new QObject;
    auto* notifier = new QSocketNotifier(g.wakeFd, QSocketNotifier::Read, receiver);
    QObject::connect(notifier, &QSocketNotifier::activated, receiver, [] { ProcessQueue(); });
    {
        std::lock_guard<std::mutex> guard(g.lock);
        g.receiver = receiver;
    }
    // Torn down with the application object; a later application gets a new one.
    qAddPostRoutine(DestroyReceiver);
    // Calls queued before the receiver existed.
    ProcessQueue();
}

// Caller holds the gate lock. Without a receiver yet (no gate use on the main thread so
// far), asks the application to create one on its thread.
void Wake(TGate& g) {
    const std::uint64_t one = 1;
    while (::write(g.wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    if (g.receiver == nullptr)
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { EnsureReceiver(); }, Qt::QueuedConnection);
}

} // namespace

std::uint32_t RegisterSyncTarget(TAfSafeSyncHandler handler, void* object) {
    if (!handler)
        return 0;
    EnsureReceiver();
    TGate& g = Gate();
    std::lock_guard<std::mutex> guard(g.lock);
    for (auto& s : g.table) {
        if (s.handler)
            continue;
        s.enabled = false;
        s.handler = std::move(handler);
        s.object = object;
        if (++g.counter == 0)
            ++g.counter;
        s.id = g.counter;
        return s.id;
    }
    return 0;
}

bool UnregisterSyncTarget(std::uint32_t id) {
    TGate& g = Gate();
    TAfSafeSyncHandler old;
    {
        std::lock_guard<std::mutex> guard(g.lock);
        TSlot* s = FindSlot(g, id);
        if (s == nullptr)
            return false;
        old = std::move(s->handler);
        *s = TSlot{};
    }
    g.changed.notify_all();
    return true;
}

bool EnableSyncTarget(std::uint32_t id, bool enable) {
    EnsureReceiver();
    TGate& g = Gate();
    {
        std::lock_guard<std::mutex> guard(g.lock);
        TSlot* s = FindSlot(g, id);
        if (s == nullptr || !s->handler)
            return false;
        s->enabled = enable;
    }
    g.changed.notify_all();
    return true;
}

bool CallSyncTarget(std::uint32_t id, std::uint32_t limitMs) {
    TGate& g = Gate();
    bool direct = false;
    {
        std::lock_guard<std::mutex> guard(g.lock);
        if (!SlotLive(g, id))
            return false;
        direct = OnMainThread(g);
    }
    if (direct) {
        RunSlot(id);
        std::lock_guard<std::mutex> guard(g.lock);
        return SlotLive(g, id);
    }
    auto call = std::make_shared<TCall>();
    call->id = id;
    std::unique_lock<std::mutex> lock(g.lock);
    g.queue.push_back(call);
    Wake(g);
    ++g.waiting;
    g.changed.wait_for(lock, std::chrono::milliseconds(limitMs),
                       [&] { return call->done || !SlotLive(g, id); });
    --g.waiting;
    const bool live = SlotLive(g, id);
    // A call that can no longer run (slot gone, or nobody to run it) leaves the queue.
    if (!call->done && (!live || g.receiver == nullptr)) {
        auto it = std::find(g.queue.begin(), g.queue.end(), call);
        if (it != g.queue.end())
            g.queue.erase(it);
    }
    return live;
}

int SyncTargetCount() {
    TGate& g = Gate();
    std::lock_guard<std::mutex> guard(g.lock);
    return static_cast<int>(std::count_if(g.table.begin(), g.table.end(),
                                          [](const TSlot& s) { return bool(s.handler); }));
}

int SyncCallsWaiting() {
    TGate& g = Gate();
    std::lock_guard<std::mutex> guard(g.lock);
    return g.waiting;
}

int SyncCallsQueued() {
    TGate& g = Gate();
    std::lock_guard<std::mutex> guard(g.lock);
    return static_cast<int>(std::count_if(g.queue.begin(), g.queue.end(),
                                          [](const auto& call) { return !call->report; }));
}

void SetExceptionReport(std::function<void(const std::exception&)> report) {
    EnsureReceiver();
    TGate& g = Gate();
    std::lock_guard<std::mutex> guard(g.lock);
    g.report = std::move(report);
}

void ReportException(std::exception_ptr error) {
    if (!error)
        return;
    TGate& g = Gate();
    bool direct = false;
    {
        std::lock_guard<std::mutex> guard(g.lock);
        direct = OnMainThread(g);
        if (!direct) {
            auto call = std::make_shared<TCall>();
            call->report = error;
            g.queue.push_back(std::move(call));
            Wake(g);
        }
    }
    if (direct)
        Deliver(error);
}

} // namespace halvex
