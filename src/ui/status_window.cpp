#include "ui/status_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/check_executor.h"
#include "core/shared_state.h"
#include "history/history_store.h"

namespace {

constexpr int kSortRole = Qt::UserRole + 1;

QStandardItem* cell(const QString& text, const QVariant& sort_by) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(sort_by, kSortRole);
    return item;
}

// Numbers sort as numbers; an empty cell (no sort value) comes last in
// either direction.
class EmptyLastProxy : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

  protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const QVariant a = left.data(sortRole());
        const QVariant b = right.data(sortRole());
        if (!a.isValid() || !b.isValid()) {
            if (a.isValid() == b.isValid())
                return false;
            return a.isValid() == (sortOrder() == Qt::AscendingOrder);
        }
        return QSortFilterProxyModel::lessThan(left, right);
    }
};

QVariant number_or_none(const QString& text) {
    if (text.isEmpty())
        return {};
    QString digits = text;
    digits.remove(QLatin1Char('%'));
    return digits.toDouble();
}

} // namespace

StatusWindow::StatusWindow(SharedState& state, HistoryStore* history, CheckExecutor* executor)
    : state_(state), history_(history), executor_(executor) {
    setObjectName(QStringLiteral("status"));
    setWindowTitle(QStringLiteral("監視状況"));
    resize(1000, 420);

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
    shown = new EmptyLastProxy(this);
    shown->setSourceModel(model);
    shown->setSortRole(kSortRole);
    shown->setFilterKeyColumn(-1);
    shown->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table = new QTableView(this);
    table->setModel(shown);
    table->setSortingEnabled(true);
    table->sortByColumn(kStateColumn, Qt::AscendingOrder); // down first
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    table->installEventFilter(this);
    filter->installEventFilter(this);

    connect(filter, &QLineEdit::textChanged, shown, &QSortFilterProxyModel::setFilterFixedString);
    connect(table, &QTableView::doubleClicked, this, [this](const QModelIndex& at) {
        const int number = shown->data(shown->index(at.row(), kNumberColumn), kSortRole).toInt();
        if (on_open_record)
            on_open_record(number - 1);
    });
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = table->indexAt(at);
        if (!index.isValid())
            return;
        const int record =
            shown->data(shown->index(index.row(), kNumberColumn), kSortRole).toInt() - 1;
        QMenu menu(this);
        connect(menu.addAction(QStringLiteral("グラフ…")), &QAction::triggered, this,
                [this, record] {
                    if (on_open_graph)
                        on_open_graph(record);
                });
        menu.exec(table->viewport()->mapToGlobal(at));
    });

    events_listener_ = state_.events.listen([this](const MonitorEvent& event) {
        if (event.kind == EventKind::CheckBegun)
            show_times();
        else if (event.kind == EventKind::Check || event.kind == EventKind::TargetsSaved)
            fill();
        // the figures include a check once it is kept, which may be after its line
        if (event.kind == EventKind::CheckKept)
            read_figures();
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
    read_figures();
}

void StatusWindow::read_figures() {
    if (!history_)
        return;
    QPointer<StatusWindow> self(this);
    auto done = [self](std::vector<DeviceFigures> figures) {
        if (!self)
            return;
        self->figures_.clear();
        for (const DeviceFigures& f : figures)
            self->figures_.insert(f.address, StatusFigures{f.availability_24h, f.availability_30d,
                                                           f.mean_rtt_ms_24h});
        self->fill();
    };
    auto work = [history = history_] {
        return history->figures(QDateTime::currentSecsSinceEpoch());
    };
    if (executor_)
        executor_->run(std::move(work), std::move(done));
    else
        done(work());
}

int StatusWindow::current_record() const {
    const QModelIndex at = table->currentIndex();
    if (!at.isValid())
        return -1;
    return shown->data(shown->index(at.row(), kNumberColumn), kSortRole).toInt() - 1;
}

StatusWindow::~StatusWindow() {
    state_.events.unlisten(events_listener_);
    state_.monitor.unlisten(monitor_listener_);
}

void StatusWindow::fill() {
    model->removeRows(0, model->rowCount());
    const std::vector<QStringList> rows = status_rows(state_.targets, state_.status, figures_);
    for (const QStringList& row : rows) {
        const int rank = down_first_rank(row[kStateColumn]);
        QList<QStandardItem*> items;
        for (int c = 0; c < kStatusColumns; ++c) {
            QVariant sort_by = row[c];
            if (c == kNumberColumn)
                sort_by = row[c].toInt();
            else if (c == kStateColumn) // in list order within a state
                sort_by = rank * 100000 + row[kNumberColumn].toInt();
            else if (c == kRttColumn || c >= kAvailability24hColumn)
                sort_by = number_or_none(row[c]); // unknown last
            QStandardItem* item = cell(row[c], sort_by);
            if (row[kStateColumn] == target_state_text(TargetState::Silent)) {
                item->setBackground(QColor(255, 205, 205));
                item->setForeground(QColor(176, 0, 0));
            } else if (row[kStateColumn] == target_state_text(TargetState::NotMonitored)) {
                item->setForeground(QColor(128, 128, 128));
            }
            items << item;
        }
        model->appendRow(items);
    }
    setWindowTitle(state_.status.last_started.isValid()
                       ? QStringLiteral("監視状況（応答なし %1）").arg(rows_down(rows))
                       : QStringLiteral("監視状況"));
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
    // a running check sets the count to 0 when it ends
    const long long elapsed = s.checking ? 0 : m.elapsed_minutes();
    const long long left = std::max<long long>(1, m.interval_in_use() - elapsed);
    const int to_next_minute = ms_to_next_minute ? ms_to_next_minute() : -1;
    const QDateTime now = QDateTime::currentDateTime();
    next_check->setText(to_next_minute < 0
                            ? QStringLiteral("次回の監視：%1頃")
                                  .arg(now.addSecs(left * 60).toString(QStringLiteral("HH:mm")))
                            : QStringLiteral("次回の監視：%1")
                                  .arg(now.addMSecs(to_next_minute + (left - 1) * 60000)
                                           .toString(QStringLiteral("HH:mm:ss"))));
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

// The table would copy only its current cell, the filter box only its
// selection (nothing at all when none).
bool StatusWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && current_record() >= 0) {
            if (on_open_graph)
                on_open_graph(current_record());
            return true;
        }
    }
    const bool rows_wanted = watched == table || (watched == filter && !filter->hasSelectedText());
    if (rows_wanted && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(copied_text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
