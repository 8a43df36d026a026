#include "ui/MonitorWindow.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/Desktop.h"

namespace tarvik {

MonitorWindow::MonitorWindow(TrafficMonitor& monitor, QWidget* owner)
    // A dialog of the main window, so that it stays above it (a plain window with an owner is not
    // transient for it on X11); still with minimise and maximise.
    : QWidget(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                         Qt::WindowCloseButtonHint),
      m_monitor(monitor) {
    setWindowTitle(QStringLiteral("Monitor"));
    buildControls();
    resize(760, 420);
}

MonitorWindow::~MonitorWindow() { m_monitor.detach(*this); }

void MonitorWindow::buildControls() {
    auto* bar = new QHBoxLayout;
    auto check = [&](const char* text) {
        auto* box = new QCheckBox(QString::fromLatin1(text), this);
        box->setChecked(true);
        QObject::connect(box, &QCheckBox::toggled, this, [this] { refill(); });
        bar->addWidget(box);
        return box;
    };
    m_display = check("Display");
    m_merge = check("Merge");
    bar->addSpacing(12);
    m_in = check("In");
    m_out = check("Out");
    bar->addStretch(1);
    m_status = new QLabel(this);
    bar->addWidget(m_status);
    m_pause = new QPushButton(QStringLiteral("Pause"), this);
    m_pause->setCheckable(true);
    QObject::connect(m_pause, &QPushButton::toggled, this, [this](bool on) { setPaused(on); });
    m_clear = new QPushButton(QStringLiteral("Clear"), this);
    QObject::connect(m_clear, &QPushButton::clicked, this, [this] {
        m_items.clear();
        m_heldWhilePaused = 0;
        refill();
    });
    m_save = new QPushButton(QStringLiteral("Save..."), this);
    QObject::connect(m_save, &QPushButton::clicked, this, [this] { onSaveClicked(); });
    for (QPushButton* button : {m_pause, m_clear, m_save}) bar->addWidget(button);

    m_view = new QPlainTextEdit(this);
    m_view->setReadOnly(true);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_view->setMaximumBlockCount(static_cast<int>(MaxItems));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
}

void MonitorWindow::placeBesideOwner() {
    const QWidget* owner = parentWidget();
    const QScreen* screen = owner != nullptr ? owner->screen() : nullptr;
    if (screen == nullptr) return;
    // This window has no frame before it is first mapped; the owner's, from the same window
    // manager, stands in for it.
    const QRect ownerFrame = owner->frameGeometry();
    const QRect ownerInside = owner->geometry();
    const QMargins frame(ownerInside.left() - ownerFrame.left(), ownerInside.top() - ownerFrame.top(),
                         ownerFrame.right() - ownerInside.right(), ownerFrame.bottom() - ownerInside.bottom());
    const QSize outer = size().grownBy(frame);
    const QRect placed = placeBeside(ownerFrame, outer, screen->availableGeometry());
    if (placed.size() != outer) resize(placed.size().shrunkBy(frame).expandedTo(minimumSizeHint()));
    move(placed.topLeft());
}

void MonitorWindow::showEvent(QShowEvent* event) {
    // The first time beside the main window, not over it, and clear of the desktop's panels.
    if (!m_placed) {
        m_placed = true;
        placeBesideOwner();
    }
    QWidget::showEvent(event);
    m_monitor.attach(*this);
}

void MonitorWindow::hideEvent(QHideEvent* event) {
    // Nobody looking: the lines are not tapped for this window.
    m_monitor.detach(*this);
    QWidget::hideEvent(event);
}

bool MonitorWindow::shows(const TrafficItem& item) const {
    const bool line = item.line == TrafficLine::Display ? m_display->isChecked() : m_merge->isChecked();
    const bool direction = item.direction == TrafficDirection::In ? m_in->isChecked() : m_out->isChecked();
    return line && direction;
}

void MonitorWindow::onTraffic(const TrafficItem& item) {
    m_items.push_back(item);
    if (m_items.size() > MaxItems) m_items.pop_front();
    if (m_pause->isChecked()) {
        ++m_heldWhilePaused;
        updateStatus();
        return;
    }
    if (shows(item)) m_view->appendPlainText(QString::fromStdString(formatTrafficLine(item)));
}

void MonitorWindow::setPaused(bool paused) {
    if (m_pause->isChecked() != paused) {
        m_pause->setChecked(paused);  // comes back here through toggled
        return;
    }
    if (paused) return;
    m_heldWhilePaused = 0;
    refill();
}

void MonitorWindow::updateStatus() {
    m_status->setText(m_heldWhilePaused == 0
                          ? QString()
                          : QStringLiteral("Paused: %1 new").arg(static_cast<qulonglong>(m_heldWhilePaused)));
}

void MonitorWindow::refill() {
    QString text;
    for (const TrafficItem& item : m_items) {
        if (!shows(item)) continue;
        text += QString::fromStdString(formatTrafficLine(item));
        text += QLatin1Char('\n');
    }
    if (!text.isEmpty()) text.chop(1);
    m_view->setPlainText(text);
    m_view->moveCursor(QTextCursor::End);
    updateStatus();
}

QString MonitorWindow::viewText() const { return m_view->toPlainText(); }

bool MonitorWindow::save(const std::string& path, std::string& error) const {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "w"), std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    for (const TrafficItem& item : m_items) {
        if (!shows(item)) continue;
        const std::string line = formatTrafficLine(item) + "\n";
        if (std::fputs(line.c_str(), file.get()) < 0) {
            error = std::strerror(errno);
            return false;
        }
    }
    if (std::fclose(file.release()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

void MonitorWindow::onSaveClicked() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Traffic"), QStringLiteral("tarvik-traffic.txt"));
    if (path.isEmpty()) return;
    std::string error;
    if (!save(path.toStdString(), error)) {
        QMessageBox::warning(this, QStringLiteral("Monitor"),
                             QStringLiteral("Cannot save to %1: %2").arg(path, QString::fromStdString(error)));
    }
}

}  // namespace tarvik
