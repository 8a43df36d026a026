#include "common/Traffic.h"

#include <algorithm>
#include <iterator>

namespace tarvik {
namespace {

constexpr const char* LineNames[] = {"display", "merge"};
constexpr const char* DirectionNames[] = {"in", "out"};
constexpr const char* KindNames[] = {"key", "packet", "broken", "text", "name"};

template <class Enum, size_t N>
bool fromName(const char* const (&names)[N], const std::string& name, Enum& value) {
    const auto found = std::find_if(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
    if (found == std::end(names)) return false;
    value = static_cast<Enum>(found - std::begin(names));
    return true;
}

}  // namespace

const char* lineName(TrafficLine line) { return LineNames[static_cast<size_t>(line)]; }
const char* directionName(TrafficDirection dir) { return DirectionNames[static_cast<size_t>(dir)]; }
const char* kindName(TrafficItem::Kind kind) { return KindNames[static_cast<size_t>(kind)]; }

bool parseTrafficItemParts(const std::string& line, const std::string& direction, const std::string& kind,
                           TrafficItem& item) {
    return fromName(LineNames, line, item.line) && fromName(DirectionNames, direction, item.direction) &&
           fromName(KindNames, kind, item.kind);
}

}  // namespace tarvik
