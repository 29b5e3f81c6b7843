#pragma once
// The main window "Pelmora": the labels that show and hold the monitoring
// state, the four commands and the one-minute timer. Behaviour lives in the
// handlers given by the application; the window only shows and forwards.
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "core/monitor_display.h"

struct SharedState;

class MainWindow : public QWidget, public MonitorDisplay {
    Q_OBJECT
  public:
    explicit MainWindow(SharedState& state);

    // MonitorDisplay: the controls are the state.
    QString Label6_text() const override { return Label6->text(); }
    void set_Label6(const QString& text) override { Label6->setText(text); }
    QString Label7_text() const override { return Label7->text(); }
    void set_Label7(const QString& text) override { Label7->setText(text); }
    void set_Yokusi_view(const QString& text) override { Yokusi_view->setText(text); }
    void set_Label3(const QString& text) override { Label3->setText(text); }
    bool Command2_enabled() const override { return Command2->isEnabled(); }
    void show_stopped() override;
    void show_normal() override;

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
    void set_background(const QColor& color);

    SharedState& state_;
};
