#pragma once
// The status window's table as text: one row per record in list order, the
// description in its three parts as the editor splits it.
#include <QHash>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/target_list.h"
#include "core/target_status.h"

enum StatusColumn {
    kNumberColumn,
    kAddressColumn,
    kDeviceColumn,
    kContactColumn,
    kPersonColumn,
    kStateColumn,
    kRttColumn,
    kSinceColumn,
    kAvailability24hColumn,
    kAvailability30dColumn,
    kMeanRtt24hColumn,
    kStatusColumns
};

// What the history says of one address; none where it has no samples.
struct StatusFigures {
    std::optional<double> availability_24h; // 0..1
    std::optional<double> availability_30d;
    std::optional<double> mean_rtt_ms_24h;
};
using FiguresByAddress = QHash<QString, StatusFigures>;

QStringList status_header();
// Records of one address share its figures.
std::vector<QStringList> status_rows(const TargetList& targets, const TargetStatusTable& status,
                                     const FiguresByAddress& figures = {});

// An availability as shown: percent with one decimal; empty when unknown.
QString availability_text(const std::optional<double>& share);

// A round trip as shown: milliseconds with one decimal; empty when unknown.
QString rtt_text(const std::optional<double>& rtt_ms);

// Where a row's state sorts by default: 応答なし first, then 未確認, 応答あり
// and 監視対象外 last, so that the devices down are seen without scrolling.
int down_first_rank(const QString& state_text);

// How many rows show 応答なし.
int rows_down(const std::vector<QStringList>& rows);

// The header and the rows, tab-separated, each line ended by a line feed.
QString rows_as_tsv(const std::vector<QStringList>& rows);
