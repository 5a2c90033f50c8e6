// mavris-modem-sim: plays an ORVA V.92 modem on a pseudo-terminal, so that the tool (natively
// or under Wine) can be run against a modem without one. The answers come from
// CModemResponder; sim_options reads the command line, terminal_line sets up and describes
// the line, and CSimulator does the terminal, the timing, the log and the signals.
#include <utility>

#include "modem-sim/sim_options.h"
#include "modem-sim/simulator.h"

int main(int argc, char** argv) {
    Options options;
    if (const int parsed = ParseOptions(argc, argv, &options); parsed != 0) {
        return parsed == 2 ? 0 : 2;
    }
    CSimulator simulator(std::move(options));
    if (!simulator.Start()) {
        return 1;
    }
    return simulator.Run();
}
