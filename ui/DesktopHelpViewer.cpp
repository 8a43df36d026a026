#include "ui/DesktopHelpViewer.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "ui/DialogOwner.h"

namespace tarvik {

bool DesktopHasUrlHandler() {
    if (const char* browser = std::getenv("BROWSER"); browser && *browser) return true;
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return false;
    // Without a default for web pages xdg-open tries one fallback after another and leaves a run
    // of errors on stderr; asking first is quick and quiet.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(2000)) {
        query.kill();
        query.waitForFinished(500);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

CDesktopHelpViewer::CDesktopHelpViewer(std::function<bool()> hasUrlHandler)
    : hasUrlHandler_(std::move(hasUrlHandler)) {}

// The viewer may outlive the application object in main(); a widget may only go while it exists.
CDesktopHelpViewer::~CDesktopHelpViewer() {
    if (QCoreApplication::instance()) delete viewer_.data();
}

void CDesktopHelpViewer::HtmlHelp(const std::string& helpFolder, uint32_t viewerCommand, uint32_t data) {
    const QFileInfo page(QString::fromStdString(helpFolder + "/" + HelpPageFor(viewerCommand, data)));
    // Missing pages: help does nothing, and says nothing.
    if (!page.isFile()) return;
    if (!urlHandler_) urlHandler_ = hasUrlHandler_();
    if (*urlHandler_ && QDesktopServices::openUrl(QUrl::fromLocalFile(page.absoluteFilePath()))) return;
    ShowInOwnViewer(page.absoluteFilePath());
}

void CDesktopHelpViewer::ShowInOwnViewer(const QString& page) {
    if (!viewer_) {
        // Owned by the main window, so that it opens above it; it goes with the main window.
        viewer_ = new QTextBrowser(MainWindow());
        viewer_->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        viewer_->setWindowTitle(QStringLiteral("Tarvik Help"));
        viewer_->setAttribute(Qt::WA_QuitOnClose, false);
        viewer_->setOpenExternalLinks(true);
        viewer_->resize(640, 480);
    }
    viewer_->setSource(QUrl::fromLocalFile(page));
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

}  // namespace tarvik
