// The link stack of the program over a simulated board, for end-to-end tests and
// benchmarks (whose main makes the Qt application): the simulated board (on its own thread, or
// any pty given by path), TAfComPort opened on the pty through a port-path override, two
// Qt timers and TOsdLink over them, and a host that records what the link asks of the
// main window.
#pragma once

#include "OsdSimulator.h"
#include "RecordingHost.h"
#include "TestPatterns.h"

#include "board/ComLinkPort.h"
#include "config/ConfigImage.h"
#include "link/FontFile.h"
#include "link/LinkHost.h"
#include "link/OsdLink.h"
#include "link/QtLinkTimer.h"
#include "serial/AfComPort.h"
#include "serial/AfPortPaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>

namespace halvex::sim::test {

// Runs the event loop until `done()` holds or `limit` passes; returns whether it holds.
// A check timer wakes the loop every `checkMs` even when nothing else happens.
template <typename Done>
bool RunUntil(Done&& done, std::chrono::milliseconds limit, int checkMs = 5) {
    QDeadlineTimer deadline(limit.count(), Qt::PreciseTimer);
    QTimer wake;
    wake.start(checkMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop for `span` (lets late bytes and timer ticks happen).
inline void RunFor(std::chrono::milliseconds span) {
    RunUntil([] { return false; }, span);
}

class TLinkStack {
public:
    static constexpr int kPortNumber = 7; // mapped to the board's pty

    TLinkStack() = default;
    ~TLinkStack() { Shutdown(); }
    TLinkStack(const TLinkStack&) = delete;
    TLinkStack& operator=(const TLinkStack&) = delete;

    // Starts the board with `options` on its own thread and attaches to its pty.
    void Boot(const TSimulatorOptions& options) {
        Shutdown();
        sim = std::make_unique<TOsdSimulator>(options);
        sim->Start();
        Attach(sim->SlavePath());
    }

    // Opens the port on the pty at `path` (the main window's line settings) and builds
    // the link over it.
    void Attach(const std::string& path) {
        image.Clear();
        host = TRecordingHost{};
        TAfPortPaths::SetOverride(kPortNumber, path);
        port = std::make_unique<TAfComPort>();
        ConfigureBoardPort(*port);
        port->SetComNumber(kPortNumber);
        port->Open();
        linkPort = std::make_unique<TComLinkPort>(*port);
        link = std::make_unique<TOsdLink>(image, *linkPort, timer1, timer2, host);
    }

    void Shutdown() {
        link.reset();
        linkPort.reset();
        if (port)
            port->Close();
        port.reset();
        if (sim)
            sim->Stop();
        sim.reset();
        TAfPortPaths::SetOverride(kPortNumber, "");
        timer1.SetEnabled(false);
        timer2.SetEnabled(false);
    }

    TConfigImage image;
    TRecordingHost host;
    TQtTimer timer1{200};
    TQtTimer timer2{200};
    std::unique_ptr<TOsdSimulator> sim;
    std::unique_ptr<TAfComPort> port;
    std::unique_ptr<TComLinkPort> linkPort;
    std::unique_ptr<TOsdLink> link;
};

} // namespace halvex::sim::test
