#pragma once
// The simulated instrument: serves the display line and the keyboard line until told to stop.
#include <string>
#include <vector>

namespace tarvik::sim {

struct SimOptions {
    std::string portsDir;  // where COMn links are made
    int displayCom = 1;
    int mergeCom = 2;
    std::string machineHive;  // written (and removed at exit) when not empty
    bool force = false;       // replace existing links and hive file
    std::string scriptFile;   // control lines from this file instead of stdin; exit at its end
    std::string logFile;      // the decoded stream, one item per line
    std::string readyFile;    // written once the ports are bound, removed at exit
    bool exitOnEof = false;
    bool quiet = false;        // no live decoding on stdout (the "ready" line still appears)
    bool showDisplay = false;  // decode the display line too, not just count it
    std::string announceName;  // sent as a name field once the keyboard line first hears from Tarvik
};

// Fills `options` from the command line. Returns false with `error` set on bad use; `help` is
// set when --help was asked for.
bool parseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error, bool& help);
std::string simUsage();

// Runs until a signal, "quit", the end of the script or (with exitOnEof) the end of stdin.
// Returns the process exit code.
int runSimulator(const SimOptions& options);

}  // namespace tarvik::sim
