// The views beside the three windows: the menu and its shortcuts, 今すぐ監視,
// 監視状況 and 履歴, on the real windows with a scripted engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>
#include <QTest>

#include "app_fixture.h"
#include "history/history_store.h"
#include "platform/event_log_file.h"
#include "targets/status_rows.h"
#include "ui/graph_window.h"
#include "ui/history_window.h"
#include "ui/status_window.h"
#include "ui/target_editor_window.h"

namespace {

void press(QWidget& window, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, key, mods);
}

const QString kStatusHeader =
    QStringLiteral("No.\tアドレス\t機器名\t連絡先\t担当者\t状態\t応答時間(ms)\t状態の開始\t"
                   "稼働率(24時間)\t稼働率(30日)\t平均応答(24時間)\n");

// Target n (1..3) of three_targets() as 監視状況 copies it.
// figures: the last three columns, tab-separated.
QString status_row(int n, const QString& state, const QString& rtt = {}, const QString& since = {},
                   const QString& figures = QStringLiteral("\t\t")) {
    const QChar letter(u'A' + n - 1);
    return QStringLiteral("%1\t10.0.0.%1\t%2\t%1\t%3\t%4\t%5\t%6\t%7\n")
        .arg(QString::number(n), letter, letter.toLower(), state, rtt, since, figures);
}

