#include "res/HelpPages.h"

namespace tarvik {

std::string helpPageFor(uint32_t viewerCommand, uint32_t data) {
    if (viewerCommand == HH_HELP_CONTEXT && data == MainWindowHelpContext) return "main-window.html";
    if (viewerCommand == HH_HELP_CONTEXT && data == 0) return "using-help.html";
    return "index.html";
}

std::string helpFolderFor(const std::filesystem::path& executable, const std::filesystem::path& installedRelative) {
    const std::filesystem::path folder = executable.parent_path();
    std::error_code error;
    if (std::filesystem::is_directory(folder / "help", error)) return (folder / "help").string();
    return (folder / installedRelative).lexically_normal().string();
}

}  // namespace tarvik
