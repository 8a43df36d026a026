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

bool desktopHasUrlHandler() {
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

DesktopHelpViewer::DesktopHelpViewer(std::function<bool()> hasUrlHandler) : m_hasUrlHandler(std::move(hasUrlHandler)) {}

// The viewer may outlive the application object in main(); a widget may only go while it exists.
DesktopHelpViewer::~DesktopHelpViewer() {
    if (QCoreApplication::instance()) delete m_viewer.data();
}

void DesktopHelpViewer::htmlHelp(const std::string& helpFolder, uint32_t viewerCommand, uint32_t data) {
    const QFileInfo page(QString::fromStdString(helpFolder + "/" + helpPageFor(viewerCommand, data)));
    // Missing pages: help does nothing, and says nothing.
    if (!page.isFile()) return;
    if (!m_urlHandler) m_urlHandler = m_hasUrlHandler();
    if (*m_urlHandler && QDesktopServices::openUrl(QUrl::fromLocalFile(page.absoluteFilePath()))) return;
    showInOwnViewer(page.absoluteFilePath());
}

void DesktopHelpViewer::showInOwnViewer(const QString& page) {
    if (!m_viewer) {
        // Owned by the main window, so that it opens above it; it goes with the main window.
        m_viewer = new QTextBrowser(mainWindow());
        m_viewer->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        m_viewer->setWindowTitle(QStringLiteral("Tarvik Help"));
        m_viewer->setAttribute(Qt::WA_QuitOnClose, false);
        m_viewer->setOpenExternalLinks(true);
        m_viewer->resize(640, 480);
    }
    m_viewer->setSource(QUrl::fromLocalFile(page));
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

}  // namespace tarvik
