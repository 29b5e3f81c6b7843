#pragma once
// 履歴: the last events of the log, newest first, filtered by kind. It reads
// the log file, so it shows what earlier runs did as well.
#include <QComboBox>
#include <QTableWidget>
#include <QWidget>

class MonitorEvents;

class HistoryWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShown = 1000;

    HistoryWindow(MonitorEvents& events, QString log_path);
    ~HistoryWindow() override;

    QComboBox* kind;
    QTableWidget* table;

  private:
    void fill();

    MonitorEvents& events_;
    QString log_path_;
    int listener_ = 0;
};
