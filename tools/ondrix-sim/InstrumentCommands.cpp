#include "tools/ondrix-sim/InstrumentCommands.h"

#include <cctype>

namespace tarvik::sim {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

const std::vector<std::pair<std::string, std::string>>& instrumentNameTable() {
    static const std::vector<std::pair<std::string, std::string>> table{
        {"i1", "Instrument 1"}, {"i2", "Instrument 2"}, {"i3", "Instrument 3"}, {"i4", "Instrument 4"},
        {"i5", "Instrument 5"}, {"i6", "Instrument 6"}, {"i7", "Instrument 7"}, {"i8", "Instrument 8"},
        {"sys", "System Save"}, {"sc", "Sys Config"},   {"dr", "Disk Record"},  {"xc Master A 1", "Master A 1"},
        {"fx", "Effects"},      {"dir", "Directory"},   {"ic", "Instr Config"},
    };
    return table;
}

std::optional<std::string> lookUpInstrumentName(std::string_view command) {
    const std::string_view wanted = trim(command);
    for (const auto& [text, name] : instrumentNameTable())
        if (sameIgnoringCase(text, wanted)) return name;
    return std::nullopt;
}

std::string nameField(std::string_view name) {
    std::string field(1, '\x0C');
    field += name.substr(0, NameFieldLength);
    field.resize(1 + NameFieldLength, ' ');
    return field;
}

std::optional<std::string> CommandLineCollector::onKey(uint8_t byte) {
    switch (byte) {
        case 0x0C:
            m_text.clear();
            m_overflow = false;
            return std::nullopt;
        case 0x0D: {
            // A line too long for any command keeps a mark, so it can never match one by its start.
            std::optional<std::string> done = m_overflow ? m_text + "..." : m_text;
            m_text.clear();
            m_overflow = false;
            return done;
        }
        case 0x7F:
            if (!m_text.empty() && !m_overflow) m_text.pop_back();
            return std::nullopt;
        default: break;
    }
    if (byte < 0x20 || byte > 0x7E) return std::nullopt;
    if (m_text.size() < MaxLength) m_text.push_back(static_cast<char>(byte));
    else m_overflow = true;
    return std::nullopt;
}

}  // namespace tarvik::sim
