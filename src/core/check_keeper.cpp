#include "core/check_keeper.h"

#include <utility>

#include "core/app_title.h"
#include "core/check_executor.h"
#include "core/message_box.h"
#include "core/monitor_events.h"

CheckKeeper::CheckKeeper(std::shared_ptr<CheckHistory> history, MonitorEvents& events,
                         MessageBoxes& boxes, std::function<void(const QString&)> tell)
    : history_(std::move(history)), events_(events), boxes_(boxes), tell_(std::move(tell)) {}

void CheckKeeper::keep(CheckRecord record, CheckExecutor& executor) {
    owner_.check("CheckKeeper");
    if (!writing_) {
        write(std::move(record), executor);
        return;
    }
    if (waiting_.size() >= kMaxWaiting)
        waiting_.pop_front();
    waiting_.push_back(std::move(record));
}

void CheckKeeper::write(CheckRecord record, CheckExecutor& executor) {
    writing_ = true;
    // The worker holds the history itself, so that it outlives the keeper
    // when the program ends during a write.
    executor.run([history = history_, record = std::move(record)] { return history->keep(record); },
                 [this, executor = &executor](const QString& why) {
                     written(why);
                     writing_ = false;
                     if (!waiting_.empty()) {
                         CheckRecord next = std::move(waiting_.front());
                         waiting_.pop_front();
                         write(std::move(next), *executor);
                     }
                 });
}

void CheckKeeper::written(const QString& why) {
    if (why.isEmpty()) {
        if (failing_)
            events_.announce(EventKind::History, history_detail({}));
        failing_ = false;
        events_.announce(EventKind::CheckKept, {});
        return;
    }
    if (failing_)
        return;
    failing_ = true;
    events_.announce(EventKind::History, history_detail(why));
    if (tell_)
        tell_(history_failure_text(why).simplified());
    boxes_.inform({history_failure_text(why), app_title(), BoxIcon::Warning},
                  MessageBoxes::Kind::HistoryFailure);
}

QString history_failure_text(const QString& why) {
    return QStringLiteral("履歴（pelmora.db）に監視結果を記録できません。\n%1\n"
                          "監視とメール配信は続けます。次の監視で記録し直します。")
        .arg(why);
}
