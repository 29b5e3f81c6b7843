#pragma once
// The pages and the JSON of the web endpoint, written from the snapshot and
// the history: Japanese, UTF-8, self-contained (inline style, inline SVG, no
// script), everything from the files HTML-escaped.
#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "history/graph_model.h"
#include "history/history_store.h"

struct WebSnapshot;

QString html_escape(const QString& text);

QByteArray status_json(const WebSnapshot& snapshot, const std::vector<DeviceFigures>& figures);
QByteArray status_page(const WebSnapshot& snapshot, const std::vector<DeviceFigures>& figures);

struct TargetPageData {
    QString address;
    std::optional<DeviceFigures> figures;
    std::vector<StoredEvent> events; // newest first
    std::vector<GraphModel> graphs;
};
QByteArray target_page(const WebSnapshot& snapshot, const TargetPageData& data);

// The graph as an inline SVG element: the down periods shaded, the
// minimum–maximum band, the median line, checks without an answer in red.
QString graph_svg(const GraphModel& model, int width = 720, int height = 220);
