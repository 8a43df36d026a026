#include "common/Traffic.h"

#include <algorithm>
#include <iterator>

namespace tarvik {
namespace {

constexpr const char* kLineNames[] = {"display", "merge"};
constexpr const char* kDirectionNames[] = {"in", "out"};
constexpr const char* kKindNames[] = {"key", "packet", "broken", "text", "name"};

template <class Enum, size_t N>
bool FromName(const char* const (&names)[N], const std::string& name, Enum& value) {
    const auto found = std::find_if(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
    if (found == std::end(names)) return false;
    value = static_cast<Enum>(found - std::begin(names));
    return true;
}

}  // namespace

const char* LineName(TrafficLine line) { return kLineNames[static_cast<size_t>(line)]; }
const char* DirectionName(TrafficDirection dir) { return kDirectionNames[static_cast<size_t>(dir)]; }
const char* KindName(TrafficItem::Kind kind) { return kKindNames[static_cast<size_t>(kind)]; }

bool ParseTrafficItemParts(const std::string& line, const std::string& direction, const std::string& kind,
                           TrafficItem& item) {
    return FromName(kLineNames, line, item.line) && FromName(kDirectionNames, direction, item.direction) &&
           FromName(kKindNames, kind, item.kind);
}

}  // namespace tarvik