// One column's texts, top to bottom.
QStringList column_texts(const QAbstractItemModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

QColor cell_color(const QAbstractItemModel& shown, int row, int column, Qt::ItemDataRole role) {
    return shown.index(row, column).data(role).value<QBrush>().color();
}

struct ViewsFixture : AppFixture {
    explicit ViewsFixture(const QByteArray& kanshi = three_targets())
        : AppFixture(kanshi, conf_bytes(5, 3, 64, 3)) {
        engine.reachable = [this](int index, const std::string&) { return index != down; };
        engine.rtt_ms = [](int index) { return 0.25 + index; };
    }
    int down = 1;
    StatusWindow* status() { return qobject_cast<StatusWindow*>(app->status_window().current()); }
};

TEST(Views, MenuItemsShortcutsAndTheMailSettingsHook) {
    ViewsFixture fx;
    MonitorMenu& menu = fx.app->menu();
    QStringList items;
    for (QAction* a : menu.menu()->actions())
        if (!a->isSeparator())
            items << a->text() + QLatin1Char(' ') + a->shortcut().toString();
    EXPECT_EQ(items, (QStringList{"監視状況(&M)… F2", "履歴(&H)… F3", "グラフ(&G)… ",
                                  "メール送信設定(&P)… F4", "今すぐ監視(&C) F5",
                                  "監視対象を読み直す(&L) "}));
    EXPECT_EQ(fx.main().contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_TRUE(menu.mail_settings_action->isEnabled()); // the application plugs its window in
    int opened = 0;
    menu.set_mail_settings([&] { ++opened; });
    press(fx.main(), Qt::Key_F4);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(menu.tray_tip(), QStringLiteral("3拠点監視中"));

    press(fx.main(), Qt::Key_F2);
    ASSERT_TRUE(fx.status());
    EXPECT_EQ(fx.status()->windowTitle(), "監視状況");
    press(fx.main(), Qt::Key_F3);
    ASSERT_TRUE(fx.app->history_window().current());
    EXPECT_EQ(fx.app->history_window().current()->windowTitle(), "履歴");

    // A list written by an import is taken from the menu, not while the editor is open.
    fx.dir.write("kanshi.ini", "10.0.0.9\r\nZ\x81^9\x81^z\r\n 1 \r\n"); // Z／9／z
    fx.app->Command4_Click();
    fx.boxes.clear();
    menu.reload_targets_action->trigger();
    EXPECT_EQ(fx.state.targets.count, 3);
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_TRUE(fx.boxes.last().text.contains("監視設定を閉じて"));
    delete fx.app->target_editor().current();
    menu.reload_targets_action->trigger();
    ASSERT_EQ(fx.state.targets.count, 1);
    EXPECT_EQ(fx.state.targets.records[0].description, "Z／9／z");
    EXPECT_EQ(menu.tray_tip(), QStringLiteral("1拠点監視中"));
}

TEST(Views, CheckNowGivesTheTimedNoticeAndRestartsTheMinuteCount) {
    ViewsFixture timed;
    for (int i = 0; i < 5; ++i)
        timed.app->Timer1_Timer();
    ASSERT_EQ(timed.mail.sent.size(), 1u);

    ViewsFixture now;
    now.app->Timer1_Timer();
    now.app->Timer1_Timer();
    EXPECT_EQ(now.main().elapsed_minutes->text(), "2");
    now.app->status_window().open();
    QTest::qWait(2500); // into the minute: the next tick is less than a minute away
    press(now.main(), Qt::Key_F5);
    // the minute starts with the check, so 次回 is a whole interval away, to the second
    EXPECT_GT(now.main().minute_timer->remainingTime(), 59000);
    const QTime next = QTime::fromString(now.status()->next_check->text().mid(6), "HH:mm:ss");
    EXPECT_LE(std::abs(QTime::currentTime().addSecs(300).secsTo(next)), 1);
    EXPECT_EQ(now.mail.sent, timed.mail.sent);
    EXPECT_EQ(now.main().notices_in_a_row->text(), timed.main().notices_in_a_row->text());
    EXPECT_EQ(now.main().elapsed_minutes->text(), "0");
    for (int i = 0; i < 4; ++i)
        now.app->Timer1_Timer();
    EXPECT_EQ(now.mail.sent.size(), 1u); // five minutes from the check now, not from the start
    now.app->Timer1_Timer();
    EXPECT_EQ(now.mail.sent.size(), 2u);
}

TEST(Views, StatusRowsFollowTheChecksAndCopyAsTabSeparatedText) {
    ViewsFixture fx;
    fx.app->status_window().open();
    StatusWindow* w = fx.status();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->copied_text(), kStatusHeader + status_row(1, "未確認") + status_row(2, "未確認") +
                                    status_row(3, "未確認"));

    // right after opening the focus is in the filter box, which has nothing selected
    QTest::keyClick(w->filter, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), w->copied_text());

    fx.state.targets.records[2].flag = 1;
    fx.app->check_now();
    const QString at = fx.state.status.last_started.toString("yyyy/MM/dd HH:mm:ss");
    // down first in red, not monitored last in grey
    EXPECT_EQ(w->shown->index(0, kNumberColumn).data().toString(), "2");
    EXPECT_EQ(cell_color(*w->shown, 0, kSinceColumn, Qt::BackgroundRole), QColor(255, 205, 205));
    EXPECT_EQ(cell_color(*w->shown, 2, kNumberColumn, Qt::ForegroundRole), QColor(128, 128, 128));
    EXPECT_EQ(w->windowTitle(), "監視状況（応答なし 1）");
    EXPECT_TRUE(fx.app->menu().tray_tip().endsWith("応答なし 1"));
    w->table->sortByColumn(kNumberColumn, Qt::AscendingOrder);
    // the figures follow each check once it is kept
    EXPECT_EQ(w->copied_text(), kStatusHeader +
                                    status_row(1, "応答あり", "0.3", at, "100.0%\t100.0%\t0.3") +
                                    status_row(2, "応答なし", {}, at, "0.0%\t0.0%\t") +
                                    status_row(3, "監視対象外", {}, at));
    EXPECT_FALSE(w->checking->isVisibleTo(w));

    // a later check keeps "since" for an unchanged state and moves it on a change
    QTest::qWait(1100);
    fx.down = 0;
    fx.app->check_now();
    const QString second = fx.state.status.last_started.toString("yyyy/MM/dd HH:mm:ss");
    const QString down_row = status_row(1, "応答なし", {}, second, "50.0%\t50.0%\t0.3");
    EXPECT_EQ(w->copied_text(), kStatusHeader + down_row +
                                    status_row(2, "応答あり", "1.3", second, "50.0%\t50.0%\t1.3") +
                                    status_row(3, "監視対象外", {}, at));
    // the last round trip measured is kept, but not shown for a down row
    EXPECT_EQ(fx.state.status.status_of(fx.state.targets.records[0]).rtt_ms, 0.25);

    // sorted by state, filtered, then the selection alone is copied
    w->table->sortByColumn(kStateColumn, Qt::AscendingOrder);
    w->filter->setText(QStringLiteral("応答"));
    ASSERT_EQ(w->shown->rowCount(), 2);
    w->table->selectRow(0);
    const QString selected = kStatusHeader + down_row;
    for (QWidget* focus : {static_cast<QWidget*>(w->table), static_cast<QWidget*>(w->filter)}) {
        QApplication::clipboard()->clear();
        QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), selected);
    }
    w->filter->selectAll(); // then the filter box copies its own text
    QTest::keyClick(w->filter, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "応答");
}

TEST(Views, DoubleClickOpensTheEditorAtThatRecordUnlessStopped) {
    // hand edits the boxes could not show as stored: a flag 5, three octets,
    // no separators; and a faulty octet in the record opened
    const QByteArray kanshi = "1.2.3\r\nNoSep\r\n 5 \r\n"
                              "10.0.0.2\r\nB/2/b\r\n 0 \r\n"
                              "10.0.0.300\r\nC/3/c\r\n 0 \r\n";
    ViewsFixture fx(kanshi);
    fx.boxes.clear();
    fx.app->status_window().open();
    fx.app->open_editor_at(2);
    auto* editor = qobject_cast<TargetEditorWindow*>(fx.app->target_editor().current());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->shown_index(), 2);
    QTest::qWait(10);
    ASSERT_EQ(fx.boxes.shown.size(), 1u) << "the stored fault of the record shown, once";
    EXPECT_EQ(fx.boxes.shown[0].text, "1～255の値で設定してください");
    editor->deleteLater();
    fx.boxes.answers.push_back(BoxAnswer::Yes);
    editor->close();
    QTest::qWait(10);
    EXPECT_EQ(fx.dir.read("kanshi.ini"), kanshi) << "no record stored on the way";

    fx.state.monitor.set_delivery_stopped(true);
    fx.app->open_editor_at(1);
    EXPECT_FALSE(fx.app->target_editor().current());
}

