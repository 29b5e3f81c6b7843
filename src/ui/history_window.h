#pragma once
// 履歴: the last events of the log, newest first, filtered by kind and by
// device (the devices that turned down or came back in those events). It
// reads the log file, so it shows what earlier runs did as well.
#include <QComboBox>
#include <QTableWidget>
#include <QWidget>
#include <vector>

class MonitorEvents;
struct MonitorEvent;

class HistoryWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShown = 1000;

    HistoryWindow(MonitorEvents& events, QString log_path);
    ~HistoryWindow() override;

    QComboBox* kind;
    QComboBox* device; // by address; the first item: every device
    QTableWidget* table;

  private:
    void fill();
    void list_devices(const std::vector<MonitorEvent>& events);

    MonitorEvents& events_;
    QString log_path_;
    int listener_ = 0;
};
