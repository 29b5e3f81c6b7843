#pragma once
// グラフ: one device's round trip over a range, as a median line over a
// minimum-maximum band, checks without an answer marked red and down periods
// shaded; hovering shows the time and value under the pointer. The history
// is read on a worker; the window only paints what comes back.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <optional>

#include "history/graph_model.h"

class HistoryStore;
class CheckExecutor;
struct TargetList;

// The plot itself: paints a GraphModel and says what is under the pointer.
class GraphView : public QWidget {
    Q_OBJECT
  public:
    explicit GraphView(QWidget* parent = nullptr);

    void set_input(GraphRange range, qint64 now_s, GraphInput input);
    const GraphModel& model() const { return model_; }
    // The plot's area inside the widget.
    QRect plot_rect() const;
    // What hovering shows at a widget position; empty when nothing is near.
    QString hover_at(const QPoint& at) const;
    bool loading = true;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void rebuild();

    GraphRange range_ = GraphRange::Day;
    qint64 now_s_ = 0;
    GraphInput input_;
    GraphModel model_;
    std::optional<QPoint> pointer_;
};

class GraphWindow : public QWidget {
    Q_OBJECT
  public:
    // executor: where the history is read; none: in the call.
    GraphWindow(HistoryStore* store, CheckExecutor* executor, const TargetList& targets);

    // Shows the device of record index (from 0), in the range shown.
    void show_record(int index);
    void show_range(GraphRange range);

    QComboBox* device;
    QButtonGroup* ranges;
    GraphView* view;
    QLabel* summary;

    // The clock of the range's end; tests and screenshots set it.
    std::function<qint64()> now_s;

  private:
    void load();

    HistoryStore* store_;
    CheckExecutor* executor_;
    GraphRange range_ = GraphRange::Day;
    int generation_ = 0; // a slower earlier answer never replaces a later one
};
