#include "history/graph_model.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace {

double x_of(qint64 from_s, qint64 to_s, double at_s) {
    const double span = std::max<qint64>(1, to_s - from_s);
    return std::clamp((at_s - static_cast<double>(from_s)) / span, 0.0, 1.0);
}

// The bucket medians' median, each median counted as often as its bucket
// answered: an hour of sixty answers outweighs a check that answered once.
std::optional<double> weighted_median(std::vector<std::pair<double, int>> medians) {
    long long total = 0;
    for (const auto& [value, weight] : medians)
        total += std::max(weight, 1);
    if (total == 0)
        return std::nullopt;
    std::sort(medians.begin(), medians.end());
    long long seen = 0;
    for (const auto& [value, weight] : medians) {
        seen += std::max(weight, 1);
        if (2 * seen >= total)
            return value;
    }
    return medians.back().first;
}

GraphPoint merged(const std::vector<const RttBucket*>& group, qint64 from_s, qint64 to_s) {
    GraphPoint point;
    point.start_s = group.front()->start_s;
    point.end_s = group.back()->end_s;
    std::vector<std::pair<double, int>> medians;
    for (const RttBucket* b : group) {
        point.checks += b->checks;
        point.answered += b->answered;
        point.end_s = std::max(point.end_s, b->end_s);
        if (b->min_ms)
            point.low_ms = point.low_ms ? std::min(*point.low_ms, *b->min_ms) : *b->min_ms;
        if (b->max_ms)
            point.high_ms = point.high_ms ? std::max(*point.high_ms, *b->max_ms) : *b->max_ms;
        if (b->median_ms)
            medians.emplace_back(*b->median_ms, b->answered);
    }
    point.median_ms = weighted_median(std::move(medians));
    // a bucket with a median but no minimum or maximum still gets a band
    if (point.median_ms) {
        if (!point.low_ms)
            point.low_ms = point.median_ms;
        if (!point.high_ms)
            point.high_ms = point.median_ms;
    }
    point.x = x_of(from_s, to_s, (point.start_s + std::max(point.start_s, point.end_s)) / 2.0);
    return point;
}

// 1, 2 or 5 times a power of ten, so that about `wanted` steps cover top.
double round_step(double top, int wanted) {
    const double raw = top / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw * 0.999)
            return m * power;
    return 10 * power;
}

QString ms_label(double value, double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return QString::number(value, 'f', decimals);
}

// The scale holds every median and all but the highest twentieth of the
// band's tops: one slow answer in a year would flatten everything else.
void add_y_scale(GraphModel& model) {
    double top = 0;
    std::vector<double> highs;
    for (const GraphPoint& p : model.points) {
        if (p.median_ms)
            top = std::max(top, *p.median_ms);
        if (p.high_ms)
            highs.push_back(*p.high_ms);
    }
    if (!highs.empty()) {
        const auto at = highs.begin() + static_cast<long>((highs.size() - 1) * 95 / 100);
        std::nth_element(highs.begin(), at, highs.end());
        top = std::max(top, *at);
    }
    if (top <= 0)
        top = 1;
    const double step = round_step(top, 5);
    const int steps = static_cast<int>(std::ceil(top / step - 1e-9));
    model.y_max_ms = std::max(1, steps) * step;
    for (int i = 0; i * step <= model.y_max_ms + step / 1000; ++i)
        model.y_ticks.push_back({i * step, ms_label(i * step, step)});
}

// Local times that read as round for the range: every ten minutes, every
// three hours, days, Mondays, the first of each month.
void add_x_ticks(GraphModel& model) {
    int minute_step = 0; // within a day; 0: midnights only
    switch (model.range) {
    case GraphRange::Hour:
        minute_step = 10;
        break;
    case GraphRange::Day:
        minute_step = 180;
        break;
    default:
        break;
    }
    const QDate first = QDateTime::fromSecsSinceEpoch(model.from_s).date();
    const QDate last = QDateTime::fromSecsSinceEpoch(model.to_s).date();
    auto add = [&model](const QDateTime& at, const QString& label) {
        const qint64 s = at.toSecsSinceEpoch();
        if (s >= model.from_s && s <= model.to_s && at.isValid())
            model.x_ticks.push_back({x_of(model.from_s, model.to_s, s), label});
    };
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        if (minute_step > 0) {
            for (int m = 0; m < 24 * 60; m += minute_step) {
                const QDateTime at(d, QTime(m / 60, m % 60));
                add(at, m == 0 && model.range == GraphRange::Day
                            ? d.toString(QStringLiteral("M/d"))
                            : at.toString(QStringLiteral("HH:mm")));
            }
            continue;
        }
        const bool wanted = model.range == GraphRange::Week ||
                            (model.range == GraphRange::Month && d.dayOfWeek() == 1) ||
                            (model.range == GraphRange::Year && d.day() == 1);
        if (!wanted)
            continue;
        QString label = d.toString(QStringLiteral("M/d"));
        if (model.range == GraphRange::Year)
            label = d.month() == 1 ? d.toString(QStringLiteral("yyyy年"))
                                   : QStringLiteral("%1月").arg(d.month());
        add(d.startOfDay(), label);
    }
}

} // namespace

