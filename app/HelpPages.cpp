#include "app/HelpPages.h"

namespace tarvik {

std::string HelpPageFor(uint32_t viewerCommand, uint32_t data) {
    if (viewerCommand == HH_HELP_CONTEXT && data == kMainWindowHelpContext) return "main-window.html";
    if (viewerCommand == HH_HELP_CONTEXT && data == 0) return "using-help.html";
    return "index.html";
}

}  // namespace tarvik
