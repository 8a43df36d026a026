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

class CMonitorWindow : public QWidget, public ITrafficWatcher {
public:
    // Items kept for the view, the filter and saving; the oldest go first.
    static constexpr size_t kMaxItems = 20000;

    CMonitorWindow(CTrafficMonitor& monitor, QWidget* owner);
    ~CMonitorWindow() override;

    void OnTraffic(const TrafficItem& item) override;

    // Writes the items the filter shows, one line each, as the view has them. False with
    // `error` set when the file cannot be written.
    bool Save(const std::string& path, std::string& error) const;
    void SetPaused(bool paused);
    bool Shows(const TrafficItem& item) const;
    QString ViewText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    void PlaceBesideOwner();
    void Refill();
    void OnSaveClicked();
    void UpdateStatus();

    CTrafficMonitor& monitor_;
    std::deque<TrafficItem> items_;
    bool placed_ = false;
    size_t heldWhilePaused_ = 0;
    QCheckBox* display_ = nullptr;
    QCheckBox* merge_ = nullptr;
    QCheckBox* in_ = nullptr;
    QCheckBox* out_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* status_ = nullptr;
    QPlainTextEdit* view_ = nullptr;
};

}  // namespace tarvik
