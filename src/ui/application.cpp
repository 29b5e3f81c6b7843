#include "ui/application.h"

#include "core/app_title.h"
#include "core/file_error.h"
#include "core/message_box.h"
#include "core/shared_state.h"
#include "core/startup.h"
#include "targets/target_file.h"
#include "ui/graph_window.h"
#include "ui/history_window.h"
#include "ui/mail_settings_window.h"
#include "ui/settings_window.h"
#include "ui/status_window.h"
#include "ui/target_editor_window.h"

Application::Application(Services services)
    : s_(std::move(services)), main_(std::make_unique<MainWindow>(s_.state)),
      cycle_(s_.state, s_.engine, s_.mail, s_.executor, s_.keeper) {
    main_->on_minute = [this] { Timer1_Timer(); };
    main_->on_release = [this] { Command2_Click(); };
    main_->on_open_settings = [this] { Command3_Click(); };
    main_->on_open_editor = [this] { Command4_Click(); };
    menu_ = std::make_unique<MonitorMenu>(
        *main_, s_.state,
        MenuHandlers{[this] { status_window_.open(); }, [this] { history_window_.open(); },
                     [this] { check_now(); }, [this] { open_graph(); },
                     [this] { reload_targets(); }});
    status_window_.make = [this] {
        auto* window = new StatusWindow(s_.state, s_.history, s_.executor);
        window->on_open_record = [this](int index) { open_editor_at(index); };
        window->on_open_graph = [this](int index) { open_graph(index); };
        window->ms_to_next_minute = [this] {
            return main_->minute_timer->isActive() ? main_->minute_timer->remainingTime() : -1;
        };
        return window;
    };
    graph_window_.make = [this] {
        return new GraphWindow(s_.history, s_.executor, s_.state.targets);
    };
    history_window_.make = [this] { return new HistoryWindow(s_.state.events, s_.files.log); };
    settings_window_.make = [this] {
        auto* window = new SettingsWindow(s_.state.settings, s_.boxes, s_.files.conf);
        window->events = &s_.state.events;
        return window;
    };
    target_editor_.make = [this] {
        auto* window =
            new TargetEditorWindow(s_.state.targets, s_.state.monitor, s_.boxes, s_.files.targets);
        window->events = &s_.state.events;
        return window;
    };
    mail_settings_.make = [this] {
        return new MailSettingsWindow(s_.state, s_.boxes, s_.transport, s_.files.smtp, s_.executor);
    };
    menu_->set_mail_settings([this] { open_mail_settings(); });
}

Application::~Application() {
    // The secondary windows go without their close questions.
    delete settings_window_.current();
    delete target_editor_.current();
    delete status_window_.current();
    delete history_window_.current();
    delete graph_window_.current();
    delete mail_settings_.current();
}

bool Application::start() {
    // The minute count starts once start-up is done: its message boxes run
    // event loops of their own, and no minute may be handled before the files
    // are read.
    if (!s_.start_up())
        return false;
    main_->minute_timer->start();
    return true;
}

void Application::Timer1_Timer() {
    cycle_.minute_passed();
}

void Application::check_now() {
    if (cycle_.checking())
        return;
    if (main_->minute_timer->isActive())
        main_->minute_timer->start();
    cycle_.check_now();
}

void Application::Command2_Click() {
    cycle_.release_stop();
}

void Application::Command3_Click() {
    if (s_.state.monitor.delivery_stopped())
        return; // locked while mail delivery is stopped
    settings_window_.open();
}

void Application::Command4_Click() {
    if (s_.state.monitor.delivery_stopped())
        return;
    target_editor_.open();
}

void Application::open_editor_at(int index) {
    if (s_.state.monitor.delivery_stopped())
        return; // locked as its button is
    const bool was_open = target_editor_.current() != nullptr;
    target_editor_.open();
    auto* editor = qobject_cast<TargetEditorWindow*>(target_editor_.current());
    if (!editor || was_open)
        return; // an open editor may hold edits of the record it shows
    editor->show_record(index);
}

void Application::open_graph(int index) {
    if (index < 0)
        if (auto* status = qobject_cast<StatusWindow*>(status_window_.current()))
            index = status->current_record();
    graph_window_.open();
    if (auto* graph = qobject_cast<GraphWindow*>(graph_window_.current()))
        graph->show_record(std::max(index, 0));
}

void Application::open_mail_settings() {
    if (s_.state.monitor.delivery_stopped())
        return;
    mail_settings_.open();
}

void Application::reload_targets() {
    if (target_editor_.current()) {
        s_.boxes.ok(QStringLiteral("監視設定を開いている間は読み直せません。"
                                   "監視設定を閉じてから、もう一度選んでください。"),
                    app_title(), BoxIcon::Warning);
        return;
    }
    // Read into a copy, so that a file that fails leaves the list in use.
    auto targets = std::make_unique<TargetList>(s_.state.targets);
    const FileRead read = load_target_list(*targets, s_.files.targets);
    if (!read.ok()) {
        s_.boxes.ok(read.failure().text +
                        QStringLiteral("\n\n監視対象は読み込み前のまま使われます。"),
                    app_title(), BoxIcon::Critical);
        return;
    }
    s_.state.targets = *targets;
    s_.state.monitor.set_announced_targets(targets->count);
    QString text =
        QStringLiteral("%1 を読み直しました（%2拠点）。").arg(s_.files.targets).arg(targets->count);
    if (const QString warnings = hand_edit_warning_box_text(read.warnings()); !warnings.isEmpty())
        text += QStringLiteral("\n\n") + warnings;
    s_.boxes.ok(text, app_title(), BoxIcon::Information);
}
