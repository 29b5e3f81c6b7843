// Times the グラフ window on a history written by history_bench: from
// making the window to its first paint with the data, in the range it opens
// with (24時間), then each other range from the click to its paint. The
// history is read on a worker, as in the program.
//
//   QT_QPA_PLATFORM=offscreen graph_window_bench FILE [ADDRESS] [END]
//   (ADDRESS: 10.0.0.34; END: the last check's time, 2026-12-31T23:59:00Z,
//    the end of a 365-day history_bench run)
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <cstdio>

#include "core/check_executor.h"
#include "core/target_list.h"
#include "history/history_store.h"
#include "ui/graph_window.h"

namespace {

// Waits for the worker's answer, then paints it at once.
double until_painted(GraphWindow& window, const QElapsedTimer& clock) {
    while (window.view->loading)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    window.view->repaint();
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "graph_window_bench FILE [ADDRESS] [END]\n");
        return 2;
    }
    const QString address = argc > 2 ? QString::fromLatin1(argv[2]) : QStringLiteral("10.0.0.34");
    const qint64 end_s =
        argc > 3
            ? QDateTime::fromString(QString::fromLatin1(argv[3]), Qt::ISODate).toSecsSinceEpoch()
            : QDateTime(QDate(2026, 12, 31), QTime(23, 59), Qt::UTC).toSecsSinceEpoch();
    HistoryOptions options;
    options.path = QString::fromLocal8Bit(argv[1]);
    HistoryStore store(options);
    TargetList targets;
    targets.records[0] = {address, QStringLiteral("機器／内線1／山田"), 0};
    targets.count = 1;
    ThreadedExecutor executor;

    for (int round = 1; round <= 3; ++round) {
        QElapsedTimer clock;
        clock.start();
        GraphWindow window(&store, &executor, targets);
        window.now_s = [end_s] { return end_s; };
        window.show();
        window.show_record(0);
        std::printf("round %d: opened (24時間) %.1f ms", round, until_painted(window, clock));
        for (const auto& [range, label] :
             {std::pair{GraphRange::Hour, "1時間"}, std::pair{GraphRange::Week, "7日"},
              std::pair{GraphRange::Month, "30日"}, std::pair{GraphRange::Year, "1年"}}) {
            clock.restart();
            window.show_range(range);
            std::printf(", %s %.1f ms", label, until_painted(window, clock));
        }
        std::printf(" (%zu points in 1年)\n", window.view->model().points.size());
    }
    return 0;
}
