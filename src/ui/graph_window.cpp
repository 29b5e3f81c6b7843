#include "ui/graph_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/check_executor.h"
#include "core/target_list.h"
#include "history/history_store.h"
#include "targets/record_split.h"

namespace {

// The status window's colours: red for what did not answer, grey for the rest.
const QColor kLine(0, 80, 192);
const QColor kBand(0, 80, 192, 50);
const QColor kLost(200, 0, 0);
const QColor kDown(255, 205, 205);
const QColor kGrid(220, 220, 220);
const QColor kAxisText(96, 96, 96);

constexpr GraphRange kRanges[] = {GraphRange::Hour, GraphRange::Day, GraphRange::Week,
                                  GraphRange::Month, GraphRange::Year};

} // namespace

GraphView::GraphView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("graph"));
    setMouseTracking(true);
    setMinimumSize(480, 240);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void GraphView::set_input(GraphRange range, qint64 now_s, GraphInput input) {
    range_ = range;
    now_s_ = now_s;
    input_ = std::move(input);
    loading = false;
    rebuild();
}

QRect GraphView::plot_rect() const {
    const QFontMetrics fm(font());
    const int left = fm.horizontalAdvance(QStringLiteral("0000.0")) + 14;
    return QRect(left, fm.height() + 10, std::max(10, width() - left - 16),
                 std::max(10, height() - 2 * fm.height() - 22));
}

void GraphView::rebuild() {
    // one point per two pixels at most: the band stays readable
    model_ = build_graph(range_, now_s_, input_, std::max(1, plot_rect().width() / 2));
    update();
}

void GraphView::resizeEvent(QResizeEvent*) {
    if (!loading)
        rebuild();
}

QString GraphView::hover_at(const QPoint& at) const {
    const QRect plot = plot_rect();
    if (!plot.adjusted(-4, -4, 4, 4).contains(at))
        return {};
    const std::optional<std::size_t> i =
        point_at(model_, static_cast<double>(at.x() - plot.left()) / plot.width());
    return i ? hover_text(model_, model_.points[*i]) : QString();
}

void GraphView::mouseMoveEvent(QMouseEvent* event) {
    pointer_ = event->position().toPoint();
    update();
}

void GraphView::leaveEvent(QEvent*) {
    pointer_.reset();
    update();
}

void GraphView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect plot = plot_rect();
    const QFontMetrics fm(font());
    auto x_at = [&](double x) { return plot.left() + x * plot.width(); };
    auto y_at = [&](double ms) {
        return plot.bottom() - std::clamp(ms / model_.y_max_ms, 0.0, 1.0) * plot.height();
    };

    for (const GraphSpan& d : model_.down)
        p.fillRect(QRectF(QPointF(x_at(d.from_x), plot.top()),
                          QPointF(std::max(x_at(d.to_x), x_at(d.from_x) + 2), plot.bottom())),
                   kDown);

    p.setPen(kAxisText);
    p.drawText(QRect(0, 0, plot.left() + 40, plot.top() - 4), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("応答時間(ms)"));
    for (const GraphTick& t : model_.y_ticks) {
        const double y = y_at(t.at);
        p.setPen(kGrid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(kAxisText);
        p.drawText(QRectF(0, y - fm.height() / 2.0, plot.left() - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, t.label);
    }
    for (const GraphTick& t : model_.x_ticks) {
        const double x = x_at(t.at);
        p.setPen(kGrid);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(kAxisText);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
        p.drawText(QRectF(x - 60, plot.bottom() + 5, 120, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, t.label);
    }

    // the band and the line break where a point has no answer
    const std::vector<GraphPoint>& points = model_.points;
    for (std::size_t i = 0; i < points.size();) {
        if (!points[i].median_ms) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < points.size() && points[end].median_ms)
            ++end;
        QPainterPath band, line;
        for (std::size_t k = i; k < end; ++k) {
            const QPointF top(x_at(points[k].x), y_at(*points[k].high_ms));
            k == i ? band.moveTo(top) : band.lineTo(top);
            const QPointF mid(x_at(points[k].x), y_at(*points[k].median_ms));
            k == i ? line.moveTo(mid) : line.lineTo(mid);
        }
        for (std::size_t k = end; k-- > i;)
            band.lineTo(QPointF(x_at(points[k].x), y_at(*points[k].low_ms)));
        band.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kBand);
        p.drawPath(band);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kLine, 1.5));
        if (end - i == 1)
            p.drawEllipse(line.currentPosition(), 1.5, 1.5);
        else
            p.drawPath(line);
        i = end;
    }
    // a red mark along the bottom where checks went unanswered, as tall as
    // their share: a lost check in a busy hour stays small
    p.setPen(QPen(kLost, 2));
    for (const GraphPoint& pt : points)
        if (pt.lost()) {
            const double share = double(pt.checks - pt.answered) / std::max(pt.checks, 1);
            const double x = x_at(pt.x);
            p.drawLine(QPointF(x, plot.bottom() - 3 - 9 * share), QPointF(x, plot.bottom()));
        }

    p.setPen(QPen(kAxisText, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);

    if (loading || model_.empty()) {
        p.setPen(kAxisText);
        p.drawText(plot, Qt::AlignCenter,
                   loading ? QStringLiteral("読み込み中…")
                           : QStringLiteral("この期間の記録はありません"));
    }

    if (pointer_) {
        const QString text = hover_at(*pointer_);
        if (!text.isEmpty()) {
            p.setPen(QPen(QColor(128, 128, 128), 1, Qt::DashLine));
            p.drawLine(QPointF(pointer_->x(), plot.top()), QPointF(pointer_->x(), plot.bottom()));
            QRect box = fm.boundingRect(text).adjusted(-6, -3, 6, 3);
            box.moveTopLeft(*pointer_ + QPoint(12, 12));
            if (box.right() > width() - 2)
                box.moveRight(pointer_->x() - 12);
            if (box.bottom() > height() - 2)
                box.moveBottom(pointer_->y() - 12);
            p.setPen(kAxisText);
            p.setBrush(QColor(255, 255, 225));
            p.drawRect(box);
            p.setPen(Qt::black);
            p.drawText(box, Qt::AlignCenter, text);
        }
    }
}

