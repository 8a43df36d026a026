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

CMonitorWindow::CMonitorWindow(CTrafficMonitor& monitor, QWidget* owner)
    // A dialog of the main window, so that it stays above it (a plain window with an owner is not
    // transient for it on X11); still with minimise and maximise.
    : QWidget(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                         Qt::WindowCloseButtonHint),
      monitor_(monitor) {
    setWindowTitle(QStringLiteral("Monitor"));
    BuildControls();
    resize(760, 420);
}

CMonitorWindow::~CMonitorWindow() { monitor_.Detach(*this); }

void CMonitorWindow::BuildControls() {
    auto* bar = new QHBoxLayout;
    auto check = [&](const char* text) {
        auto* box = new QCheckBox(QString::fromLatin1(text), this);
        box->setChecked(true);
        QObject::connect(box, &QCheckBox::toggled, this, [this] { Refill(); });
        bar->addWidget(box);
        return box;
    };
    display_ = check("Display");
    merge_ = check("Merge");
    bar->addSpacing(12);
    in_ = check("In");
    out_ = check("Out");
    bar->addStretch(1);
    status_ = new QLabel(this);
    bar->addWidget(status_);
    pause_ = new QPushButton(QStringLiteral("Pause"), this);
    pause_->setCheckable(true);
    QObject::connect(pause_, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    QObject::connect(clear_, &QPushButton::clicked, this, [this] {
        items_.clear();
        heldWhilePaused_ = 0;
        Refill();
    });
    save_ = new QPushButton(QStringLiteral("Save..."), this);
    QObject::connect(save_, &QPushButton::clicked, this, [this] { OnSaveClicked(); });
    for (QPushButton* button : {pause_, clear_, save_}) bar->addWidget(button);

    view_ = new QPlainTextEdit(this);
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setMaximumBlockCount(static_cast<int>(kMaxItems));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);
}

void CMonitorWindow::PlaceBesideOwner() {
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
    const QRect placed = PlaceBeside(ownerFrame, outer, screen->availableGeometry());
    if (placed.size() != outer) resize(placed.size().shrunkBy(frame).expandedTo(minimumSizeHint()));
    move(placed.topLeft());
}

void CMonitorWindow::showEvent(QShowEvent* event) {
    // The first time beside the main window, not over it, and clear of the desktop's panels.
    if (!placed_) {
        placed_ = true;
        PlaceBesideOwner();
    }
    QWidget::showEvent(event);
    monitor_.Attach(*this);
}

void CMonitorWindow::hideEvent(QHideEvent* event) {
    // Nobody looking: the lines are not tapped for this window.
    monitor_.Detach(*this);
    QWidget::hideEvent(event);
}

bool CMonitorWindow::Shows(const TrafficItem& item) const {
    const bool line = item.line == TrafficLine::Display ? display_->isChecked() : merge_->isChecked();
    const bool direction = item.direction == TrafficDirection::In ? in_->isChecked() : out_->isChecked();
    return line && direction;
}

void CMonitorWindow::OnTraffic(const TrafficItem& item) {
    items_.push_back(item);
    if (items_.size() > kMaxItems) items_.pop_front();
    if (pause_->isChecked()) {
        ++heldWhilePaused_;
        UpdateStatus();
        return;
    }
    if (Shows(item)) view_->appendPlainText(QString::fromStdString(FormatTrafficLine(item)));
}

void CMonitorWindow::SetPaused(bool paused) {
    if (pause_->isChecked() != paused) {
        pause_->setChecked(paused);  // comes back here through toggled
        return;
    }
    if (paused) return;
    heldWhilePaused_ = 0;
    Refill();
}

void CMonitorWindow::UpdateStatus() {
    status_->setText(heldWhilePaused_ == 0
                         ? QString()
                         : QStringLiteral("Paused: %1 new").arg(static_cast<qulonglong>(heldWhilePaused_)));
}

void CMonitorWindow::Refill() {
    QString text;
    for (const TrafficItem& item : items_) {
        if (!Shows(item)) continue;
        text += QString::fromStdString(FormatTrafficLine(item));
        text += QLatin1Char('\n');
    }
    if (!text.isEmpty()) text.chop(1);
    view_->setPlainText(text);
    view_->moveCursor(QTextCursor::End);
    UpdateStatus();
}

QString CMonitorWindow::ViewText() const { return view_->toPlainText(); }

bool CMonitorWindow::Save(const std::string& path, std::string& error) const {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "w"), std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    for (const TrafficItem& item : items_) {
        if (!Shows(item)) continue;
        const std::string line = FormatTrafficLine(item) + "\n";
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

void CMonitorWindow::OnSaveClicked() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Traffic"), QStringLiteral("tarvik-traffic.txt"));
    if (path.isEmpty()) return;
    std::string error;
    if (!Save(path.toStdString(), error)) {
        QMessageBox::warning(this, QStringLiteral("Monitor"),
                             QStringLiteral("Cannot save to %1: %2").arg(path, QString::fromStdString(error)));
    }
}

}  // namespace tarvik
