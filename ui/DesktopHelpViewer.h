#pragma once
// Help pages opened in the desktop's browser.
#include "app/HelpPages.h"

namespace tarvik {

class CDesktopHelpViewer : public IHelpViewer {
public:
    void HtmlHelp(const std::string& helpFolder, uint32_t viewerCommand, uint32_t data) override;
};

}  // namespace tarvik
