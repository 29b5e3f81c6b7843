#pragma once
// One device's round-trip graph over a range, as plain numbers: the window
// paints it with QPainter and the web page writes it as SVG text, so both
// show the same. Free of Qt Gui.
#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

enum class GraphRange { Hour, Day, Week, Month, Year };

// 1時間 / 24時間 / 7日 / 30日 / 1年
QString graph_range_text(GraphRange range);
qint64 graph_range_seconds(GraphRange range);

// What the history gives for a range, oldest first: each bucket one check
// (short ranges) or one hour (long ones).
struct RttBucket {
    qint64 start_s = 0;
    qint64 end_s = 0; // exclusive
    int checks = 0;
    int answered = 0;
    std::optional<double> min_ms;
    std::optional<double> median_ms;
    std::optional<double> max_ms;
};

struct TimeSpan {
    qint64 from_s = 0;
    qint64 to_s = 0; // an open down period ends at the graph's now
};

struct GraphInput {
    std::vector<RttBucket> buckets;
    std::vector<TimeSpan> down; // down periods overlapping the range
};

// x runs 0..1 from the range's start to now; values in milliseconds.
struct GraphPoint {
    double x = 0;
    qint64 start_s = 0;
    qint64 end_s = 0;
    int checks = 0;
    int answered = 0;
    std::optional<double> median_ms;
    std::optional<double> low_ms;                   // the band's bottom (minimum)
    std::optional<double> high_ms;                  // the band's top (maximum)
    bool lost() const { return answered < checks; } // drawn red
};

struct GraphTick {
    double at = 0; // x (0..1) or the value in ms
    QString label;
};

struct GraphSpan {
    double from_x = 0;
    double to_x = 0;
};

struct GraphModel {
    GraphRange range = GraphRange::Day;
    qint64 from_s = 0;
    qint64 to_s = 0;
    double y_max_ms = 1;            // the top of the scale
    std::vector<GraphPoint> points; // at most `columns`, buckets merged to fit
    std::vector<GraphSpan> down;    // shaded
    std::vector<GraphTick> x_ticks; // local times
    std::vector<GraphTick> y_ticks; // ms
    bool empty() const { return points.empty() && down.empty(); }
};

GraphModel build_graph(GraphRange range, qint64 now_s, const GraphInput& input, int columns = 600);

// The point under x (0..1) for hovering; none when nothing is near.
std::optional<std::size_t> point_at(const GraphModel& model, double x);
// "2026-12-07 09:30  12.3 ms" (or 応答なし), in local time.
QString hover_text(const GraphModel& model, const GraphPoint& point);
