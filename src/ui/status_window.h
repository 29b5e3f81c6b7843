#pragma once
// 監視状況: every target with what the last checks found, the last and the
// next check above, kept up to date while it is open. The devices down come
// first in red and are counted in the title; sortable, filtered by a text.
// Ctrl+C copies the selected rows (or all shown) as tab-separated text
// wherever the focus is, unless the filter box has text selected.
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QWidget>
#include <functional>

#include "targets/status_rows.h"

struct SharedState;
class HistoryStore;
class CheckExecutor;

class StatusWindow : public QWidget {
    Q_OBJECT
  public:
    // history: where the availability figures come from (none: no figures),
    // read on executor (none: in the call).
    explicit StatusWindow(SharedState& state, HistoryStore* history = nullptr,
                          CheckExecutor* executor = nullptr);
    ~StatusWindow() override;

    // A double-click on a row: the record's index in the list.
    std::function<void(int index)> on_open_record;
    // グラフ… in a row's menu, or Enter on a row: the record's index.
    std::function<void(int index)> on_open_graph;
    // The record index of the current row; -1 when there is none.
    int current_record() const;

    // Milliseconds to the next minute of the monitor's count; with it the
    // next check is shown to the second. Negative or unset: to the minute.
    std::function<int()> ms_to_next_minute;

    // What Ctrl+C puts on the clipboard.
    QString copied_text() const;

    QLabel* last_check;
    QLabel* next_check;
    QLabel* checking;
    QLabel* log_problem;
    QLineEdit* filter;
    QTableView* table;
    QStandardItemModel* model;
    QSortFilterProxyModel* shown;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fill();
    void show_times();
    void read_figures();

    SharedState& state_;
    HistoryStore* history_;
    CheckExecutor* executor_;
    FiguresByAddress figures_;
    int events_listener_ = 0;
    int monitor_listener_ = 0;
};
