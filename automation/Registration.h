#pragma once
// What registration writes so that the session bus can start Tarvik for a client: the service
// file naming the executable, and the interfaces' introspection data, one file per interface.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvik {

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; empty when neither is known.
std::filesystem::path userDataFolder();
// The running executable's absolute path.
std::filesystem::path currentExecutable();

// The service file for `executable`, or nothing when its path cannot be written into one (a
// control character or bytes that are not UTF-8).
std::optional<std::string> serviceFileText(const std::string& executable);

// Each interface of `xml` as an introspection document of its own, with the interface's name.
std::vector<std::pair<std::string, std::string>> splitInterfaces(std::string_view xml);

// Both return false, with what went wrong in `error`, when a file could not be written or removed.
// Files already absent are not an error when unregistering. `done` receives each file written or
// removed, in order, also when a later one fails.
bool writeRegistration(const std::filesystem::path& dataFolder, const std::string& executable,
                       std::string_view interfaceXml, std::vector<std::filesystem::path>& done, std::string& error);
bool removeRegistration(const std::filesystem::path& dataFolder, std::string_view interfaceXml,
                        std::vector<std::filesystem::path>& done, std::string& error);

}  // namespace tarvik
