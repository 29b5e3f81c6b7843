// The graph of one device as numbers: buckets merged to the columns, lost
// checks kept, down periods as x ranges, round scales and local-time ticks.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>
#include <cstdlib>
#include <ctime>

#include "history/graph_model.h"

namespace {

// Tick labels are local times: the tests run in Tokyo, without summer time.
struct TokyoTime {
    TokyoTime() {
        ::setenv("TZ", "Asia/Tokyo", 1);
        ::tzset();
    }
} tokyo;

qint64 tokyo_s(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toSecsSinceEpoch();
}

RttBucket bucket(qint64 start, qint64 length, int checks, int answered, double lo, double med,
                 double hi) {
    RttBucket b{start, start + length, checks, answered, lo, med, hi};
    if (answered == 0)
        b.min_ms = b.median_ms = b.max_ms = std::nullopt;
    return b;
}

QStringList labels(const std::vector<GraphTick>& ticks) {
    QStringList out;
    for (const GraphTick& t : ticks)
        out << t.label;
    return out;
}

// Each point as "start answered/checks low median high", start from `from`,
// "-" where there is no value, " lost" when drawn red.
QStringList points(const GraphModel& m, qint64 from) {
    const auto ms = [](std::optional<double> v) {
        return v ? QString::number(*v, 'g', 15) : QStringLiteral("-");
    };
    QStringList out;
    for (const GraphPoint& p : m.points)
        out << QStringLiteral("%1 %2/%3 ").arg(p.start_s - from).arg(p.answered).arg(p.checks) +
                   QStringList{ms(p.low_ms), ms(p.median_ms), ms(p.high_ms)}.join(' ') +
                   (p.lost() ? " lost" : "");
    return out;
}

} // namespace

