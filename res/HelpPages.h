#pragma once
// Help requests and the pages that answer them. Help is a folder of HTML pages shipped with the
// executable; the viewer opens one page with the desktop's URL handler.
#include <cstdint>
#include <filesystem>
#include <string>

namespace tarvik {

// Commands of a help request, as the window and the preferences sheet issue them.
inline constexpr uint32_t HELP_CONTEXT = 1;
inline constexpr uint32_t HELP_FINDER = 3;  // contents
inline constexpr uint32_t HELP_HELPONHELP = 4;

// What a request becomes for the viewer.
inline constexpr uint32_t HH_DISPLAY_TOPIC = 0;
inline constexpr uint32_t HH_HELP_CONTEXT = 15;

inline constexpr uint32_t HelpIdBaseResource = 0x20000;
inline constexpr uint32_t DialogTarvikDialog = 102;
// The Help button and the context menu's Help item: the main window's own page.
inline constexpr uint32_t MainWindowHelpContext = HelpIdBaseResource + DialogTarvikDialog;

// The page (a file name inside the help folder) for a viewer command and its data. Unknown
// contexts fall back to the contents page, so every request shows something sensible.
std::string helpPageFor(uint32_t viewerCommand, uint32_t data);

// The help folder for the executable at `executable`: "help" beside it where that folder exists
// (a build tree), else `installedRelative` taken from the executable's folder (bin/ to the data
// folder of an installed tree), so an installed tree works wherever its prefix is.
std::string helpFolderFor(const std::filesystem::path& executable, const std::filesystem::path& installedRelative);

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Opens the page for (viewerCommand, data) from `helpFolder`. Silent when it cannot.
    virtual void htmlHelp(const std::string& helpFolder, uint32_t viewerCommand, uint32_t data) = 0;
};

}  // namespace tarvik
