#pragma once
// The snapshot in the Prometheus text exposition format (version 0.0.4).
#include <QByteArray>
#include <QString>

struct WebSnapshot;

inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// A label value as the format wants it: backslash, double quote and line
// feed escaped.
QString metric_label_value(const QString& text);

QByteArray metrics_text(const WebSnapshot& snapshot);