TEST(GraphModel, EmptyInputGivesEachRangeAScaleAndRoundLocalTimeTicksButNoPoints) {
    const qint64 now = tokyo_s("2026-12-07T09:35:00+09:00");
    struct Row {
        GraphRange range;
        QString text;
        qint64 hours;
        QString ticks;
    };
    const Row rows[] = {
        {GraphRange::Hour, "1時間", 1, "08:40 08:50 09:00 09:10 09:20 09:30"},
        {GraphRange::Day, "24時間", 24, "12:00 15:00 18:00 21:00 12/7 03:00 06:00 09:00"},
        {GraphRange::Week, "7日", 168, "12/1 12/2 12/3 12/4 12/5 12/6 12/7"},
        {GraphRange::Month, "30日", 720, "11/9 11/16 11/23 11/30 12/7"},
        // the new year by its number
        {GraphRange::Year, "1年", 8760, "2026年 2月 3月 4月 5月 6月 7月 8月 9月 10月 11月 12月"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        const GraphModel m = build_graph(row.range, now, {});
        EXPECT_EQ(graph_range_text(row.range), row.text);
        EXPECT_EQ(graph_range_seconds(row.range), row.hours * 3600);
        EXPECT_EQ(std::pair(m.from_s, m.to_s), std::pair(now - row.hours * 3600, now));
        EXPECT_TRUE(m.empty());
        EXPECT_FALSE(point_at(m, 0.5));
        EXPECT_DOUBLE_EQ(m.y_max_ms, 1.0);
        EXPECT_EQ(labels(m.y_ticks), (QStringList{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));
        EXPECT_EQ(labels(m.x_ticks).join(' '), row.ticks);
        for (std::size_t i = 1; i < m.x_ticks.size(); ++i)
            EXPECT_LT(m.x_ticks[i - 1].at, m.x_ticks[i].at);
    }
}

TEST(GraphModel, MergesBucketsToTheColumnsKeepingExtremesAndLosses) {
    const qint64 now = tokyo_s("2026-12-07T10:00:00+09:00");
    const qint64 from = now - 3600;
    GraphInput in;
    // one check a minute for the hour; minute 7 lost, minute 30 answers slowly
    for (int i = 0; i < 60; ++i) {
        const double rtt = i == 30 ? 40.0 : 1.0 + i % 3;
        in.buckets.push_back(bucket(from + i * 60, 60, 1, i == 7 ? 0 : 1, rtt, rtt, rtt));
    }
    const GraphModel unmerged = build_graph(GraphRange::Hour, now, in, 600);
    ASSERT_EQ(unmerged.points.size(), 60u);
    EXPECT_DOUBLE_EQ(unmerged.y_max_ms, 40.0); // a median is never above the scale
    EXPECT_EQ(points(unmerged, from)[7], "420 0/1 - - - lost");
    EXPECT_NEAR(unmerged.points[0].x, 30.0 / 3600, 1e-9);

    const GraphModel m = build_graph(GraphRange::Hour, now, in, 6); // ten minutes a column
    EXPECT_EQ(points(m, from),
              (QStringList{"0 9/10 1 2 3 lost", "600 10/10 1 2 3", "1200 10/10 1 2 3",
                           "1800 10/10 1 2 40", "2400 10/10 1 2 3", "3000 10/10 1 2 3"}));
    // one slow answer inside a column does not flatten the rest: its band is cut
    EXPECT_DOUBLE_EQ(m.y_max_ms, 3.0);
    EXPECT_EQ(labels(m.y_ticks), (QStringList{"0", "1", "2", "3"}));

    // the busier bucket's median weighs more; buckets outside the range are left out
    GraphInput hours{{bucket(from - 7200, 3600, 60, 60, 1, 1, 1),
                      bucket(from, 1800, 50, 50, 5, 9, 12),
                      bucket(from + 1800, 1800, 10, 10, 1, 2, 3)},
                     {}};
    EXPECT_EQ(points(build_graph(GraphRange::Hour, now, hours, 1), from),
              QStringList{"0 60/60 1 9 12"});
}

TEST(GraphModel, DownSpansAreClippedMergedAndMappedToX) {
    const qint64 now = tokyo_s("2026-12-08T00:00:00+09:00");
    const qint64 day = 24 * 3600;
    GraphInput in;
    in.down = {{now - 2 * day, now - day + 3600},            // began before the range
               {now - day / 2, now - day / 2 + 3600},        // inside
               {now - day / 2 + 1800, now - day / 2 + 7200}, // overlaps the one before
               {now - 3600, now}};                           // still down
    const GraphModel m = build_graph(GraphRange::Day, now, in);
    QStringList hours; // x in hours of the day
    for (const GraphSpan& s : m.down)
        hours << QString::number(s.from_x * 24, 'g', 12) + '-' +
                     QString::number(s.to_x * 24, 'g', 12);
    EXPECT_EQ(hours, (QStringList{"0-1", "12-14", "23-24"}));
    EXPECT_FALSE(m.empty()); // down all along is something to show
    EXPECT_TRUE(build_graph(GraphRange::Hour, now, in).down.size() == 1u);
    // two columns of 12 hours: gaps of 11 and 9 hours cannot be seen
    EXPECT_EQ(build_graph(GraphRange::Day, now, in, 2).down.size(), 1u);
}

TEST(GraphModel, HoverFindsTheNearPointAndSaysItsValue) {
    const qint64 now = tokyo_s("2026-12-07T10:00:00+09:00");
    const qint64 at = tokyo_s("2026-12-07T09:30:00+09:00");
    GraphInput in{{bucket(at, 60, 1, 1, 12.3, 12.3, 12.3), bucket(at + 60, 60, 1, 0, 0, 0, 0),
                   bucket(at + 120, 60, 4, 3, 1, 2.04, 3)},
                  {}};
    const GraphModel m = build_graph(GraphRange::Hour, now, in);
    ASSERT_EQ(m.points.size(), 3u);
    EXPECT_EQ(point_at(m, m.points[1].x + 0.001), std::optional<std::size_t>(1));
    EXPECT_EQ(point_at(m, 0.0), std::nullopt); // nothing near the left end
    EXPECT_EQ((QStringList{hover_text(m, m.points[0]), hover_text(m, m.points[1]),
                           hover_text(m, m.points[2])}),
              (QStringList{"2026-12-07 09:30  12.3 ms", "2026-12-07 09:31  応答なし",
                           "2026-12-07 09:32  2.0 ms  応答なし 1/4"}));
}
