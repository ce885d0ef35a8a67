// Main-thread call gate: lets a worker thread run a registered handler on the Qt main
// thread and wait for it with a time limit.
//
// Process-wide, 64 slots. A slot holds a handler, its object and an enabled flag; a
// registration gets a unique non-zero id. CallSyncTarget from a worker thread queues the
// call for the main thread (woken through an eventfd watched by a QSocketNotifier) and waits
// until the handler has run, the limit has passed, or the slot has been disabled or
// unregistered (so a main thread that disables a slot and then joins the worker never
// deadlocks). The caller only learns whether the slot is still registered and enabled.
// A call that ran out of time still runs later if its slot is then still enabled.
//
// The main thread is the thread of the QCoreApplication (or, before one exists, the thread
// that registered first). Calls made on the main thread run the handler directly.
// Exceptions escaping a handler go to the exception report (SetExceptionReport).
#pragma once

#include <cstdint>
#include <exception>
#include <functional>

namespace halvex {

// Called on the main thread with the registered object and the 1-based slot number.
using TAfSafeSyncHandler = std::function<void(void* object, int slot)>;

inline constexpr int AfMaxSyncTargets = 64;

// Takes the first free slot; the slot starts disabled. Returns its id, or 0 when all 64
// slots are taken or the handler is empty.
std::uint32_t RegisterSyncTarget(TAfSafeSyncHandler handler, void* object);
// Frees the slot; a caller waiting on it returns at once. False for an unknown id.
bool UnregisterSyncTarget(std::uint32_t id);
// Sets the enabled flag; disabling wakes callers waiting on the slot. False for an unknown id.
bool EnableSyncTarget(std::uint32_t id, bool enable);
// Runs the slot's handler on the main thread, waiting up to `limitMs` milliseconds. True when
// the slot is still registered and enabled afterwards (also when the wait ran out of time);
// false when it is disabled or gone (the handler then does not run).
bool CallSyncTarget(std::uint32_t id, std::uint32_t limitMs);
// Slots in use (diagnostics and tests).
int SyncTargetCount();
// Worker threads waiting in CallSyncTarget now, and calls queued for the main thread that
// have not run yet (diagnostics and tests).
int SyncCallsWaiting();
int SyncCallsQueued();

// The application's exception report (a message box in the program). Without one, reports
// are written to the Qt warning log.
void SetExceptionReport(std::function<void(const std::exception&)> report);
// Hands an exception to the report: at once on the main thread, else queued to it without
// waiting. Non-standard exceptions are reported as "Unknown exception".
void ReportException(std::exception_ptr error);

} // namespace halvex
