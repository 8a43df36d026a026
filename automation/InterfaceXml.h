#pragma once
// The interfaces' introspection XML (automation/interfaces.xml), compiled in so that a
// registration run can install it wherever the executable was copied.
#include <string_view>

namespace tarvik {

std::string_view interfaceXml();

}  // namespace tarvik
