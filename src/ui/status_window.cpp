#include "ui/status_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "core/shared_state.h"
#include "targets/status_rows.h"

namespace {

constexpr int kSortRole = Qt::UserRole + 1;

QStandardItem* cell(const QString& text, const QVariant& sort_by) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(sort_by, kSortRole);
    return item;
}

} // namespace

StatusWindow::StatusWindow(SharedState& state) : state_(state) {
    setObjectName(QStringLiteral("status"));
    setWindowTitle(QStringLiteral("監視状況"));
    resize(760, 420);

    auto* layout = new QVBoxLayout(this);
    auto* times = new QHBoxLayout;
    last_check = new QLabel(this);
    next_check = new QLabel(this);
    checking = new QLabel(QStringLiteral("監視中…"), this);
    checking->setStyleSheet(QStringLiteral("color: #0050c0; font-weight: bold"));
    times->addWidget(last_check);
    times->addWidget(next_check);
    times->addWidget(checking);
    times->addStretch();
    layout->addLayout(times);
    log_problem = new QLabel(this);
    log_problem->setStyleSheet(QStringLiteral("color: #c00000"));
    log_problem->setWordWrap(true);
    layout->addWidget(log_problem);
    filter = new QLineEdit(this);
    filter->setPlaceholderText(QStringLiteral("絞り込み"));
    filter->setClearButtonEnabled(true);
    layout->addWidget(filter);

    model = new QStandardItemModel(0, kStatusColumns, this);
    model->setHorizontalHeaderLabels(status_header());
    shown = new QSortFilterProxyModel(this);
    shown->setSourceModel(model);
    shown->setSortRole(kSortRole);
    shown->setFilterKeyColumn(-1);
    shown->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table = new QTableView(this);
    table->setModel(shown);
    table->setSortingEnabled(true);
    table->sortByColumn(kNumberColumn, Qt::AscendingOrder);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    table->installEventFilter(this);

    connect(filter, &QLineEdit::textChanged, shown, &QSortFilterProxyModel::setFilterFixedString);
    connect(table, &QTableView::doubleClicked, this, [this](const QModelIndex& at) {
        const int number = shown->data(shown->index(at.row(), kNumberColumn), kSortRole).toInt();
        if (on_open_record)
            on_open_record(number - 1);
    });

    events_listener_ = state_.events.listen([this](const MonitorEvent& event) {
        if (event.kind == EventKind::CheckBegun)
            show_times();
        else if (event.kind == EventKind::Check || event.kind == EventKind::TargetsSaved)
            fill();
    });
    monitor_listener_ = state_.monitor.listen([this](MonitorField field) {
        // the editor closing announces the count: the list may have changed
        if (field == MonitorField::AnnouncedTargets)
            fill();
        else if (field == MonitorField::ElapsedMinutes || field == MonitorField::IntervalInUse)
            show_times();
    });
    fill();
    table->resizeColumnsToContents();
}

StatusWindow::~StatusWindow() {
    state_.events.unlisten(events_listener_);
    state_.monitor.unlisten(monitor_listener_);
}

void StatusWindow::fill() {
    model->removeRows(0, model->rowCount());
    for (const QStringList& row : status_rows(state_.targets, state_.status)) {
        QList<QStandardItem*> items;
        for (int c = 0; c < kStatusColumns; ++c) {
            QVariant sort_by = row[c];
            if (c == kNumberColumn)
                sort_by = row[c].toInt();
            else if (c == kRttColumn)
                sort_by = row[c].isEmpty() ? 1e12 : row[c].toDouble(); // unknown last
            items << cell(row[c], sort_by);
        }
        model->appendRow(items);
    }
    show_times();
}

void StatusWindow::show_times() {
    const TargetStatusTable& s = state_.status;
    last_check->setText(
        s.last_started.isValid()
            ? QStringLiteral("前回の監視：%1（%2秒）")
                  .arg(s.last_started.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")))
                  .arg(QString::number(s.last_duration_ms / 1000.0, 'f', 1))
            : QStringLiteral("前回の監視：まだありません"));
    const MonitorState& m = state_.monitor;
    const long long left = std::max<long long>(1, m.interval_in_use() - m.elapsed_minutes());
    next_check->setText(QStringLiteral("次回の監視：%1頃")
                            .arg(QDateTime::currentDateTime().addSecs(left * 60).toString(
                                QStringLiteral("HH:mm"))));
    checking->setVisible(s.checking);
    log_problem->setText(state_.events.log_problem());
    log_problem->setVisible(!state_.events.log_problem().isEmpty());
}

QString StatusWindow::copied_text() const {
    QList<int> rows;
    for (const QModelIndex& index : table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        for (int r = 0; r < shown->rowCount(); ++r)
            rows << r;
    std::vector<QStringList> lines;
    for (int r : rows) {
        QStringList line;
        for (int c = 0; c < kStatusColumns; ++c)
            line << shown->index(r, c).data().toString();
        lines.push_back(line);
    }
    return rows_as_tsv(lines);
}

// The table would copy only its current cell.
bool StatusWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(copied_text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
