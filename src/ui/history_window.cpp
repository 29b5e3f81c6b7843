#include "ui/history_window.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "core/monitor_events.h"

HistoryWindow::HistoryWindow(MonitorEvents& events, QString log_path)
    : events_(events), log_path_(std::move(log_path)) {
    setObjectName(QStringLiteral("history"));
    setWindowTitle(QStringLiteral("履歴"));
    resize(760, 420);

    auto* layout = new QVBoxLayout(this);
    kind = new QComboBox(this);
    kind->addItem(QStringLiteral("すべて"));
    for (EventKind k : {EventKind::Start, EventKind::End, EventKind::Check, EventKind::Notice,
                        EventKind::StopEntered, EventKind::StopLeft, EventKind::SettingsSaved,
                        EventKind::TargetsSaved})
        kind->addItem(event_kind_name(k), event_kind_name(k));
    layout->addWidget(kind);
    table = new QTableWidget(0, 3, this);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("時刻"), QStringLiteral("種類"), QStringLiteral("内容")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);

    connect(kind, &QComboBox::currentIndexChanged, this, [this] { fill(); });
    // the log line is written by an earlier listener of the same event
    listener_ = events_.listen([this](const MonitorEvent& event) {
        if (!event_kind_name(event.kind).isEmpty())
            fill();
    });
    fill();
    table->resizeColumnsToContents();
}

HistoryWindow::~HistoryWindow() {
    events_.unlisten(listener_);
}

void HistoryWindow::fill() {
    const QString wanted = kind->currentData().toString();
    table->setRowCount(0);
    for (const MonitorEvent& event : read_recent_events(log_path_, kShown)) {
        const QString name = event_kind_name(event.kind);
        if (!wanted.isEmpty() && name != wanted)
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(iso_local_time(event.time)));
        table->setItem(row, 1, new QTableWidgetItem(name));
        table->setItem(row, 2, new QTableWidgetItem(event.detail));
    }
}
