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

extern "C" void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] auto ignored = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

bool InstallSignalHandlers(std::string& error) {
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
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
    explicit Simulator(const SimOptions& options) : o_(options) {}
    ~Simulator();
    bool Start(std::string& error);
    void Run();

private:
    bool BindPorts(std::string& error);
    bool LoadScript(std::string& error);
    void WriteReadyFile();
    bool ShouldStop() const;
    void RunControlLines();
    void Perform(const ControlAction& action);
    void SendOn(PtyLine& line, const char* which, const std::string& bytes);
    void Unplug(bool keyboard);
    void Plug(bool keyboard);
    void ServeLine(PtyLine& line, bool keyboard, short revents, bool& open);
    void OnKeyboardBytes(const uint8_t* bytes, size_t n);
    void OnDisplayBytes(const uint8_t* bytes, size_t n);
    void Answer(const std::string& command);
    void Announce();
    void ReadStdin();
    void Finish();
    void Emit(const std::string& line);
    void Complain(const std::string& message);

    SimOptions o_;
    PtyLine display_, keyboard_;
    ComLink displayLink_, mergeLink_;
    MachineHiveFile hive_;
    CWireDecoder keyboardDecoder_, displayDecoder_;
    CommandLineCollector commands_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> log_{nullptr, std::fclose};
    std::deque<ControlLine> control_;
    std::string stdinPartial_;
    int stdinLineNumber_ = 0;
    bool stdinOpen_ = true, displayOpen_ = true, keyboardOpen_ = true, quit_ = false, announced_ = false;
    std::optional<Clock::time_point> sleepUntil_;
    unsigned long displayBytes_ = 0, keyboardBytes_ = 0;
};

Simulator::~Simulator() {
    if (!o_.readyFile.empty()) ::unlink(o_.readyFile.c_str());
}

bool Simulator::Start(std::string& error) {
    if (!InstallSignalHandlers(error)) return false;
    if (!o_.logFile.empty()) {
        log_.reset(std::fopen(o_.logFile.c_str(), "w"));
        if (!log_) {
            error = "cannot write log " + o_.logFile + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!o_.scriptFile.empty()) {
        stdinOpen_ = false;
        if (!LoadScript(error)) return false;
    }
    if (!display_.Open(error) || !keyboard_.Open(error) || !BindPorts(error)) return false;
    if (!o_.machineHive.empty() && !hive_.Write(o_.machineHive, o_.displayCom, o_.mergeCom, o_.force, error))
        return false;
    WriteReadyFile();
    return true;
}

bool Simulator::BindPorts(std::string& error) {
    if (!displayLink_.Bind(o_.portsDir, o_.displayCom, display_.SlavePath(), o_.force, error) ||
        !mergeLink_.Bind(o_.portsDir, o_.mergeCom, keyboard_.SlavePath(), o_.force, error))
        return false;
    Emit("bound display COM" + std::to_string(o_.displayCom) + " " + display_.SlavePath());
    Emit("bound keyboard COM" + std::to_string(o_.mergeCom) + " " + keyboard_.SlavePath());
    return true;
}

bool Simulator::LoadScript(std::string& error) {
    std::ifstream in(o_.scriptFile);
    if (!in) {
        error = "cannot read script " + o_.scriptFile;
        return false;
    }
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) control_.push_back({number, text});
    return true;
}

void Simulator::WriteReadyFile() {
    if (!o_.readyFile.empty()) {
        const std::string temp = o_.readyFile + ".tmp";
        std::ofstream(temp) << "display=" << display_.SlavePath() << "\nkeyboard=" << keyboard_.SlavePath() << "\n";
        if (std::rename(temp.c_str(), o_.readyFile.c_str()) != 0) Complain("cannot write " + o_.readyFile);
    }
    // Always on stdout, also when quiet: scripts wait for it.
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    if (log_) std::fputs("ready\n", log_.get()), std::fflush(log_.get());
}

