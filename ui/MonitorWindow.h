#pragma once
// The "Monitor" window: both lines' traffic, live, one item a line (time, line, direction, hex,
// decoded), with a pause, a filter by line and direction, and saving to a file. It watches the
// traffic only while it is shown.
#include <cstddef>
#include <deque>
#include <string>

#include <QWidget>

#include "serial/TrafficMonitor.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tarvik {

class MonitorWindow : public QWidget, public TrafficWatcher {
public:
    // Items kept for the view, the filter and saving; the oldest go first.
    static constexpr size_t MaxItems = 20000;

    MonitorWindow(TrafficMonitor& monitor, QWidget* owner);
    ~MonitorWindow() override;

    void onTraffic(const TrafficItem& item) override;

    // Writes the items the filter shows, one line each, as the view has them. False with
    // `error` set when the file cannot be written.
    bool save(const std::string& path, std::string& error) const;
    void setPaused(bool paused);
    bool shows(const TrafficItem& item) const;
    QString viewText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void placeBesideOwner();
    void refill();
    void onSaveClicked();
    void updateStatus();

    TrafficMonitor& m_monitor;
    std::deque<TrafficItem> m_items;
    bool m_placed = false;
    size_t m_heldWhilePaused = 0;
    QCheckBox* m_display = nullptr;
    QCheckBox* m_merge = nullptr;
    QCheckBox* m_in = nullptr;
    QCheckBox* m_out = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_save = nullptr;
    QLabel* m_status = nullptr;
    QPlainTextEdit* m_view = nullptr;
};

}  // namespace tarvik
