#include "serial/KeyNames.h"
#include "tools/ondrix-sim/Simulator.h"

#include <cstdlib>

namespace tarvik::sim {
namespace {

std::string defaultPortsDir() {
    if (const char* dir = std::getenv("TARVIK_PORTS_DIR"); dir && *dir) return dir;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/tarvik/ports";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/tarvik/ports";
}

bool parseCom(const std::string& name, const std::string& value, int& com, std::string& error) {
    auto n = parseNumber(value);
    if (!n || *n < 1 || *n > 255) {
        error = name + " needs a port number from 1 to 255, not \"" + value + "\"";
        return false;
    }
    com = static_cast<int>(*n);
    return true;
}

bool setFlag(const std::string& name, SimOptions& o) {
    if (name == "--force") o.force = true;
    else if (name == "--exit-on-eof") o.exitOnEof = true;
    else if (name == "--quiet") o.quiet = true;
    else if (name == "--show-display") o.showDisplay = true;
    else return false;
    return true;
}

bool isValueOption(const std::string& name) {
    for (const char* known : {"--ports-dir", "--display-com", "--merge-com", "--machine-hive", "--script", "--log",
                              "--once-ready", "--announce"}) {
        if (name == known) return true;
    }
    return false;
}

bool setValue(const std::string& name, const std::string& value, SimOptions& o, std::string& error) {
    if (name == "--ports-dir") o.portsDir = value;
    else if (name == "--display-com") return parseCom(name, value, o.displayCom, error);
    else if (name == "--merge-com") return parseCom(name, value, o.mergeCom, error);
    else if (name == "--machine-hive") o.machineHive = value;
    else if (name == "--script") o.scriptFile = value;
    else if (name == "--log") o.logFile = value;
    else if (name == "--once-ready") o.readyFile = value;
    else if (name == "--announce") o.announceName = value;
    else {
        error = "unknown option " + name;
        return false;
    }
    if (value.empty()) {
        error = name + " needs a non-empty value";
        return false;
    }
    return true;
}

}  // namespace

std::string simUsage() {
    return "usage: ondrix-sim [options]\n"
           "  --ports-dir DIR      folder for the COMn links (default $TARVIK_PORTS_DIR)\n"
           "  --display-com N      COM number of the display line (default 1)\n"
           "  --merge-com N        COM number of the keyboard line (default 2)\n"
           "  --machine-hive FILE  write a machine hive naming both ports (removed at exit)\n"
           "  --force              replace existing COMn links and hive file\n"
           "  --script FILE        read control lines from FILE and exit at its end\n"
           "  --exit-on-eof        exit when stdin ends\n"
           "  --log FILE           write the decoded keyboard line to FILE\n"
           "  --once-ready FILE    create FILE once the ports are bound\n"
           "  --show-display       decode the display line too\n"
           "  --announce NAME      send NAME on the display line when the keyboard line first\n"
           "                       receives something (the program has opened its ports)\n"
           "  --quiet              no live decoding on stdout\n";
}

bool parseSimOptions(const std::vector<std::string>& args, SimOptions& o, std::string& error, bool& help) {
    help = false;
    o.portsDir.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            help = true;
            return true;
        }
        if (setFlag(name, o)) continue;
        std::string value;
        const size_t eq = name.rfind("--", 0) == 0 ? name.find('=') : std::string::npos;
        if (!isValueOption(name.substr(0, eq))) {
            error = name.rfind("-", 0) == 0 ? "unknown option " + name.substr(0, eq)
                                            : "unexpected argument \"" + name + "\"";
            return false;
        }
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name + " needs a value";
            return false;
        }
        if (!setValue(name, value, o, error)) return false;
    }
    if (o.displayCom == o.mergeCom) {
        error = "the display line and the keyboard line need different COM numbers";
        return false;
    }
    if (o.portsDir.empty()) o.portsDir = defaultPortsDir();
    return true;
}

}  // namespace tarvik::sim