void Simulator::Emit(const std::string& line) {
    if (log_) {
        std::fputs((line + "\n").c_str(), log_.get());
        std::fflush(log_.get());
    }
    if (!o_.quiet) {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

void Simulator::Complain(const std::string& message) { std::fprintf(stderr, "ondrix-sim: %s\n", message.c_str()); }

bool Simulator::ShouldStop() const {
    if (quit_) return true;
    if (sleepUntil_ || !control_.empty()) return false;
    if (!o_.scriptFile.empty()) return true;
    return !stdinOpen_ && o_.exitOnEof;
}

void Simulator::RunControlLines() {
    if (sleepUntil_) {
        if (Clock::now() < *sleepUntil_) return;
        sleepUntil_.reset();
    }
    while (!control_.empty() && !sleepUntil_ && !quit_) {
        const ControlLine line = std::move(control_.front());
        control_.pop_front();
        const ControlParse parsed = ParseControlLine(line.text);
        if (!parsed.ok) {
            const std::string where = o_.scriptFile.empty() ? "stdin" : o_.scriptFile;
            Complain(where + ":" + std::to_string(line.number) + ": " + parsed.error);
            continue;
        }
        Perform(parsed.action);
    }
}

void Simulator::Perform(const ControlAction& action) {
    switch (action.kind) {
        case ControlAction::Kind::Nothing: break;
        case ControlAction::Kind::Keyboard:
            Emit("sent " + action.summary);
            SendOn(keyboard_, "keyboard", action.bytes);
            break;
        case ControlAction::Kind::Display:
            Emit("sent " + action.summary);
            SendOn(display_, "display", action.bytes);
            break;
        case ControlAction::Kind::Sleep:
            sleepUntil_ = Clock::now() + std::chrono::milliseconds(action.milliseconds);
            break;
        case ControlAction::Kind::Quit: quit_ = true; break;
        case ControlAction::Kind::Unplug: Unplug(action.keyboardLine); break;
        case ControlAction::Kind::Plug: Plug(action.keyboardLine); break;
    }
}

void Simulator::Unplug(bool keyboard) {
    PtyLine& line = keyboard ? keyboard_ : display_;
    const char* which = keyboard ? "keyboard" : "display";
    if (!line.IsOpen()) return Complain(std::string(which) + " line is already unplugged");
    line.Unplug();
    (keyboard ? keyboardOpen_ : displayOpen_) = false;
    // A packet cut short by the unplugging is not continued by the next line.
    (keyboard ? keyboardDecoder_ : displayDecoder_) = CWireDecoder();
    Emit(std::string("unplugged ") + which);
}

void Simulator::Plug(bool keyboard) {
    PtyLine& line = keyboard ? keyboard_ : display_;
    const char* which = keyboard ? "keyboard" : "display";
    if (line.IsOpen()) return Complain(std::string(which) + " line is already plugged in");
    std::string error;
    if (!line.Open(error) || !(keyboard ? mergeLink_ : displayLink_).Repoint(line.SlavePath(), error)) {
        line.Close();
        return Complain(std::string("plug ") + which + ": " + error);
    }
    // Only now that the link leads to the new line may the old number go to someone else.
    line.ReleaseOldNumber();
    (keyboard ? keyboardOpen_ : displayOpen_) = true;
    Emit(std::string("plugged ") + which + " " + line.SlavePath());
}

void Simulator::SendOn(PtyLine& line, const char* which, const std::string& bytes) {
    if (!line.IsOpen())
        return Complain(std::string(which) + " line is unplugged: " + std::to_string(bytes.size()) + " bytes dropped");
    if (const size_t refused = line.Send(bytes))
        Complain(std::string(which) + " line is full (nobody reads it): " + std::to_string(refused) + " bytes dropped");
}

void Simulator::OnKeyboardBytes(const uint8_t* bytes, size_t n) {
    keyboardBytes_ += n;
    Announce();
    std::vector<WireItem> items;
    keyboardDecoder_.Feed(bytes, n, items);
    for (const WireItem& item : items) {
        Emit(FormatWireItem(item));
        if (item.kind != WireItem::Kind::Key) continue;
        if (auto command = commands_.OnKey(item.key)) Answer(*command);
    }
}

void Simulator::Answer(const std::string& command) {
    if (command.empty()) return;
    const auto name = LookUpInstrumentName(command);
    if (!name) {
        Emit("command \"" + command + "\" -> none");
        return;
    }
    const std::string field = NameField(*name);
    Emit("command \"" + command + "\" -> \"" + field.substr(1) + "\"");
    SendOn(display_, "display", field);
}

// The program sends a mouse packet as soon as it has opened its ports, so the first bytes on the
// keyboard line mean it is connected and listening on the display line: a name sent now shows up
// in its window without anyone typing a command. Once only, so later reopens change nothing.
void Simulator::Announce() {
    if (announced_ || o_.announceName.empty()) return;
    announced_ = true;
    const std::string field = NameField(o_.announceName);
    Emit("sent name \"" + field.substr(1) + "\"");
    SendOn(display_, "display", field);
}

void Simulator::OnDisplayBytes(const uint8_t* bytes, size_t n) {
    displayBytes_ += n;
    if (!o_.showDisplay) return;
    std::vector<WireItem> items;
    displayDecoder_.Feed(bytes, n, items);
    for (const WireItem& item : items) Emit("display " + FormatWireItem(item));
}

void Simulator::ServeLine(PtyLine& line, bool keyboard, short revents, bool& open) {
    const char* which = keyboard ? "keyboard" : "display";
    std::string error;
    if ((revents & POLLOUT) && !line.Flush(error)) Complain(std::string(which) + " line: " + error);
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
    uint8_t buffer[4096];
    ssize_t n = 0;
    while ((n = line.Read(buffer, sizeof buffer)) > 0)
        keyboard ? OnKeyboardBytes(buffer, static_cast<size_t>(n)) : OnDisplayBytes(buffer, static_cast<size_t>(n));
    // A hung-up line would report itself ready forever; stop listening rather than spin.
    if (n < 0 || (revents & (POLLHUP | POLLERR))) {
        Complain(std::string(which) + " line hung up; no longer reading it");
        open = false;
    }
}

void Simulator::ReadStdin() {
    static constexpr size_t kMaxLine = 64 * 1024;
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) return;
        Complain(std::string("stdin: ") + std::strerror(errno));
    }
    if (n <= 0) {
        if (!stdinPartial_.empty()) control_.push_back({++stdinLineNumber_, std::move(stdinPartial_)});
        stdinPartial_.clear();
        stdinOpen_ = false;
        return;
    }
    stdinPartial_.append(buffer, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t nl; (nl = stdinPartial_.find('\n', start)) != std::string::npos; start = nl + 1)
        control_.push_back({++stdinLineNumber_, stdinPartial_.substr(start, nl - start)});
    stdinPartial_.erase(0, start);
    if (stdinPartial_.size() > kMaxLine) {
        Complain("stdin: line longer than 64 KiB ignored");
        stdinPartial_.clear();
    }
}

