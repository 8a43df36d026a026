// ondrix-sim: a simulated instrument for running the program without the hardware.
#include "tools/ondrix-sim/Simulator.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    tarvik::sim::SimOptions options;
    std::string error;
    bool help = false;
    if (!tarvik::sim::parseSimOptions(args, options, error, help)) {
        std::fprintf(stderr, "ondrix-sim: %s\n%s", error.c_str(), tarvik::sim::simUsage().c_str());
        return 2;
    }
    if (help) {
        std::fputs(tarvik::sim::simUsage().c_str(), stdout);
        return 0;
    }
    return tarvik::sim::runSimulator(options);
}
