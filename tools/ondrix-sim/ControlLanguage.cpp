#include "tools/ondrix-sim/ControlLanguage.h"

#include "serial/KeyNames.h"
#include "serial/WireStream.h"
#include "tools/ondrix-sim/InstrumentCommands.h"

#include <vector>

namespace tarvik::sim {
namespace {

constexpr long MaxSleepMs = 3600L * 1000;

// Texts are joined by appending. A short literal put in front of a temporary string makes GCC 12
// at -O3 report an overlapping copy (-Wrestrict) inside the library's insert: a false alarm, but
// the build treats warnings as errors.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
    std::string out;
    (out.append(std::string_view(parts)), ...);
    return out;
}

std::vector<std::string_view> splitWords(std::string_view text) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string hexList(std::string label, const std::string& bytes) {
    for (char c : bytes) label.append(" ").append(hexByte(static_cast<uint8_t>(c)));
    return label;
}

ControlParse fail(std::string message) {
    ControlParse result;
    result.ok = false;
    result.error = std::move(message);
    return result;
}

ControlParse send(ControlAction::Kind kind, std::string bytes, std::string summary) {
    ControlParse result;
    result.action.kind = kind;
    result.action.bytes = std::move(bytes);
    result.action.summary = std::move(summary);
    return result;
}

ControlParse parseKeys(const std::vector<std::string_view>& args) {
    if (args.empty()) return fail("key needs at least one key name");
    std::string bytes;
    for (auto word : args) {
        auto byte = parseKeyWord(word);
        if (!byte) return fail(Cat("unknown key \"", word, "\""));
        bytes.push_back(static_cast<char>(*byte));
    }
    return send(ControlAction::Kind::Keyboard, bytes, hexList("key", bytes));
}

ControlParse parseBytes(const std::vector<std::string_view>& args, ControlAction::Kind kind) {
    if (args.empty()) return fail("byte needs at least one number");
    std::string bytes;
    for (auto word : args) {
        auto n = parseNumber(word);
        if (!n || *n > 0xFF) return fail(Cat("\"", word, "\" is not a byte (0 to 255 or 0x00 to 0xff)"));
        bytes.push_back(static_cast<char>(*n));
    }
    return send(kind, bytes, hexList(kind == ControlAction::Kind::Display ? "display bytes" : "bytes", bytes));
}

ControlParse parseMouse(const std::vector<std::string_view>& args) {
    if (args.size() < 2) return fail("mouse needs X and Y (0 to 1023)");
    auto x = parseNumber(args[0]);
    auto y = parseNumber(args[1]);
    if (!x || !y || *x > 1023 || *y > 1023) return fail("mouse X and Y must be numbers from 0 to 1023");
    WirePacket state;
    state.x = static_cast<int>(*x);
    state.y = static_cast<int>(*y);
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "active") state.active = true;
        else if (args[i] == "button") state.button = true;
        else if (args[i] == "shift") state.shift = true;
        else if (args[i] == "ctrl") state.ctrl = true;
        else return fail(Cat("unknown mouse flag \"", args[i], "\" (active, button, shift, ctrl)"));
    }
    const auto packet = encodeWirePacket(state);
    WireItem item;
    item.kind = WireItem::Kind::Packet;
    item.packet = state;
    return send(ControlAction::Kind::Keyboard, std::string(packet.begin(), packet.end()), formatWireItem(item));
}

ControlParse parseSleep(const std::vector<std::string_view>& args) {
    auto ms = args.size() == 1 ? parseNumber(args[0]) : std::nullopt;
    if (!ms || *ms > MaxSleepMs) return fail("sleep needs one number of milliseconds (at most one hour)");
    ControlParse result;
    result.action.kind = ControlAction::Kind::Sleep;
    result.action.milliseconds = *ms;
    return result;
}

ControlParse parsePlug(const std::vector<std::string_view>& args, ControlAction::Kind kind) {
    if (args.size() != 1 || (args[0] != "display" && args[0] != "keyboard"))
        return fail("unplug and plug need one line: display or keyboard");
    ControlParse result;
    result.action.kind = kind;
    result.action.keyboardLine = args[0] == "keyboard";
    return result;
}

// The rest of the line after the command word and one separating space, kept as it stands.
std::string_view restAfter(std::string_view line, std::string_view command) {
    std::string_view rest = line.substr(line.find(command) + command.size());
    if (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    return rest;
}

}  // namespace

ControlParse parseControlLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto words = splitWords(line);
    if (words.empty() || words[0].front() == '#') return {};
    const std::string_view command = words[0];
    const std::vector<std::string_view> args(words.begin() + 1, words.end());
    const std::string rest(restAfter(line, command));
    using Kind = ControlAction::Kind;

    if (command == "key") return parseKeys(args);
    if (command == "byte") return parseBytes(args, Kind::Keyboard);
    if (command == "dbyte") return parseBytes(args, Kind::Display);
    if (command == "mouse") return parseMouse(args);
    if (command == "sleep") return parseSleep(args);
    if (command == "unplug") return parsePlug(args, Kind::Unplug);
    if (command == "plug") return parsePlug(args, Kind::Plug);
    if (command == "text") return send(Kind::Keyboard, rest, Cat("text \"", rest, "\""));
    if (command == "dtext") return send(Kind::Display, rest, Cat("display text \"", rest, "\""));
    if (command == "macro") return send(Kind::Keyboard, Cat("\x0C", rest, "\r"), Cat("macro \"", rest, "\""));
    if (command == "name") {
        const std::string field = nameField(rest);
        return send(Kind::Display, field, Cat("name \"", std::string_view(field).substr(1), "\""));
    }
    if (command == "quit" && args.empty()) {
        ControlParse result;
        result.action.kind = Kind::Quit;
        return result;
    }
    return fail(Cat("unknown command \"", command, "\""));
}

}  // namespace tarvik::sim
