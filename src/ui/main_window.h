#pragma once
// The main window "Pelmora": the labels that show the monitoring state, the
// four commands and the one-minute timer. The state lives in MonitorState; the
// window listens to it and shows each change as it happens. Behaviour lives in
// the handlers given by the application; the window only shows and forwards.
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "core/monitor_state.h"

struct SharedState;

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(SharedState& state);
    ~MainWindow() override;

    // Whether the stop display is on: red, 停止解除 enabled, the other two locked.
    bool shows_delivery_stop() const { return release_button->isEnabled(); }

    // Handlers the application plugs in.
    std::function<void()> on_minute;
    std::function<void()> on_release;
    std::function<void()> on_open_settings;
    std::function<void()> on_open_editor;

    void Command1_Click();
    void refresh_interval_in_use();

    QLabel* interval_caption;
    QLabel* interval_in_use;
    QLabel* elapsed_caption;
    QLabel* elapsed_minutes;
    QPushButton* exit_button;
    QLabel* notices_in_a_row;
    QPushButton* release_button;
    QPushButton* settings_button;
    QPushButton* editor_button;
    QLabel* version_label;
    QLabel* icmp_caption;
    QFrame* separator;
    QLabel* target_count;
    QTimer* minute_timer;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void show_field(MonitorField field);
    void show_stopped();
    void show_normal();
    void set_background(const QColor& color);

    SharedState& state_;
    int listener_ = 0;
};
