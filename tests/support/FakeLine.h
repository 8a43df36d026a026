#pragma once
// Scripted lines by name for the port manager. Each name's state outlives the line objects made
// for it, so a test can keep a line from opening, feed it input, hang it up and see what was
// written to it, across reopenings.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "common/Win32Codes.h"
#include "lines/Line.h"

namespace tarvik::test {

class FakeLine;

struct FakeLineState {
    // Scripted.
    bool present = true;        // cleared: the device is unplugged and the line does not open
    comm::LineError openError;  // an open that fails for another reason
    std::string target;         // where the name is bound
    std::string input;          // waiting to be read
    uint32_t readFailure = 0;   // what a read fails with once `input` is empty

    // Observed.
    std::string written;
    int writes = 0;
    int reads = 0;
    FakeLine* live = nullptr;  // the line while open

    bool open() const { return live != nullptr; }
    // Data (with line errors, if asked) arrives on the open line, which says so.
    void arrive(const std::string& bytes, bool withErrors = false);
    void hangUp();
};

class FakeLine final : public comm::Line {
public:
    explicit FakeLine(std::shared_ptr<FakeLineState> state) : m_state(std::move(state)) { m_state->live = this; }
    ~FakeLine() override { close(); }

    bool isOpen() const override { return m_state->live == this; }
    uint32_t read(uint8_t* buffer, size_t size, size_t& count) override {
        ++m_state->reads;
        count = std::min(size, m_state->input.size());
        std::memcpy(buffer, m_state->input.data(), count);
        m_state->input.erase(0, count);
        return count == 0 ? m_state->readFailure : 0;
    }
    uint32_t write(const uint8_t* bytes, size_t length, size_t& count) override {
        m_state->written.append(reinterpret_cast<const char*>(bytes), length);
        ++m_state->writes;
        count = length;
        return 0;
    }
    void close() override {
        if (m_state->live == this) m_state->live = nullptr;
    }

private:
    std::shared_ptr<FakeLineState> m_state;
};

inline void FakeLineState::arrive(const std::string& bytes, bool withErrors) {
    input += bytes;
    if (withErrors) emit live->lineError();
    emit live->readyRead();
}

inline void FakeLineState::hangUp() { emit live->lost({ERROR_DEVICE_NOT_CONNECTED, "hung up"}); }

class FakeLines final : public comm::LineOpener {
public:
    // The line behind `name`, made on first use; names never asked for fail to open with 2.
    std::shared_ptr<FakeLineState> line(const std::string& name) {
        auto& state = m_lines[name];
        if (!state) state = std::make_shared<FakeLineState>();
        return state;
    }
    std::unique_ptr<comm::Line> open(const std::string& name, comm::OpenReport& report) override {
        report = {};
        const comm::LineError missing{ERROR_FILE_NOT_FOUND, "No such file or directory"};
        const auto found = m_lines.find(name);
        if (found == m_lines.end()) return report.error = missing, nullptr;
        const FakeLineState& state = *found->second;
        report.target = state.target;
        if (!state.present) report.error = missing;
        else if (state.open()) report.error = {ERROR_ACCESS_DENIED, "Device or resource busy"};
        else report.error = state.openError;
        if (report.error.code != 0) return nullptr;
        return std::make_unique<FakeLine>(found->second);
    }

private:
    std::map<std::string, std::shared_ptr<FakeLineState>> m_lines;
};

}  // namespace tarvik::test
