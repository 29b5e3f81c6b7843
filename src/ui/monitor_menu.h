#pragma once
// The menu of the extra views: on a right click in the main window and on the
// tray icon where the desktop has a tray. Its shortcuts work whenever the
// main window has the focus. The main window's own controls stay as they are:
// the actions only hang on the window.
#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

struct SharedState;
class MainWindow;

struct MenuHandlers {
    std::function<void()> status;
    std::function<void()> history;
    std::function<void()> check_now;
    std::function<void()> graph;
};

class MonitorMenu : public QObject {
    Q_OBJECT
  public:
    MonitorMenu(MainWindow& window, SharedState& state, MenuHandlers handlers);
    ~MonitorMenu() override;

    // Plugged in by whoever brings the mail-server window; the item is
    // disabled while there is none.
    void set_mail_settings(std::function<void()> open);

    QMenu* menu() { return menu_.get(); }
    QSystemTrayIcon* tray() { return tray_; } // nothing where there is no tray

    QAction* status_action;
    QAction* history_action;
    QAction* graph_action;
    QAction* mail_settings_action;
    QAction* check_now_action;

    // "3拠点監視中", then the last check's time and how many did not answer.
    QString tray_tip() const;

  private:
    void follow_state();

    MainWindow& window_;
    SharedState& state_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* tray_ = nullptr;
    std::function<void()> mail_settings_;
    QString last_check_;
    int monitor_listener_ = 0;
    int events_listener_ = 0;
};
