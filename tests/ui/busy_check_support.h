#pragma once
// A whole program whose checks take real time: a slow engine, a transport
// that stalls, the real message boxes and checks on worker threads, as in
// the program. For tests of what the window does meanwhile.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/monitor_services.h"
#include "app_fixture.h"
#include "mail/mail_transport.h"
#include "support/work_dir.h"
#include "ui/qt_message_boxes.h"

// Takes `delay` per sweep; the second target never answers.
struct SlowEngine : EchoEngine {
    std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int, int) override {
        ++calls;
        std::this_thread::sleep_for(delay);
        std::vector<EchoOutcome> out(jobs.size(), EchoOutcome::Reachable);
        if (out.size() > 1)
            out[1] = EchoOutcome::Unreachable;
        return out;
    }
    std::chrono::milliseconds delay{1500};
    std::atomic<int> calls{0};
};

// Stalls, then refuses each notice with its own code: 451, 452, ...
struct StallingTransport : MailTransport {
    std::optional<DeliveryFailure> send(const Notice&) override {
        const int n = ++sends;
        std::this_thread::sleep_for(stall);
        return DeliveryFailure{DeliveryStage::Data, 450 + n, QStringLiteral("try again later")};
    }
    std::chrono::milliseconds stall{1000};
    std::atomic<int> sends{0};
};

struct BusyApp {
    // interval 1, 3 attempts, TTL 64, delivery stops after 9 notices
    BusyApp(SlowEngine& engine, MailTransport& transport)
        : services(MonitorParts{.boxes = boxes,
                                .engine = engine,
                                .files = files_in(dir),
                                .first_copy = [] { return true; },
                                .transport = &transport,
                                .log = std::nullopt}) {
        dir.write(QStringLiteral("conf.ini"), conf_bytes(1, 3, 64, 9));
        dir.write(QStringLiteral("kanshi.ini"), "10.0.0.1\r\nA\r\n 0 \r\n10.0.0.2\r\nB\r\n 0 \r\n");
        app = std::make_unique<Application>(services.for_windows());
        started = app->start();
        app->main_window().show();
    }

    TempWorkDir dir;
    QtMessageBoxes boxes;
    MonitorServices services;
    SharedState& state = services.state;
    std::unique_ptr<Application> app;
    bool started = false;
};

// Runs the event loop until done() or the limit; false on the limit.
inline bool run_until(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limit.count())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Posts an event every 5 ms and keeps the longest wait for one to be
// handled: a window that blocks anywhere shows up here.
class LatencyProbe {
  public:
    LatencyProbe() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QElapsedTimer posted;
            posted.start();
            QMetaObject::invokeMethod(
                &timer_, [this, posted] { worst_ = std::max(worst_, posted.elapsed()); },
                Qt::QueuedConnection);
            if (since_last_.isValid())
                worst_ = std::max(worst_, since_last_.restart() - timer_.interval());
            else
                since_last_.start();
        });
        timer_.start();
    }
    qint64 worst_ms() const { return worst_; }

  private:
    QTimer timer_;
    QElapsedTimer since_last_;
    qint64 worst_ = 0;
};

inline std::vector<QMessageBox*> visible_boxes() {
    std::vector<QMessageBox*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            out.push_back(box);
    return out;
}