GraphWindow::GraphWindow(HistoryStore* store, CheckExecutor* executor, const TargetList& targets)
    : store_(store), executor_(executor) {
    setObjectName(QStringLiteral("graph_window"));
    setWindowTitle(QStringLiteral("グラフ"));
    resize(760, 400);
    now_s = [] { return QDateTime::currentSecsSinceEpoch(); };

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    device = new QComboBox(this);
    const int count = std::clamp<int>(targets.count, 0, kTargetSlots);
    for (int i = 0; i < count; ++i) {
        const Target& t = targets.records[i];
        device->addItem(
            QStringLiteral("%1  %2").arg(t.address, split_description(t.description)[0]),
            t.address);
    }
    top->addWidget(device, 1);
    ranges = new QButtonGroup(this);
    ranges->setExclusive(true);
    for (GraphRange r : kRanges) {
        auto* button = new QPushButton(graph_range_text(r), this);
        button->setCheckable(true);
        button->setChecked(r == range_);
        button->setAutoDefault(false);
        ranges->addButton(button, static_cast<int>(r));
        top->addWidget(button);
    }
    layout->addLayout(top);
    view = new GraphView(this);
    layout->addWidget(view, 1);
    summary = new QLabel(this);
    layout->addWidget(summary);

    connect(device, &QComboBox::currentIndexChanged, this, [this] { load(); });
    connect(ranges, &QButtonGroup::idClicked, this,
            [this](int id) { show_range(static_cast<GraphRange>(id)); });
}

void GraphWindow::show_record(int index) {
    if (index < 0 || index >= device->count())
        return;
    if (device->currentIndex() == index)
        load();
    else
        device->setCurrentIndex(index); // loads
}

void GraphWindow::show_range(GraphRange range) {
    range_ = range;
    if (QAbstractButton* b = ranges->button(static_cast<int>(range)))
        b->setChecked(true);
    load();
}

void GraphWindow::load() {
    const QString address = device->currentData().toString();
    setWindowTitle(QStringLiteral("グラフ - %1").arg(device->currentText()));
    const GraphRange range = range_;
    const qint64 now = now_s();
    const int generation = ++generation_;
    view->loading = true;
    view->update();
    QPointer<GraphWindow> self(this);
    auto done = [self, generation, range, now](GraphInput input) {
        if (!self || generation != self->generation_)
            return;
        self->view->set_input(range, now, std::move(input));
        int checks = 0, answered = 0;
        for (const GraphPoint& p : self->view->model().points) {
            checks += p.checks;
            answered += p.answered;
        }
        self->summary->setText(checks > 0 ? QStringLiteral("%1：%2回の監視、応答なし %3回")
                                                .arg(graph_range_text(range))
                                                .arg(checks)
                                                .arg(checks - answered)
                                          : QString());
    };
    auto work = [store = store_, address, range, now] {
        return store && !address.isEmpty() ? store->graph_input(address, range, now) : GraphInput{};
    };
    if (executor_)
        executor_->run(std::move(work), std::move(done));
    else
        done(work());
}
