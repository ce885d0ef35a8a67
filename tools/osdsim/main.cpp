// osdsim: the simulated OSD board on a pseudo-terminal, for trying the configurator
// without hardware. The first line of standard output is "PTY <slave path>".
// Ends cleanly on SIGINT or SIGTERM (files saved, symlink removed).
#include "OsdSimulator.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>

namespace {

halvex::sim::TOsdSimulator* volatile gSimulator = nullptr;

extern "C" void OnStopSignal(int) {
    if (gSimulator)
        gSimulator->RequestStop();
}

} // namespace

int main(int argc, char** argv) {
    const halvex::sim::TParsedArgs args =
        halvex::sim::ParseSimulatorArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (args.help) {
        std::cout << halvex::sim::kSimulatorUsage;
        return 0;
    }
    if (!args.error.empty()) {
        std::cerr << "osdsim: " << args.error << '\n' << halvex::sim::kSimulatorUsage;
        return 2;
    }
    try {
        halvex::sim::TOsdSimulator sim(args.options);
        // Handlers first: a stop request that comes before the loop runs still ends it.
        gSimulator = &sim;
        struct TForget {
            ~TForget() { gSimulator = nullptr; }
        } forget;
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
        std::signal(SIGPIPE, SIG_IGN);

        sim.Open();
        std::printf("PTY %s\n", sim.SlavePath().c_str());
        std::fflush(stdout);
        sim.Run();

        sa.sa_handler = SIG_DFL;
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
        sim.Stop();
    } catch (const std::exception& e) {
        std::cerr << "osdsim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
