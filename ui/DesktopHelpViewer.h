#pragma once
// Help pages opened in the desktop's browser, or, when the desktop has no handler for web pages,
// in a small viewer window of our own.
#include <functional>
#include <optional>

#include <QPointer>
#include <QTextBrowser>

#include "res/HelpPages.h"

namespace tarvik {

// Whether the desktop can open an HTML page: $BROWSER is set, or xdg-open is installed and
// xdg-mime names a default application for text/html.
bool DesktopHasUrlHandler();

class CDesktopHelpViewer : public IHelpViewer {
public:
    explicit CDesktopHelpViewer(std::function<bool()> hasUrlHandler = DesktopHasUrlHandler);
    ~CDesktopHelpViewer() override;
    void HtmlHelp(const std::string& helpFolder, uint32_t viewerCommand, uint32_t data) override;

    // The own viewer, once it has been needed.
    QTextBrowser* OwnViewer() const { return viewer_; }

private:
    void ShowInOwnViewer(const QString& page);

    std::function<bool()> hasUrlHandler_;
    std::optional<bool> urlHandler_;  // asked once per run
    QPointer<QTextBrowser> viewer_;
};

}  // namespace tarvik
