#include "ui/history_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMap>
#include <QSignalBlocker>
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
                        EventKind::TargetsSaved, EventKind::DeviceDown, EventKind::DeviceUp,
                        EventKind::DeviceUnmonitored, EventKind::History})
        kind->addItem(event_kind_name(k), event_kind_name(k));
    device = new QComboBox(this);
    device->setObjectName(QStringLiteral("device"));
    device->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    device->addItem(QStringLiteral("すべての機器"));
    auto* filters = new QHBoxLayout;
    filters->addWidget(kind);
    filters->addWidget(device);
    filters->addStretch();
    layout->addLayout(filters);
    table = new QTableWidget(0, 3, this);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("時刻"), QStringLiteral("種類"), QStringLiteral("内容")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);

    connect(kind, &QComboBox::currentIndexChanged, this, [this] { fill(); });
    connect(device, &QComboBox::currentIndexChanged, this, [this] { fill(); });
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

void HistoryWindow::list_devices(const std::vector<MonitorEvent>& events) {
    QMap<QString, QString> named; // address -> its newest name
    for (const MonitorEvent& event : events)
        if (const QString address = detail_address(event.detail);
            !address.isEmpty() && !named.contains(address))
            named.insert(address, event.detail.section(QLatin1String(" name="), 1)
                                      .section(QLatin1String(" down_for="), 0, 0));
    const QString chosen = device->currentData().toString();
    const QSignalBlocker quiet(device);
    while (device->count() > 1)
        device->removeItem(1);
    for (auto it = named.cbegin(); it != named.cend(); ++it)
        device->addItem(it.key() + QLatin1Char(' ') + it.value(), it.key());
    if (!chosen.isEmpty() && device->findData(chosen) < 0)
        device->addItem(chosen, chosen); // still chosen, though gone from the recent events
    device->setCurrentIndex(std::max(0, device->findData(chosen)));
}

void HistoryWindow::fill() {
    const QString wanted = kind->currentData().toString();
    const std::vector<MonitorEvent> events = read_recent_events(log_path_, kShown);
    list_devices(events);
    const QString address = device->currentData().toString();
    table->setRowCount(0);
    for (const MonitorEvent& event : events) {
        const QString name = event_kind_name(event.kind);
        if (!wanted.isEmpty() && name != wanted)
            continue;
        if (!address.isEmpty() && detail_address(event.detail) != address)
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(iso_local_time(event.time)));
        table->setItem(row, 1, new QTableWidgetItem(name));
        table->setItem(row, 2, new QTableWidgetItem(event.detail));
    }
}