void Simulator::Run() {
    for (;;) {
        RunControlLines();
        if (ShouldStop()) break;
        pollfd fds[4] = {
            {gSignalPipe[0], POLLIN, 0},
            {display_.MasterFd(),
             static_cast<short>((displayOpen_ ? POLLIN : 0) | (display_.HasQueued() ? POLLOUT : 0)), 0},
            {keyboard_.MasterFd(),
             static_cast<short>((keyboardOpen_ ? POLLIN : 0) | (keyboard_.HasQueued() ? POLLOUT : 0)), 0},
            {stdinOpen_ ? STDIN_FILENO : -1, POLLIN, 0},
        };
        int timeout = -1;
        if (sleepUntil_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*sleepUntil_ - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count()));
        }
        if (::poll(fds, 4, timeout) < 0) {
            if (errno == EINTR) continue;
            Complain(std::string("poll: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents) break;
        if (fds[1].revents) ServeLine(display_, false, fds[1].revents, displayOpen_);
        if (fds[2].revents) ServeLine(keyboard_, true, fds[2].revents, keyboardOpen_);
        if (fds[3].revents) ReadStdin();
    }
    Finish();
}

void Simulator::Finish() {
    std::string error;
    for (auto* line : {&display_, &keyboard_}) {
        line->Flush(error);
        if (line->HasQueued())
            Complain(std::string(line == &display_ ? "display" : "keyboard") +
                     " line: " + std::to_string(line->Queued()) + " bytes were never read by the other side");
    }
    if (keyboardDecoder_.HasPending()) Emit("pending packet bytes at exit");
    Emit("received display=" + std::to_string(displayBytes_) + " keyboard=" + std::to_string(keyboardBytes_));
    Emit("exit");
}

}  // namespace

int RunSimulator(const SimOptions& options) {
    Simulator simulator(options);
    std::string error;
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "ondrix-sim: %s\n", error.c_str());
        return 1;
    }
    simulator.Run();
    return 0;
}

}  // namespace tarvik::sim
