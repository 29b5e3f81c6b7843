#include "ui/monitor_menu.h"

#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>

#include "core/shared_state.h"
#include "ui/main_window.h"

namespace {

QIcon dot_icon(const QColor& color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(3, 3, 26, 26);
    return QIcon(pixmap);
}

QAction* add_action(QObject* owner, QWidget* window, const QString& text, Qt::Key key,
                    std::function<void()> run) {
    auto* action = new QAction(text, owner);
    if (key != Qt::Key{})
        action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, owner, [run = std::move(run)] {
        if (run)
            run();
    });
    window->addAction(action);
    return action;
}

} // namespace

MonitorMenu::MonitorMenu(MainWindow& window, SharedState& state, MenuHandlers handlers)
    : window_(window), state_(state), menu_(std::make_unique<QMenu>()) {
    status_action = add_action(this, &window, QStringLiteral("監視状況(&M)…"), Qt::Key_F2,
                               std::move(handlers.status));
    history_action = add_action(this, &window, QStringLiteral("履歴(&H)…"), Qt::Key_F3,
                                std::move(handlers.history));
    graph_action = add_action(this, &window, QStringLiteral("グラフ(&G)…"), Qt::Key{},
                              std::move(handlers.graph));
    mail_settings_action =
        add_action(this, &window, QStringLiteral("メール送信設定(&P)…"), Qt::Key_F4, [this] {
            if (mail_settings_)
                mail_settings_();
        });
    mail_settings_action->setEnabled(false);
    check_now_action = add_action(this, &window, QStringLiteral("今すぐ監視(&C)"), Qt::Key_F5,
                                  std::move(handlers.check_now));
    menu_->addAction(status_action);
    menu_->addAction(history_action);
    menu_->addAction(graph_action);
    menu_->addAction(mail_settings_action);
    menu_->addSeparator();
    menu_->addAction(check_now_action);

    window.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&window, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(window_.mapToGlobal(at)); });

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(this);
        tray_->setContextMenu(menu_.get());
        tray_->show();
    }
    follow_state();
}

MonitorMenu::~MonitorMenu() {
    state_.monitor.unlisten(monitor_listener_);
    state_.events.unlisten(events_listener_);
}

void MonitorMenu::set_mail_settings(std::function<void()> open) {
    mail_settings_ = std::move(open);
    mail_settings_action->setEnabled(static_cast<bool>(mail_settings_));
}

QString MonitorMenu::tray_tip() const {
    QString tip = QStringLiteral("%1拠点監視中").arg(state_.monitor.announced_targets());
    if (!last_check_.isEmpty())
        tip += QLatin1Char('\n') + last_check_;
    return tip;
}

void MonitorMenu::follow_state() {
    auto refresh = [this] {
        if (!tray_)
            return;
        tray_->setIcon(
            dot_icon(state_.monitor.delivery_stopped() ? QColor(255, 0, 0) : QColor(0, 160, 0)));
        tray_->setToolTip(tray_tip());
    };
    monitor_listener_ = state_.monitor.listen([refresh](MonitorField field) {
        if (field == MonitorField::DeliveryStopped || field == MonitorField::AnnouncedTargets)
            refresh();
    });
    events_listener_ = state_.events.listen([this, refresh](const MonitorEvent& event) {
        if (event.kind != EventKind::Check)
            return;
        static const QRegularExpression down(QStringLiteral("not_answering=(\\d+)"));
        last_check_ = QStringLiteral("最終監視 %1　応答なし %2")
                          .arg(event.time.toString(QStringLiteral("M/d HH:mm")),
                               down.match(event.detail).captured(1));
        refresh();
    });
    refresh();
}
