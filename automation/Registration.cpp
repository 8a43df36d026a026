#include "automation/Registration.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include "automation/BusNames.h"

namespace tarvik {
namespace fs = std::filesystem;
namespace {

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i++]);
        size_t extra = 0;
        if (lead >= 0xC2 && lead <= 0xDF) extra = 1;
        else if ((lead & 0xF0) == 0xE0) extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4) extra = 3;
        else if (lead >= 0x80) return false;
        for (; extra > 0; --extra, ++i) {
            if (i >= text.size() || (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) return false;
        }
    }
    return true;
}

// The bus reads Exec= in two steps: the service file's own escapes (a backslash doubled), then
// shell-like quoting. So the path goes in double quotes with '\' and '"' escaped for the quoting,
// and every backslash of that doubled again for the file.
std::string quotedExecPath(std::string_view path) {
    std::string quoted = "\"";
    for (char ch : path) {
        if (ch == '\\') quoted += "\\\\\\\\";
        else if (ch == '"') quoted += "\\\\\"";
        else quoted += ch;
    }
    return quoted + "\"";
}

fs::path serviceFile(const fs::path& dataFolder) {
    return dataFolder / "dbus-1" / "services" / (std::string(bus::ServiceName) + ".service");
}

fs::path interfaceFile(const fs::path& dataFolder, const std::string& interface) {
    return dataFolder / "dbus-1" / "interfaces" / (interface + ".xml");
}

// Written beside the target and renamed over it, so a reader never sees half a file.
bool writeFileAtomically(const fs::path& target, const std::string& text, std::string& error) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        error = "cannot create " + target.parent_path().string() + ": " + ec.message();
        return false;
    }
    const fs::path temp = target.string() + ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            error = "cannot write " + temp.string() + ": " + std::strerror(errno);
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        error = "cannot write " + target.string() + ": " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

bool removeFile(const fs::path& target, std::vector<fs::path>& done, std::string& error) {
    std::error_code ec;
    if (fs::remove(target, ec)) done.push_back(target);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        error = "cannot remove " + target.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

fs::path userDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') return data;
    if (const char* home = std::getenv("HOME"); home && *home == '/') return fs::path(home) / ".local" / "share";
    return {};
}

fs::path currentExecutable() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

std::optional<std::string> serviceFileText(const std::string& executable) {
    if (executable.empty() || !isValidUtf8(executable)) return std::nullopt;
    for (char ch : executable) {
        if (static_cast<uint8_t>(ch) < 0x20 || ch == 0x7F) return std::nullopt;
    }
    return std::string("[D-BUS Service]\nName=") + bus::ServiceName + "\nExec=" + quotedExecPath(executable) + " " +
           bus::ActivationSwitch + "\n";
}

std::vector<std::pair<std::string, std::string>> splitInterfaces(std::string_view xml) {
    static constexpr std::string_view OpenTag = "<interface name=\"";
    static constexpr std::string_view CloseTag = "</interface>";
    std::vector<std::pair<std::string, std::string>> parts;
    for (size_t start = xml.find(OpenTag); start != std::string_view::npos; start = xml.find(OpenTag, start)) {
        const size_t nameEnd = xml.find('"', start + OpenTag.size());
        const size_t end = xml.find(CloseTag, start);
        if (nameEnd == std::string_view::npos || end == std::string_view::npos) break;
        std::string name(xml.substr(start + OpenTag.size(), nameEnd - start - OpenTag.size()));
        std::string doc =
            "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n  ";
        doc += xml.substr(start, end + CloseTag.size() - start);
        doc += "\n</node>\n";
        parts.emplace_back(std::move(name), std::move(doc));
        start = end + CloseTag.size();
    }
    return parts;
}

bool writeRegistration(const fs::path& dataFolder, const std::string& executable, std::string_view interfaceXml,
                       std::vector<fs::path>& done, std::string& error) {
    if (dataFolder.empty()) {
        error = "neither XDG_DATA_HOME nor HOME names a folder for the service file";
        return false;
    }
    const std::optional<std::string> service = serviceFileText(executable);
    if (!service) {
        error = "the executable's path cannot be written into a service file: " + executable;
        return false;
    }
    if (!writeFileAtomically(serviceFile(dataFolder), *service, error)) return false;
    done.push_back(serviceFile(dataFolder));
    for (const auto& [name, doc] : splitInterfaces(interfaceXml)) {
        if (!writeFileAtomically(interfaceFile(dataFolder, name), doc, error)) return false;
        done.push_back(interfaceFile(dataFolder, name));
    }
    return true;
}

bool removeRegistration(const fs::path& dataFolder, std::string_view interfaceXml, std::vector<fs::path>& done,
                        std::string& error) {
    if (dataFolder.empty()) {
        error = "neither XDG_DATA_HOME nor HOME names a folder for the service file";
        return false;
    }
    bool ok = removeFile(serviceFile(dataFolder), done, error);
    for (const auto& [name, doc] : splitInterfaces(interfaceXml))
        ok = removeFile(interfaceFile(dataFolder, name), done, error) && ok;
    return ok;
}

}  // namespace tarvik
