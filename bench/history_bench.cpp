// Writes N days of checks of 1001 targets at interval 1 (one check per
// minute of a stepped clock) through the real history store, then times the
// reads behind 監視状況 and a one-year graph. Prints, per simulated day, the
// file's size with its -wal and the keep() times so far.
//
//   history_bench DAYS [FILE]   (FILE: history-bench.db in the working folder;
//                                an existing one is replaced)
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <time.h>
#include <vector>

#include "history/history_store.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// This thread's processor time: on a shared machine the wall clock also
// counts the time other processes had the processor.
double cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

double at(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    const std::size_t i = std::min(v.size() - 1, std::size_t(q * double(v.size())));
    std::nth_element(v.begin(), v.begin() + i, v.end());
    return v[i];
}

qint64 size_mb(const QString& path) {
    return (QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size()) / 1000000;
}

} // namespace

int main(int argc, char** argv) {
    const int days = argc > 1 ? std::atoi(argv[1]) : 1;
    const QString path =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("history-bench.db");
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));

    const qint64 start_s = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    qint64 now = start_s;
    HistoryOptions options;
    options.path = path;
    options.now_s = [&now] { return now; };
    HistoryStore store(options);

    // 1001 targets: 2 % never answer, 3 % drop for a few minutes now and
    // then, the rest answer in 0.2 to 40 ms (mostly a few ms)
    constexpr int targets = 1001;
    std::mt19937 random(7);
    std::lognormal_distribution<double> rtt(std::log(2000.0), 0.9);
    std::uniform_real_distribution<double> chance(0, 1);
    std::vector<bool> down(targets, false);
    std::vector<qint64> down_since(targets, 0);
    std::vector<QString> addresses, names;
    for (int i = 0; i < targets; ++i) {
        addresses.push_back(
            QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256 + 1));
        names.push_back(QStringLiteral("機器%1").arg(i));
    }

    std::vector<double> keep_ms, day_keep_ms, day_keep_cpu_ms;
    // the reads, each the best of three (the first also warms the cache)
    auto best = [](auto&& read) {
        double least = 1e9, least_cpu = 1e9;
        for (int i = 0; i < 3; ++i) {
            const auto t = Clock::now();
            const double c = cpu_ms();
            read();
            least = std::min(least, ms_since(t));
            least_cpu = std::min(least_cpu, cpu_ms() - c);
        }
        return QStringLiteral("%1 (%2)").arg(least, 0, 'f', 1).arg(least_cpu, 0, 'f', 1);
    };
    auto time_figures = [&] { return best([&] { store.figures(now); }); };
    auto time_year_graph = [&] {
        return best([&] { store.graph_input(addresses[33], GraphRange::Year, now); });
    };
    std::printf("| days | file + -wal (MB) | keep median (ms) | keep 99th (ms) | slowest keep (ms) "
                "| slowest keep, processor (ms) | figures() (ms) | 1-year graph_input (ms) |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    const qint64 checks = qint64(days) * 1440;
    for (qint64 n = 0; n < checks; ++n) {
        now = start_s + n * 60;
        CheckRecord record;
        record.started = QDateTime::fromSecsSinceEpoch(now);
        record.duration_ms = 1200;
        record.checked = targets;
        for (int i = 0; i < targets; ++i) {
            bool answers = true;
            if (i % 50 == 0)
                answers = false;
            else if (i % 33 == 0)
                answers = down[i] ? chance(random) < 0.2 : chance(random) > 0.01;
            CheckSample sample{addresses[i], names[i], answers, std::nullopt};
            if (answers)
                sample.rtt_us = std::clamp<qint64>(qint64(rtt(random)), 200, 40000);
            if (answers == down[i]) {
                DeviceChange change;
                change.kind = answers ? DeviceChangeKind::Up : DeviceChangeKind::Down;
                change.address = addresses[i];
                change.name = names[i];
                change.time = record.started;
                change.down_for_s = answers ? now - down_since[i] : 0;
                record.changes.push_back(change);
                down[i] = !answers;
                down_since[i] = now;
            }
            record.not_answering += !answers;
            record.samples.push_back(std::move(sample));
        }
        const auto t = Clock::now();
        const double c = cpu_ms();
        const QString why = store.keep(record);
        const double took = ms_since(t);
        day_keep_cpu_ms.push_back(cpu_ms() - c);
        if (!why.isEmpty()) {
            std::fprintf(stderr, "keep failed: %s\n", qPrintable(why));
            return 1;
        }
        keep_ms.push_back(took);
        day_keep_ms.push_back(took);
        if ((n + 1) % 1440 == 0) {
            // the reads every tenth day only: they take a little time themselves
            const qint64 day = (n + 1) / 1440;
            const bool reads = day == 1 || day % 10 == 0 || n + 1 == checks;
            std::printf("| %lld | %lld | %.2f | %.2f | %.1f | %.1f | %s | %s |\n", (long long)day,
                        (long long)size_mb(path), at(day_keep_ms, 0.5), at(day_keep_ms, 0.99),
                        *std::max_element(day_keep_ms.begin(), day_keep_ms.end()),
                        *std::max_element(day_keep_cpu_ms.begin(), day_keep_cpu_ms.end()),
                        reads ? qPrintable(time_figures()) : "",
                        reads ? qPrintable(time_year_graph()) : "");
            std::fflush(stdout);
            day_keep_ms.clear();
            day_keep_cpu_ms.clear();
        }
    }
    std::printf(
        "\nall %zu keeps: median %.2f ms, 99th %.2f ms, slowest %.1f ms; %lld MB with -wal\n",
        keep_ms.size(), at(keep_ms, 0.5), at(keep_ms, 0.99),
        keep_ms.empty() ? 0.0 : *std::max_element(keep_ms.begin(), keep_ms.end()),
        (long long)size_mb(path));

    std::size_t rows = 0;
    const QString figures_ms = best([&] { rows = store.figures(now).size(); });
    std::printf("figures(now), %zu devices: %s ms\n", rows, qPrintable(figures_ms));
    const std::pair<GraphRange, const char*> ranges[] = {{GraphRange::Hour, "1 hour"},
                                                         {GraphRange::Day, "24 hours"},
                                                         {GraphRange::Week, "7 days"},
                                                         {GraphRange::Month, "30 days"},
                                                         {GraphRange::Year, "1 year"}};
    for (const auto& [range, label] : ranges) {
        std::size_t buckets = 0, spans = 0;
        const QString took = best([&] {
            const GraphInput in = store.graph_input(addresses[33], range, now);
            buckets = in.buckets.size();
            spans = in.down.size();
        });
        std::printf("graph_input(%s): %zu buckets, %zu down spans, %s ms\n", label, buckets, spans,
                    qPrintable(took));
    }
    const QString last_ms = best([&] { rows = store.last_states().size(); });
    std::printf("last_states(), %zu devices: %s ms\n", rows, qPrintable(last_ms));
    std::printf("(in brackets: this thread's processor time)\n");
    return 0;
}
