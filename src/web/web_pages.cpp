#include "web/web_pages.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <map>

#include "web/web_snapshot.h"

namespace {

QString local_time(qint64 s, const char* format = "yyyy/MM/dd HH:mm:ss") {
    return QDateTime::fromSecsSinceEpoch(s).toString(QLatin1String(format));
}

QString state_key(TargetState state) {
    switch (state) {
    case TargetState::Answering:
        return QStringLiteral("up");
    case TargetState::Silent:
        return QStringLiteral("down");
    case TargetState::NotMonitored:
        return QStringLiteral("unmonitored");
    case TargetState::Unchecked:
        break;
    }
    return QStringLiteral("unknown");
}

// 応答なし first, then 未確認, 応答あり, 監視対象外; list order within each.
int rank(TargetState state) {
    switch (state) {
    case TargetState::Silent:
        return 0;
    case TargetState::Unchecked:
        return 1;
    case TargetState::Answering:
        return 2;
    case TargetState::NotMonitored:
        return 3;
    }
    return 4;
}

std::map<QString, DeviceFigures> by_address(const std::vector<DeviceFigures>& figures) {
    std::map<QString, DeviceFigures> out;
    for (const DeviceFigures& f : figures)
        out.emplace(f.address, f);
    return out;
}

QString percent(const std::optional<double>& ratio) {
    return ratio ? QString::number(*ratio * 100.0, 'f', 2) + QLatin1Char('%') : QString();
}

QString ms(const std::optional<double>& value) {
    return value ? QString::number(*value, 'f', 1) : QString();
}

int down_count(const WebSnapshot& s) {
    return static_cast<int>(std::count_if(s.targets.begin(), s.targets.end(), [](const auto& t) {
        return t.state == TargetState::Silent;
    }));
}

const char kStyle[] = R"(<style>
body{font-family:"Noto Sans CJK JP",sans-serif;margin:0;padding:.5rem 1rem;color:#111;background:#fff}
h1{font-size:1.3rem;margin:.4rem 0}h2{font-size:1.1rem;margin:1rem 0 .3rem}
.banner{background:#c00;color:#fff;font-weight:bold;padding:.6rem 1rem;margin:-.5rem -1rem .5rem}
.times{margin:.2rem 0 .6rem;color:#333}.times span{display:inline-block;margin-right:1.5rem}
.wrap{overflow-x:auto}
table{border-collapse:collapse;width:100%;font-size:.9rem}
th,td{border:1px solid #bbb;padding:.25rem .4rem;text-align:left;white-space:nowrap}
th{background:#e8e8e8}td.n{text-align:right}
tr.down td{background:#fdd;color:#b00;font-weight:bold}
tr.unmonitored td{color:#888}
a{color:#04c}
svg{max-width:100%;height:auto;display:block;border:1px solid #ccc;background:#fafafa}
.narrow{display:none}
@media (max-width:640px){body{padding:.3rem .5rem}.banner{margin:-.3rem -.5rem .5rem}
 table,th,td{font-size:.8rem}.wide{display:none}.narrow{display:block}
 .devices,.devices tbody{display:block}.devices thead{display:none}
 .devices tr{display:flex;flex-wrap:wrap;border:1px solid #bbb;border-top:none}
 .devices tr:first-child{border-top:1px solid #bbb}.devices td{border:none}
 .devices tr.down{background:#fdd}.devices td[data-label]:empty{display:none}
 .devices td[data-label]::before{content:attr(data-label) "\FF1A";color:#555;font-weight:normal}}
</style>)";

QString head(const QString& title, int refresh_s) {
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, "
                          "initial-scale=1\">\n<meta http-equiv=\"refresh\" content=\"%1\">\n"
                          "<title>%2</title>\n%3</head><body>\n")
        .arg(refresh_s)
        .arg(html_escape(title), QLatin1String(kStyle));
}

int refresh_seconds(const WebSnapshot& s) {
    return std::clamp(s.minute_ms / 1000, 5, 60);
}

QString banner(const WebSnapshot& s) {
    return s.delivery_stopped
               ? QStringLiteral(
                     "<div class=\"banner\">メール配信停止中（連続配信回数：%1）</div>\n")
                     .arg(s.notices_in_a_row)
               : QString();
}

QString times(const WebSnapshot& s) {
    QString out = QStringLiteral("<p class=\"times\"><span>");
    out += s.last_check_s ? QStringLiteral("前回の監視：%1（%2秒）")
                                .arg(local_time(*s.last_check_s))
                                .arg(QString::number(s.last_duration_s, 'f', 1))
                          : QStringLiteral("前回の監視：まだありません");
    out += QStringLiteral("</span><span>");
    out += s.checking ? QStringLiteral("監視中…")
           : s.next_check_s
               ? QStringLiteral("次回の監視：%1頃").arg(local_time(*s.next_check_s, "HH:mm:ss"))
               : QString();
    out += QStringLiteral("</span><span>%1分毎</span></p>\n").arg(s.interval_minutes);
    if (!s.log_problem.isEmpty())
        out += QStringLiteral("<p class=\"times\">%1</p>\n").arg(html_escape(s.log_problem));
    return out;
}

} // namespace

QString html_escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray status_json(const WebSnapshot& s, const std::vector<DeviceFigures>& figures) {
    const auto by = by_address(figures);
    QJsonArray targets;
    for (const WebTarget& t : s.targets) {
        QJsonObject o{{"record", t.record},
                      {"address", t.address},
                      {"name", t.name},
                      {"contact", t.contact},
                      {"person", t.person},
                      {"state", state_key(t.state)},
                      {"state_text", target_state_text(t.state)}};
        o.insert("rtt_ms", t.rtt_ms ? QJsonValue(*t.rtt_ms) : QJsonValue());
        o.insert("since", t.since_s ? QJsonValue(*t.since_s) : QJsonValue());
        const auto f = by.find(t.address);
        const auto put = [&](const char* key, const std::optional<double>& v) {
            o.insert(QLatin1String(key), v ? QJsonValue(*v) : QJsonValue());
        };
        put("availability_24h", f != by.end() ? f->second.availability_24h : std::nullopt);
        put("availability_30d", f != by.end() ? f->second.availability_30d : std::nullopt);
        put("mean_rtt_ms_24h", f != by.end() ? f->second.mean_rtt_ms_24h : std::nullopt);
        targets.append(o);
    }
    QJsonObject root{
        {"version", s.version},
        {"time", s.taken_s},
        {"interval_minutes", s.interval_minutes},
        {"interval_seconds", s.interval_minutes * s.minute_ms / 1000.0},
        {"checking", s.checking},
        {"delivery_stopped", s.delivery_stopped},
        {"notices_in_a_row", s.notices_in_a_row},
        {"checks_total", s.checks_total},
        {"notices", QJsonObject{{"sent", s.notices_sent},
                                {"failed", s.notices_failed},
                                {"superseded", s.notices_superseded}}},
        {"targets", targets},
    };
    root.insert("last_check", s.last_check_s ? QJsonValue(*s.last_check_s) : QJsonValue());
    root.insert("last_check_duration_seconds", s.last_duration_s);
    root.insert("next_check", s.next_check_s ? QJsonValue(*s.next_check_s) : QJsonValue());
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray status_page(const WebSnapshot& s, const std::vector<DeviceFigures>& figures) {
    const auto by = by_address(figures);
    const int down = down_count(s);
    const QString title =
        down > 0 ? QStringLiteral("監視状況（応答なし %1）").arg(down) : QStringLiteral("監視状況");
    QString out = head(title + QStringLiteral(" - Pelmora"), refresh_seconds(s));
    out += banner(s);
    out += QStringLiteral("<h1>%1</h1>\n").arg(html_escape(title));
    out += times(s);
    out += QStringLiteral(
        "<div class=\"wrap\"><table "
        "class=\"devices\">\n<thead><tr><th>No.</th><th>アドレス</th><th>機器名</th>"
        "<th class=\"wide\">連絡先</th><th class=\"wide\">担当者</th><th>状態</th>"
        "<th>応答時間(ms)</th><th class=\"wide\">状態の開始</th><th>稼働率(24時間)</th>"
        "<th>稼働率(30日)</th><th>平均応答(24時間)</th></tr></thead>\n<tbody>\n");
    std::vector<const WebTarget*> rows;
    for (const WebTarget& t : s.targets)
        rows.push_back(&t);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto* a, const auto* b) { return rank(a->state) < rank(b->state); });
    for (const WebTarget* t : rows) {
        const auto f = by.find(t->address);
        const auto figure = [&](auto member) {
            return f == by.end() ? std::optional<double>{} : f->second.*member;
        };
        const QString address = html_escape(t->address);
        // on a phone the row wraps, each figure after its column's name
        out += QStringLiteral("<tr class=\"%1\"><td class=\"n\">%2</td><td><a href=\"/target/%3\">"
                              "%3</a></td><td>%4</td><td class=\"wide\">%5</td>"
                              "<td class=\"wide\">%6</td><td>%7</td>"
                              "<td class=\"n\" data-label=\"応答時間(ms)\">%8</td>"
                              "<td class=\"wide\">%9</td>")
                   .arg(state_key(t->state))
                   .arg(t->record)
                   .arg(address, html_escape(t->name), html_escape(t->contact),
                        html_escape(t->person), target_state_text(t->state), ms(t->rtt_ms),
                        t->since_s ? local_time(*t->since_s) : QString());
        out += QStringLiteral("<td class=\"n\" data-label=\"稼働率(24時間)\">%1</td>"
                              "<td class=\"n\" data-label=\"稼働率(30日)\">%2</td>"
                              "<td class=\"n\" data-label=\"平均応答(24時間)\">%3</td></tr>\n")
                   .arg(percent(figure(&DeviceFigures::availability_24h)),
                        percent(figure(&DeviceFigures::availability_30d)),
                        ms(figure(&DeviceFigures::mean_rtt_ms_24h)));
    }
    out += QStringLiteral("</tbody></table></div>\n<p class=\"times\">Pelmora %1 ・ "
                          "<a href=\"/metrics\">metrics</a> ・ <a href=\"/api/status\">JSON</a>"
                          "</p>\n</body></html>\n")
               .arg(html_escape(s.version));
    return out.toUtf8();
}

QByteArray target_page(const WebSnapshot& s, const TargetPageData& data) {
    const WebTarget* target = nullptr;
    for (const WebTarget& t : s.targets)
        if (t.address == data.address) {
            target = &t;
            break;
        }
    const QString name = target ? target->name : QString();
    QString out = head(data.address + QLatin1Char(' ') + name + QStringLiteral(" - Pelmora"),
                       std::max(60, refresh_seconds(s)));
    out += banner(s);
    out += QStringLiteral("<p><a href=\"/\">← 監視状況</a></p>\n<h1>%1 %2</h1>\n")
               .arg(html_escape(data.address), html_escape(name));
    if (target) {
        out += QStringLiteral("<p class=\"times\"><span>状態：%1</span><span>応答時間：%2</span>"
                              "<span>状態の開始：%3</span></p>\n")
                   .arg(target_state_text(target->state),
                        target->rtt_ms ? ms(target->rtt_ms) + QStringLiteral(" ms")
                                       : QStringLiteral("—"),
                        target->since_s ? local_time(*target->since_s) : QString());
    }
    const DeviceFigures f = data.figures.value_or(DeviceFigures{});
    out += QStringLiteral("<p class=\"times\"><span>稼働率(24時間)：%1</span><span>稼働率(30日)："
                          "%2</span><span>平均応答(24時間)：%3</span></p>\n")
               .arg(percent(f.availability_24h), percent(f.availability_30d),
                    f.mean_rtt_ms_24h ? ms(f.mean_rtt_ms_24h) + QStringLiteral(" ms") : QString());
    out += times(s);
    for (const GraphModel& graph : data.graphs) {
        out += QStringLiteral("<h2>応答時間（%1）</h2>\n").arg(graph_range_text(graph.range));
        // drawn again at a phone's width, where the wide one's text would be too small to read
        out += QStringLiteral("<div class=\"wide\">%1</div><div class=\"narrow\">%2</div>\n")
                   .arg(graph_svg(graph), graph_svg(graph, 360, 200));
    }
    out += QStringLiteral("<h2>最近の出来事</h2>\n");
    if (data.events.empty()) {
        out += QStringLiteral("<p>記録はありません。</p>\n");
    } else {
        out += QStringLiteral(
            "<div class=\"wrap\"><table><thead><tr><th>時刻</th><th>出来事</th>"
            "<th class=\"wide\">機器名</th><th>停止していた時間</th></tr></thead><tbody>\n");
        for (const StoredEvent& e : data.events) {
            const QString kind = e.kind == DeviceChangeKind::Down ? QStringLiteral("応答なし")
                                 : e.kind == DeviceChangeKind::Up ? QStringLiteral("応答あり")
                                                                  : QStringLiteral("監視対象外");
            const QString down_for = e.kind == DeviceChangeKind::Down
                                         ? QString()
                                         : QStringLiteral("%1時間%2分%3秒")
                                               .arg(e.down_for_s / 3600)
                                               .arg(e.down_for_s / 60 % 60)
                                               .arg(e.down_for_s % 60);
            out +=
                QStringLiteral(
                    "<tr class=\"%1\"><td>%2</td><td>%3</td><td class=\"wide\">%4</td><td>%5</td>"
                    "</tr>\n")
                    .arg(e.kind == DeviceChangeKind::Down ? QStringLiteral("down") : QString(),
                         local_time(e.time_s), kind, html_escape(e.name), down_for);
        }
        out += QStringLiteral("</tbody></table></div>\n");
    }
    out += QStringLiteral("</body></html>\n");
    return out.toUtf8();
}

QString graph_svg(const GraphModel& m, int width, int height) {
    const double left = 56, right = 10, top = 10, bottom = 28;
    const double w = width - left - right, h = height - top - bottom;
    const double y_max = m.y_max_ms > 0 ? m.y_max_ms : 1;
    const auto X = [&](double x) { return left + std::clamp(x, 0.0, 1.0) * w; };
    const auto Y = [&](double v) { return top + h - std::clamp(v / y_max, 0.0, 1.0) * h; };
    const auto n = [](double v) { return QString::number(v, 'f', 1); };
    QString out = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" "
                                 "width=\"%1\" height=\"%2\" role=\"img\" "
                                 "font-family=\"sans-serif\" font-size=\"11\">\n")
                      .arg(width)
                      .arg(height);
    out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#fff\" "
                          "stroke=\"#999\"/>\n")
               .arg(n(left), n(top), n(w), n(h));
    for (const GraphSpan& span : m.down)
        out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                              "fill=\"#f4b4b4\" fill-opacity=\"0.6\"/>\n")
                   .arg(n(X(span.from_x)), n(top), n(std::max(1.0, X(span.to_x) - X(span.from_x))),
                        n(h));
    for (const GraphTick& tick : m.y_ticks)
        out += QStringLiteral("<line x1=\"%1\" x2=\"%2\" y1=\"%3\" y2=\"%3\" stroke=\"#ddd\"/>"
                              "<text x=\"%4\" y=\"%5\" text-anchor=\"end\">%6</text>\n")
                   .arg(n(left), n(left + w), n(Y(tick.at)), n(left - 4), n(Y(tick.at) + 4),
                        html_escape(tick.label));
    for (const GraphTick& tick : m.x_ticks)
        out +=
            QStringLiteral("<line x1=\"%1\" x2=\"%1\" y1=\"%2\" y2=\"%3\" stroke=\"#ddd\"/>"
                           "<text x=\"%1\" y=\"%4\" text-anchor=\"middle\">%5</text>\n")
                .arg(n(X(tick.at)), n(top), n(top + h), n(top + h + 16), html_escape(tick.label));
    // the band: tops left to right, then bottoms back, per run of measured points
    QString band, line;
    const auto flush = [&](std::vector<const GraphPoint*>& run) {
        if (run.size() >= 2) {
            QString d;
            for (const GraphPoint* p : run)
                d += QStringLiteral("%1%2,%3 ")
                         .arg(d.isEmpty() ? "M" : "L", n(X(p->x)), n(Y(*p->high_ms)));
            for (auto it = run.rbegin(); it != run.rend(); ++it)
                d += QStringLiteral("L%1,%2 ").arg(n(X((*it)->x)), n(Y(*(*it)->low_ms)));
            band +=
                QStringLiteral("<path d=\"%1Z\" fill=\"#9cc3ee\" fill-opacity=\"0.5\"/>\n").arg(d);
        }
        if (!run.empty()) {
            QString d;
            for (const GraphPoint* p : run)
                d += QStringLiteral("%1%2,%3 ")
                         .arg(d.isEmpty() ? "M" : "L", n(X(p->x)), n(Y(*p->median_ms)));
            line += QStringLiteral("<path d=\"%1\" fill=\"none\" stroke=\"#1560bd\" "
                                   "stroke-width=\"1.5\"/>\n")
                        .arg(d.trimmed());
        }
        run.clear();
    };
    std::vector<const GraphPoint*> run;
    QString lost;
    for (const GraphPoint& p : m.points) {
        if (p.median_ms && p.low_ms && p.high_ms)
            run.push_back(&p);
        else
            flush(run);
        if (p.lost())
            lost += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"2\" height=\"6\" "
                                   "fill=\"#d00\"><title>%3</title></rect>\n")
                        .arg(n(X(p.x) - 1), n(top + h - 6), html_escape(hover_text(m, p)));
    }
    flush(run);
    out += band + line + lost;
    if (m.empty())
        out += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\" fill=\"#666\">"
                              "データがありません</text>\n")
                   .arg(n(left + w / 2), n(top + h / 2));
    out += QStringLiteral("</svg>\n");
    return out;
}
