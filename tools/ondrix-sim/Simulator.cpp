#include "tools/ondrix-sim/Simulator.h"

#include "serial/WireStream.h"
#include "tools/ondrix-sim/ControlLanguage.h"
#include "tools/ondrix-sim/InstrumentCommands.h"
#include "tools/ondrix-sim/PortBinding.h"
#include "tools/ondrix-sim/PtyLine.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace tarvik::sim {
namespace {

using Clock = std::chrono::steady_clock;

int gSignalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] auto ignored = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

bool installSignalHandlers(std::string& error) {
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

struct ControlLine {
    int number;
    std::string text;
};

class Simulator {
public:
    explicit Simulator(const SimOptions& options) : m_o(options) {}
    ~Simulator();
    bool start(std::string& error);
    void run();

private:
    bool bindPorts(std::string& error);
    bool loadScript(std::string& error);
    void writeReadyFile();
    bool shouldStop() const;
    void runControlLines();
    void perform(const ControlAction& action);
    void sendOn(PtyLine& line, const char* which, const std::string& bytes);
    void unplug(bool keyboard);
    void plug(bool keyboard);
    void serveLine(PtyLine& line, bool keyboard, short revents, bool& open);
    void onKeyboardBytes(const uint8_t* bytes, size_t n);
    void onDisplayBytes(const uint8_t* bytes, size_t n);
    void answer(const std::string& command);
    void announce();
    void readStdin();
    void finish();
    void emit(const std::string& line);
    void complain(const std::string& message);

    SimOptions m_o;
    PtyLine m_display, m_keyboard;
    ComLink m_displayLink, m_mergeLink;
    MachineHiveFile m_hive;
    WireDecoder m_keyboardDecoder, m_displayDecoder;
    CommandLineCollector m_commands;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_log{nullptr, std::fclose};
    std::deque<ControlLine> m_control;
    std::string m_stdinPartial;
    int m_stdinLineNumber = 0;
    bool m_stdinOpen = true, m_displayOpen = true, m_keyboardOpen = true, m_quit = false, m_announced = false;
    std::optional<Clock::time_point> m_sleepUntil;
    unsigned long m_displayBytes = 0, m_keyboardBytes = 0;
};

Simulator::~Simulator() {
    if (!m_o.readyFile.empty()) ::unlink(m_o.readyFile.c_str());
}

bool Simulator::start(std::string& error) {
    if (!installSignalHandlers(error)) return false;
    if (!m_o.logFile.empty()) {
        m_log.reset(std::fopen(m_o.logFile.c_str(), "w"));
        if (!m_log) {
            error = "cannot write log " + m_o.logFile + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!m_o.scriptFile.empty()) {
        m_stdinOpen = false;
        if (!loadScript(error)) return false;
    }
    if (!m_display.open(error) || !m_keyboard.open(error) || !bindPorts(error)) return false;
    if (!m_o.machineHive.empty() && !m_hive.write(m_o.machineHive, m_o.displayCom, m_o.mergeCom, m_o.force, error))
        return false;
    writeReadyFile();
    return true;
}

bool Simulator::bindPorts(std::string& error) {
    if (!m_displayLink.bind(m_o.portsDir, m_o.displayCom, m_display.slavePath(), m_o.force, error) ||
        !m_mergeLink.bind(m_o.portsDir, m_o.mergeCom, m_keyboard.slavePath(), m_o.force, error))
        return false;
    emit("bound display COM" + std::to_string(m_o.displayCom) + " " + m_display.slavePath());
    emit("bound keyboard COM" + std::to_string(m_o.mergeCom) + " " + m_keyboard.slavePath());
    return true;
}

bool Simulator::loadScript(std::string& error) {
    std::ifstream in(m_o.scriptFile);
    if (!in) {
        error = "cannot read script " + m_o.scriptFile;
        return false;
    }
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) m_control.push_back({number, text});
    return true;
}

void Simulator::writeReadyFile() {
    if (!m_o.readyFile.empty()) {
        const std::string temp = m_o.readyFile + ".tmp";
        std::ofstream(temp) << "display=" << m_display.slavePath() << "\nkeyboard=" << m_keyboard.slavePath() << "\n";
        if (std::rename(temp.c_str(), m_o.readyFile.c_str()) != 0) complain("cannot write " + m_o.readyFile);
    }
    // Always on stdout, also when quiet: scripts wait for it.
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    if (m_log) std::fputs("ready\n", m_log.get()), std::fflush(m_log.get());
}

void Simulator::emit(const std::string& line) {
    if (m_log) {
        std::fputs((line + "\n").c_str(), m_log.get());
        std::fflush(m_log.get());
    }
    if (!m_o.quiet) {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

void Simulator::complain(const std::string& message) { std::fprintf(stderr, "ondrix-sim: %s\n", message.c_str()); }

bool Simulator::shouldStop() const {
    if (m_quit) return true;
    if (m_sleepUntil || !m_control.empty()) return false;
    if (!m_o.scriptFile.empty()) return true;
    return !m_stdinOpen && m_o.exitOnEof;
}

void Simulator::runControlLines() {
    if (m_sleepUntil) {
        if (Clock::now() < *m_sleepUntil) return;
        m_sleepUntil.reset();
    }
    while (!m_control.empty() && !m_sleepUntil && !m_quit) {
        const ControlLine line = std::move(m_control.front());
        m_control.pop_front();
        const ControlParse parsed = parseControlLine(line.text);
        if (!parsed.ok) {
            const std::string where = m_o.scriptFile.empty() ? "stdin" : m_o.scriptFile;
            complain(where + ":" + std::to_string(line.number) + ": " + parsed.error);
            continue;
        }
        perform(parsed.action);
    }
}

void Simulator::perform(const ControlAction& action) {
    switch (action.kind) {
        case ControlAction::Kind::Nothing: break;
        case ControlAction::Kind::Keyboard:
            emit("sent " + action.summary);
            sendOn(m_keyboard, "keyboard", action.bytes);
            break;
        case ControlAction::Kind::Display:
            emit("sent " + action.summary);
            sendOn(m_display, "display", action.bytes);
            break;
        case ControlAction::Kind::Sleep:
            m_sleepUntil = Clock::now() + std::chrono::milliseconds(action.milliseconds);
            break;
        case ControlAction::Kind::Quit: m_quit = true; break;
        case ControlAction::Kind::Unplug: unplug(action.keyboardLine); break;
        case ControlAction::Kind::Plug: plug(action.keyboardLine); break;
    }
}

void Simulator::unplug(bool keyboard) {
    PtyLine& line = keyboard ? m_keyboard : m_display;
    const char* which = keyboard ? "keyboard" : "display";
    if (!line.isOpen()) return complain(std::string(which) + " line is already unplugged");
    line.unplug();
    (keyboard ? m_keyboardOpen : m_displayOpen) = false;
    // A packet cut short by the unplugging is not continued by the next line.
    (keyboard ? m_keyboardDecoder : m_displayDecoder) = WireDecoder();
    emit(std::string("unplugged ") + which);
}

void Simulator::plug(bool keyboard) {
    PtyLine& line = keyboard ? m_keyboard : m_display;
    const char* which = keyboard ? "keyboard" : "display";
    if (line.isOpen()) return complain(std::string(which) + " line is already plugged in");
    std::string error;
    if (!line.open(error) || !(keyboard ? m_mergeLink : m_displayLink).repoint(line.slavePath(), error)) {
        line.close();
        return complain(std::string("plug ") + which + ": " + error);
    }
    // Only now that the link leads to the new line may the old number go to someone else.
    line.releaseOldNumber();
    (keyboard ? m_keyboardOpen : m_displayOpen) = true;
    emit(std::string("plugged ") + which + " " + line.slavePath());
}

void Simulator::sendOn(PtyLine& line, const char* which, const std::string& bytes) {
    if (!line.isOpen())
        return complain(std::string(which) + " line is unplugged: " + std::to_string(bytes.size()) + " bytes dropped");
    if (const size_t refused = line.send(bytes))
        complain(std::string(which) + " line is full (nobody reads it): " + std::to_string(refused) + " bytes dropped");
}

void Simulator::onKeyboardBytes(const uint8_t* bytes, size_t n) {
    m_keyboardBytes += n;
    announce();
    std::vector<WireItem> items;
    m_keyboardDecoder.feed(bytes, n, items);
    for (const WireItem& item : items) {
        emit(formatWireItem(item));
        if (item.kind != WireItem::Kind::Key) continue;
        if (auto command = m_commands.onKey(item.key)) answer(*command);
    }
}

void Simulator::answer(const std::string& command) {
    if (command.empty()) return;
    const auto name = lookUpInstrumentName(command);
    if (!name) {
        emit("command \"" + command + "\" -> none");
        return;
    }
    const std::string field = nameField(*name);
    emit("command \"" + command + "\" -> \"" + field.substr(1) + "\"");
    sendOn(m_display, "display", field);
}

// The program sends a mouse packet as soon as it has opened its ports, so the first bytes on the
// keyboard line mean it is connected and listening on the display line: a name sent now shows up
// in its window without anyone typing a command. Once only, so later reopens change nothing.
void Simulator::announce() {
    if (m_announced || m_o.announceName.empty()) return;
    m_announced = true;
    const std::string field = nameField(m_o.announceName);
    emit("sent name \"" + field.substr(1) + "\"");
    sendOn(m_display, "display", field);
}

void Simulator::onDisplayBytes(const uint8_t* bytes, size_t n) {
    m_displayBytes += n;
    if (!m_o.showDisplay) return;
    std::vector<WireItem> items;
    m_displayDecoder.feed(bytes, n, items);
    for (const WireItem& item : items) emit("display " + formatWireItem(item));
}

void Simulator::serveLine(PtyLine& line, bool keyboard, short revents, bool& open) {
    const char* which = keyboard ? "keyboard" : "display";
    std::string error;
    if ((revents & POLLOUT) && !line.flush(error)) complain(std::string(which) + " line: " + error);
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
    uint8_t buffer[4096];
    ssize_t n = 0;
    while ((n = line.read(buffer, sizeof buffer)) > 0)
        keyboard ? onKeyboardBytes(buffer, static_cast<size_t>(n)) : onDisplayBytes(buffer, static_cast<size_t>(n));
    // A hung-up line would report itself ready forever; stop listening rather than spin.
    if (n < 0 || (revents & (POLLHUP | POLLERR))) {
        complain(std::string(which) + " line hung up; no longer reading it");
        open = false;
    }
}

void Simulator::readStdin() {
    static constexpr size_t MaxLine = 64 * 1024;
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) return;
        complain(std::string("stdin: ") + std::strerror(errno));
    }
    if (n <= 0) {
        if (!m_stdinPartial.empty()) m_control.push_back({++m_stdinLineNumber, std::move(m_stdinPartial)});
        m_stdinPartial.clear();
        m_stdinOpen = false;
        return;
    }
    m_stdinPartial.append(buffer, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t nl; (nl = m_stdinPartial.find('\n', start)) != std::string::npos; start = nl + 1)
        m_control.push_back({++m_stdinLineNumber, m_stdinPartial.substr(start, nl - start)});
    m_stdinPartial.erase(0, start);
    if (m_stdinPartial.size() > MaxLine) {
        complain("stdin: line longer than 64 KiB ignored");
        m_stdinPartial.clear();
    }
}

void Simulator::run() {
    for (;;) {
        runControlLines();
        if (shouldStop()) break;
        pollfd fds[4] = {
            {gSignalPipe[0], POLLIN, 0},
            {m_display.masterFd(),
             static_cast<short>((m_displayOpen ? POLLIN : 0) | (m_display.hasQueued() ? POLLOUT : 0)), 0},
            {m_keyboard.masterFd(),
             static_cast<short>((m_keyboardOpen ? POLLIN : 0) | (m_keyboard.hasQueued() ? POLLOUT : 0)), 0},
            {m_stdinOpen ? STDIN_FILENO : -1, POLLIN, 0},
        };
        int timeout = -1;
        if (m_sleepUntil) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*m_sleepUntil - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count()));
        }
        if (::poll(fds, 4, timeout) < 0) {
            if (errno == EINTR) continue;
            complain(std::string("poll: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents) break;
        if (fds[1].revents) serveLine(m_display, false, fds[1].revents, m_displayOpen);
        if (fds[2].revents) serveLine(m_keyboard, true, fds[2].revents, m_keyboardOpen);
        if (fds[3].revents) readStdin();
    }
    finish();
}

void Simulator::finish() {
    std::string error;
    for (auto* line : {&m_display, &m_keyboard}) {
        line->flush(error);
        if (line->hasQueued())
            complain(std::string(line == &m_display ? "display" : "keyboard") +
                     " line: " + std::to_string(line->queued()) + " bytes were never read by the other side");
    }
    if (m_keyboardDecoder.hasPending()) emit("pending packet bytes at exit");
    emit("received display=" + std::to_string(m_displayBytes) + " keyboard=" + std::to_string(m_keyboardBytes));
    emit("exit");
}

}  // namespace

int runSimulator(const SimOptions& options) {
    Simulator simulator(options);
    std::string error;
    if (!simulator.start(error)) {
        std::fprintf(stderr, "ondrix-sim: %s\n", error.c_str());
        return 1;
    }
    simulator.run();
    return 0;
}

}  // namespace tarvik::sim
