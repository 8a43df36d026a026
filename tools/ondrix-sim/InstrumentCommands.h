#pragma once
// The instrument's side of the command dialogue: typed command lines and the names it answers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvik::sim {

constexpr size_t NameFieldLength = 12;

// Command text and the instrument name it selects.
const std::vector<std::pair<std::string, std::string>>& instrumentNameTable();

// The name a command selects; the match ignores letter case and surrounding spaces.
std::optional<std::string> lookUpInstrumentName(std::string_view command);

// 0x0C followed by exactly twelve characters: the name cut or padded with spaces.
std::string nameField(std::string_view name);

// Collects the key bytes of a command line: a form feed starts afresh, BS takes back the last
// character, a carriage return completes the line. Other control and function keys are not
// part of a command and are ignored.
class CommandLineCollector {
public:
    static constexpr size_t MaxLength = 256;

    // The completed command text when `byte` is a carriage return.
    std::optional<std::string> onKey(uint8_t byte);

private:
    std::string m_text;
    bool m_overflow = false;
};

}  // namespace tarvik::sim
