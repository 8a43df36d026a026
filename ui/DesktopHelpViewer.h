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
bool desktopHasUrlHandler();

class DesktopHelpViewer : public HelpViewer {
public:
    explicit DesktopHelpViewer(std::function<bool()> hasUrlHandler = desktopHasUrlHandler);
    ~DesktopHelpViewer() override;
    void htmlHelp(const std::string& helpFolder, uint32_t viewerCommand, uint32_t data) override;

    // The own viewer, once it has been needed.
    QTextBrowser* ownViewer() const { return m_viewer; }

private:
    void showInOwnViewer(const QString& page);

    std::function<bool()> m_hasUrlHandler;
    std::optional<bool> m_urlHandler;  // asked once per run
    QPointer<QTextBrowser> m_viewer;
};

}  // namespace tarvik
