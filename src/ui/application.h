#pragma once
// The running program put together: the shared state, the main window and its
// handlers, the secondary windows, and the services they use (message boxes,
// echo engine, mail). The services come made (app/monitor_services.h), real
// for the program, with scripted boxes, fakes and a working directory of
// their own for the tests.
#include <functional>
#include <memory>

#include <QString>

#include "core/monitoring_cycle.h"
#include "ui/main_window.h"
#include "ui/monitor_menu.h"
#include "ui/single_window.h"

struct SharedState;
class MessageBoxes;
class EchoEngine;
class NoticeSender;
class CheckExecutor;
class MailTransport;
class HistoryStore;

// The files, in the working directory unless a test says otherwise.
struct WorkingFiles {
    QString conf = QStringLiteral("conf.ini");
    QString targets = QStringLiteral("kanshi.ini");
    QString log = QStringLiteral("pelmora.log"); // read by 履歴; written by the program's log
    QString smtp = QStringLiteral("smtp.ini");
};

struct Services {
    SharedState& state;
    MessageBoxes& boxes;
    EchoEngine& engine;
    NoticeSender& mail;
    // The start-up steps; false when the program must end (the operator was told).
    std::function<bool()> start_up;
    WorkingFiles files;
    CheckExecutor* executor = nullptr;  // where sweeps and mail block; none: in the call
    MailTransport* transport = nullptr; // for test mails; none: no テスト送信
    HistoryStore* history = nullptr;    // the checks kept; none: no figures and empty graphs
};

class Application {
  public:
    explicit Application(Services services);
    ~Application();

    // Start-up; false when the program must end (the operator was told why).
    bool start();

    MainWindow& main_window() { return *main_; }
    const Services& services() const { return s_; }
    SingleWindow& settings_window() { return settings_window_; }
    SingleWindow& target_editor() { return target_editor_; }
    SingleWindow& mail_settings() { return mail_settings_; }
    // メール送信設定: locked, like the other settings, while delivery is stopped.
    void open_mail_settings();
    bool checking() const { return cycle_.checking(); }
    MonitorMenu& menu() { return *menu_; }
    SingleWindow& status_window() { return status_window_; }
    SingleWindow& history_window() { return history_window_; }
    SingleWindow& graph_window() { return graph_window_; }

    // The graph of record index (from 0); -1: the device current in 監視状況,
    // else the first.
    void open_graph(int index = -1);

    // 今すぐ監視: a check now, as a timed one; nothing while one runs. The
    // minute starts anew with it, so the next timed check is a whole
    // interval away.
    void check_now();

    // The target editor showing record index (from 0), when it may open.
    void open_editor_at(int index);

    // The handlers of the main window's timer and commands.
    void Timer1_Timer();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

  private:
    Services s_;
    std::unique_ptr<MainWindow> main_;
    SingleWindow settings_window_;
    SingleWindow target_editor_;
    SingleWindow mail_settings_;
    MonitoringCycle cycle_;
    SingleWindow status_window_;
    SingleWindow history_window_;
    SingleWindow graph_window_;
    std::unique_ptr<MonitorMenu> menu_;
};