QString graph_range_text(GraphRange range) {
    switch (range) {
    case GraphRange::Hour:
        return QStringLiteral("1時間");
    case GraphRange::Day:
        return QStringLiteral("24時間");
    case GraphRange::Week:
        return QStringLiteral("7日");
    case GraphRange::Month:
        return QStringLiteral("30日");
    case GraphRange::Year:
        return QStringLiteral("1年");
    }
    return {};
}

qint64 graph_range_seconds(GraphRange range) {
    switch (range) {
    case GraphRange::Hour:
        return 3600;
    case GraphRange::Day:
        return 24 * 3600;
    case GraphRange::Week:
        return 7 * 24 * 3600;
    case GraphRange::Month:
        return 30 * 24 * 3600;
    case GraphRange::Year:
        return 365 * 24 * 3600;
    }
    return 0;
}

GraphModel build_graph(GraphRange range, qint64 now_s, const GraphInput& input, int columns) {
    GraphModel model;
    model.range = range;
    model.to_s = now_s;
    model.from_s = now_s - graph_range_seconds(range);
    columns = std::max(columns, 1);
    const double span = static_cast<double>(model.to_s - model.from_s);

    // Buckets falling into the same column become one point.
    std::vector<const RttBucket*> group;
    int group_column = -1;
    for (const RttBucket& b : input.buckets) {
        if (b.start_s > model.to_s || std::max(b.start_s, b.end_s) <= model.from_s)
            continue;
        if (b.checks <= 0 && !b.median_ms)
            continue;
        const int column =
            std::clamp(static_cast<int>(std::floor((b.start_s - model.from_s) * columns / span)), 0,
                       columns - 1);
        if (!group.empty() && column != group_column) {
            model.points.push_back(merged(group, model.from_s, model.to_s));
            group.clear();
        }
        group_column = column;
        group.push_back(&b);
    }
    if (!group.empty())
        model.points.push_back(merged(group, model.from_s, model.to_s));

    for (const TimeSpan& d : input.down) {
        const qint64 from = std::max(d.from_s, model.from_s);
        const qint64 to = std::min(d.to_s, model.to_s);
        if (to < from || (to == from && d.from_s != d.to_s))
            continue;
        GraphSpan span_x{x_of(model.from_s, model.to_s, from), x_of(model.from_s, model.to_s, to)};
        // a gap narrower than a column would not show, yet would cost a
        // shape: a year of a flapping device has thousands of down periods
        if (!model.down.empty() && span_x.from_x <= model.down.back().to_x + 1.0 / columns)
            model.down.back().to_x = std::max(model.down.back().to_x, span_x.to_x);
        else
            model.down.push_back(span_x);
    }

    add_y_scale(model);
    add_x_ticks(model);
    return model;
}

std::optional<std::size_t> point_at(const GraphModel& model, double x) {
    if (model.points.empty())
        return std::nullopt;
    auto it = std::lower_bound(model.points.begin(), model.points.end(), x,
                               [](const GraphPoint& p, double at) { return p.x < at; });
    std::size_t best = it == model.points.end()
                           ? model.points.size() - 1
                           : static_cast<std::size_t>(it - model.points.begin());
    if (best > 0 && std::abs(model.points[best - 1].x - x) <= std::abs(model.points[best].x - x))
        --best;
    const GraphPoint& p = model.points[best];
    const double span = std::max<qint64>(1, model.to_s - model.from_s);
    // near: within the point's own width, or one hundredth of the graph
    const double near = std::max(0.01, (p.end_s - p.start_s) / span);
    if (std::abs(p.x - x) > near)
        return std::nullopt;
    return best;
}

QString hover_text(const GraphModel&, const GraphPoint& point) {
    const QString at =
        QDateTime::fromSecsSinceEpoch(point.start_s).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!point.median_ms)
        return at + QStringLiteral("  応答なし");
    QString text = at + QStringLiteral("  %1 ms").arg(QString::number(*point.median_ms, 'f', 1));
    if (point.lost())
        text +=
            QStringLiteral("  応答なし %1/%2").arg(point.checks - point.answered).arg(point.checks);
    return text;
}
