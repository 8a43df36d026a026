#include "ui/DesktopHelpViewer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace tarvik {

void CDesktopHelpViewer::HtmlHelp(const std::string& helpFolder, uint32_t viewerCommand, uint32_t data) {
    const QFileInfo page(QString::fromStdString(helpFolder + "/" + HelpPageFor(viewerCommand, data)));
    // Missing pages or no URL handler: help does nothing, and says nothing.
    if (!page.isFile()) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(page.absoluteFilePath()));
}

}  // namespace tarvik
