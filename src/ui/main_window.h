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
    bool shows_delivery_stop() const { return Command2->isEnabled(); }

    // Handlers the application plugs in.
    std::function<void()> on_Timer1;
    std::function<void()> on_Command2;
    std::function<void()> on_Command3;
    std::function<void()> on_Command4;

    void Command1_Click();
    void Command3_GotFocus();

    QLabel* Label1;
    QLabel* Label7;
    QLabel* Label2;
    QLabel* Label6;
    QPushButton* Command1;
    QLabel* Yokusi_view;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QLabel* Label5;
    QLabel* Label4;
    QFrame* Line1;
    QLabel* Label3;
    QTimer* Timer1;

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