TEST(Views, FiguresSortNumericallyAndEnterOpensTheGraphFromTheStore) {
    ViewsFixture fx;
    HistoryStore* store = fx.app->services().history;
    ASSERT_TRUE(store);
    // a day of checks every ten minutes: 10.0.0.1 answers every other one,
    // 10.0.0.2 every one and slower; 10.0.0.3 was never kept
    const QDateTime now = QDateTime::currentDateTime();
    for (int k = 143; k >= 1; --k) {
        const std::optional<qint64> rtt = k % 2 ? std::nullopt : std::optional<qint64>(2000);
        CheckRecord check{now.addSecs(-600 * k), 200, 2, k % 2, {}, {}};
        check.samples = {{"10.0.0.1", "A", bool(rtt), rtt}, {"10.0.0.2", "B", true, 12500}};
        const QString why = store->keep(check);
        if (!why.isEmpty())
            GTEST_SKIP() << "the history store keeps nothing: " << why.toStdString();
    }
    fx.app->status_window().open();
    StatusWindow* w = fx.status();
    ASSERT_TRUE(w);
    w->table->sortByColumn(kNumberColumn, Qt::AscendingOrder);
    const QStringList day = column_texts(*w->shown, kAvailability24hColumn);
    EXPECT_NEAR(day[0].chopped(1).toDouble(), 49.7, 0.5) << day[0].toStdString();
    EXPECT_EQ(day.mid(1), (QStringList{"100.0%", ""}));
    EXPECT_EQ(column_texts(*w->shown, kMeanRtt24hColumn), (QStringList{"2.0", "12.5", ""}));
    // the device without figures last either way
    for (const auto& [column, order, numbers] :
         {std::tuple{kAvailability24hColumn, Qt::AscendingOrder, "1 2 3"},
          std::tuple{kAvailability24hColumn, Qt::DescendingOrder, "2 1 3"},
          std::tuple{kAvailability30dColumn, Qt::DescendingOrder, "2 1 3"},
          std::tuple{kMeanRtt24hColumn, Qt::DescendingOrder, "2 1 3"},
          std::tuple{kMeanRtt24hColumn, Qt::AscendingOrder, "1 2 3"}}) {
        w->table->sortByColumn(column, order);
        EXPECT_EQ(column_texts(*w->shown, kNumberColumn).join(' '), numbers)
            << column << " " << order;
    }

    // Enter on the second device's row opens its graph, read from the store
    w->table->sortByColumn(kNumberColumn, Qt::AscendingOrder);
    w->table->setCurrentIndex(w->shown->index(1, 0));
    w->table->setFocus();
    QTest::keyClick(w->table, Qt::Key_Return);
    auto* graph = qobject_cast<GraphWindow*>(fx.app->graph_window().current());
    ASSERT_TRUE(graph);
    EXPECT_EQ(graph->device->currentData().toString(), "10.0.0.2");
    EXPECT_FALSE(graph->view->model().points.empty());
    EXPECT_NEAR(*graph->view->model().points.back().median_ms, 12.5, 0.01);
    graph->show_range(GraphRange::Year);
    EXPECT_FALSE(graph->view->model().points.empty());
    graph->show_record(0); // 10.0.0.1: the unanswered checks are marked
    EXPECT_TRUE(std::ranges::any_of(graph->view->model().points, &GraphPoint::lost));
}

TEST(Views, HistoryListsTheLogNewestFirstByKindAndByDevice) {
    ViewsFixture fx;
    EventLogFile log({fx.dir.path("pelmora.log"), kLogRotateBytes, false});
    log.follow(fx.state.events, {});
    fx.app->check_now();
    fx.app->history_window().open();
    auto* w = qobject_cast<HistoryWindow*>(fx.app->history_window().current());
    ASSERT_TRUE(w);
    fx.app->check_now(); // shown as it happens
    fx.down = -1;
    fx.app->check_now();
    const auto column = [w](int c) { return column_texts(*w->table->model(), c); };
    EXPECT_EQ(column(1), (QStringList{"up", "check", "check", "down", "check"}));
    EXPECT_LT(w->table->item(1, 0)->text(), w->table->item(0, 0)->text() + "~");
    ASSERT_EQ(w->device->count(), 2) << "every device, then the one that went down";
    EXPECT_EQ(w->device->itemText(1), "10.0.0.2 B");
    w->device->setCurrentIndex(1);
    EXPECT_EQ(column(2).replaceInStrings(QRegularExpression(" down_for=.+$"), " down_for=…"),
              (QStringList{"address=10.0.0.2 name=B down_for=…", "address=10.0.0.2 name=B"}));
    w->kind->setCurrentIndex(w->kind->findText(QStringLiteral("down")));
    EXPECT_EQ(column(1), QStringList{"down"});
    w->kind->setCurrentIndex(w->kind->findText(QStringLiteral("notice")));
    EXPECT_EQ(w->table->rowCount(), 0); // the recording mailer announces nothing
}

} // namespace
