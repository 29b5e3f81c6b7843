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

    interval_caption = make_label(this, "Label1", QStringLiteral("監視タイミング（分）"),
                                  twips_rect(120, 120, 1695, 255));
    interval_in_use = boxed_number(this, "Label7", twips_rect(120, 360, 1215, 375));
    elapsed_caption = make_label(this, "Label2", QStringLiteral("監視経過時間（分）"),
                                 twips_rect(120, 840, 1695, 255));
    elapsed_minutes = boxed_number(this, "Label6", twips_rect(120, 1080, 1215, 375));
    exit_button =
        make_button(this, "Command1", QStringLiteral("終了(&E)"), twips_rect(120, 1560, 1215, 495));
    settings_button = make_button(this, "Command3", QStringLiteral("環境設定(&S)"),
                                  twips_rect(1680, 120, 1215, 495));
    editor_button = make_button(this, "Command4", QStringLiteral("監視設定(&I)"),
                                twips_rect(1680, 720, 1215, 495));
    notices_in_a_row =
        make_label(this, "Yokusi_view", QString(), twips_rect(1440, 1560, 1455, 255));
    release_button = make_button(this, "Command2", QStringLiteral("停止解除(&R)"),
                                 twips_rect(1680, 1800, 1215, 495));
    release_button->setEnabled(false);
    version_label =
        make_label(this, "Label5", QStringLiteral("(Ver.2.04)"), twips_rect(0, 2160, 735, 255));
    icmp_caption =
        make_label(this, "Label4", QStringLiteral("ICMP監視"), twips_rect(900, 2160, 600, 165));
    QFont small = icmp_caption->font();
    small.setPixelSize(9);
    icmp_caption->setFont(small);
    separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("Line1"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(twips(0), twips(2400) - 1, twips(3000), 2);
    target_count = make_label(this, "Label3", QString(), twips_rect(120, 2520, 2820, 180));

    // Tab order follows the creation order of the buttons.
    setTabOrder(exit_button, settings_button);
    setTabOrder(settings_button, editor_button);
    setTabOrder(editor_button, release_button);

    minute_timer = new QTimer(this);
    minute_timer->setObjectName(QStringLiteral("Timer1"));
    minute_timer->setInterval(60000);
    minute_timer->setTimerType(
        Qt::PreciseTimer); // a minute is a minute: the interval is counted in ticks
    connect(minute_timer, &QTimer::timeout, this, [this] {
        if (on_minute)
            on_minute();
    });

    connect(exit_button, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(release_button, &QPushButton::clicked, this, [this] {
        if (on_release)
            on_release();
    });
    connect(settings_button, &QPushButton::clicked, this, [this] {
        if (on_open_settings)
            on_open_settings();
    });
    connect(editor_button, &QPushButton::clicked, this, [this] {
        if (on_open_editor)
            on_open_editor();
    });
    settings_button->installEventFilter(this);

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
        elapsed_minutes->setText(QString::number(m.elapsed_minutes()));
        break;
    case MonitorField::IntervalInUse:
        interval_in_use->setText(QString::number(m.interval_in_use()));
        break;
    case MonitorField::NoticesInARow:
        notices_in_a_row->setText(notices_in_a_row_text(m.notices_in_a_row()));
        break;
    case MonitorField::DeliveryStopped:
        if (m.delivery_stopped())
            show_stopped();
        else
            show_normal();
        break;
    case MonitorField::AnnouncedTargets:
        target_count->setText(monitored_targets_text(m.announced_targets()));
        break;
    }
}

void MainWindow::set_background(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

void MainWindow::show_stopped() {
    release_button->setEnabled(true);
    settings_button->setEnabled(false);
    editor_button->setEnabled(false);
    set_background(QColor(255, 0, 0));
}

void MainWindow::show_normal() {
    release_button->setEnabled(false);
    settings_button->setEnabled(true);
    editor_button->setEnabled(true);
    set_background(QApplication::palette().color(QPalette::Button));
}

void MainWindow::Command1_Click() {
    end_program();
}

void MainWindow::refresh_interval_in_use() {
    // A new interval from the settings window takes effect here, when the
    // operator comes back to the main window.
    state_.monitor.set_interval_in_use(state_.settings.interval_minutes);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == settings_button && event->type() == QEvent::FocusIn)
        refresh_interval_in_use();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing through the frame ends the program like the exit button.
    event->accept();
    end_program();
}
