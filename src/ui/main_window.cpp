#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPalette>

#include "core/app_title.h"
#include "core/shared_state.h"
#include "ui/controls.h"
#include "ui/display_texts.h"
#include "ui/program_end.h"
#include "ui/twips.h"

namespace {

QLabel* boxed_number(QWidget* parent, const char* name, QRect place) {
    QLabel* l = make_label(parent, name, QString(), place);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMargin(1);
    return l;
}

} // namespace

MainWindow::MainWindow(SharedState& state) : state_(state) {
    setObjectName(QStringLiteral("Pelmora"));
    setWindowTitle(app_title());
    setFixedSize(twips(2970), twips(2730)); // about 198 x 182

    Label1 = make_label(this, "Label1", QStringLiteral("監視タイミング（分）"),
                        twips_rect(120, 120, 1695, 255));
    Label7 = boxed_number(this, "Label7", twips_rect(120, 360, 1215, 375));
    Label2 = make_label(this, "Label2", QStringLiteral("監視経過時間（分）"),
                        twips_rect(120, 840, 1695, 255));
    Label6 = boxed_number(this, "Label6", twips_rect(120, 1080, 1215, 375));
    Command1 =
        make_button(this, "Command1", QStringLiteral("終了(&E)"), twips_rect(120, 1560, 1215, 495));
    Command3 = make_button(this, "Command3", QStringLiteral("環境設定(&S)"),
                           twips_rect(1680, 120, 1215, 495));
    Command4 = make_button(this, "Command4", QStringLiteral("監視設定(&I)"),
                           twips_rect(1680, 720, 1215, 495));
    Yokusi_view = make_label(this, "Yokusi_view", QString(), twips_rect(1440, 1560, 1455, 255));
    Command2 = make_button(this, "Command2", QStringLiteral("停止解除(&R)"),
                           twips_rect(1680, 1800, 1215, 495));
    Command2->setEnabled(false);
    Label5 =
        make_label(this, "Label5", QStringLiteral("(Ver.2.04)"), twips_rect(0, 2160, 735, 255));
    Label4 =
        make_label(this, "Label4", QStringLiteral("ICMP監視"), twips_rect(900, 2160, 600, 165));
    QFont small = Label4->font();
    small.setPixelSize(9);
    Label4->setFont(small);
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(twips(0), twips(2400) - 1, twips(3000), 2);
    Label3 = make_label(this, "Label3", QString(), twips_rect(120, 2520, 2820, 180));

    // Tab order follows the creation order of the buttons.
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command2);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60000);
    Timer1->setTimerType(
        Qt::PreciseTimer); // a minute is a minute: the interval is counted in ticks
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (on_Timer1)
            on_Timer1();
    });

    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, [this] {
        if (on_Command2)
            on_Command2();
    });
    connect(Command3, &QPushButton::clicked, this, [this] {
        if (on_Command3)
            on_Command3();
    });
    connect(Command4, &QPushButton::clicked, this, [this] {
        if (on_Command4)
            on_Command4();
    });
    Command3->installEventFilter(this);

    setAutoFillBackground(true);
    show_normal();
    listener_ = state_.monitor.listen([this](MonitorField field) { show_field(field); });
}

MainWindow::~MainWindow() {
    state_.monitor.unlisten(listener_);
}

void MainWindow::show_field(MonitorField field) {
    const MonitorState& m = state_.monitor;
    switch (field) {
    case MonitorField::ElapsedMinutes:
        Label6->setText(QString::number(m.elapsed_minutes()));
        break;
    case MonitorField::IntervalInUse:
        Label7->setText(QString::number(m.interval_in_use()));
        break;
    case MonitorField::NoticesInARow:
        Yokusi_view->setText(notices_in_a_row_text(m.notices_in_a_row()));
        break;
    case MonitorField::DeliveryStopped:
        if (m.delivery_stopped())
            show_stopped();
        else
            show_normal();
        break;
    case MonitorField::AnnouncedTargets:
        Label3->setText(monitored_targets_text(m.announced_targets()));
        break;
    }
}

void MainWindow::set_background(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

void MainWindow::show_stopped() {
    Command2->setEnabled(true);
    Command3->setEnabled(false);
    Command4->setEnabled(false);
    set_background(QColor(255, 0, 0));
}

void MainWindow::show_normal() {
    Command2->setEnabled(false);
    Command3->setEnabled(true);
    Command4->setEnabled(true);
    set_background(QApplication::palette().color(QPalette::Button));
}

void MainWindow::Command1_Click() {
    end_program();
}

void MainWindow::Command3_GotFocus() {
    // A new interval from the settings window takes effect here, when the
    // operator comes back to the main window.
    state_.monitor.set_interval_in_use(state_.settings.interval_minutes);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Command3 && event->type() == QEvent::FocusIn)
        Command3_GotFocus();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing through the frame ends the program like the exit button.
    event->accept();
    end_program();
}
