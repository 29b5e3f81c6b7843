// The program without a display: the real binary with --headless, the real
// echo engine against hosts in test namespaces, a real SMTP server, and the
// operator's signals. A "minute" is shortened with --minute-ms.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <atomic>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "core/cp932.h"
#include "core/mail_security.h"
#include "core/monitor_events.h"
#include "core/notice_texts.h"
#include "history/history_store.h"
#include "settings/smtp_file.h"
#include "support/echo_world.h"
#include "support/mime_decoding.h"
#include "support/net_namespace.h"
#include "support/pelmora_process.h"
#include "support/smtp_test_server.h"
#include "support/work_dir.h"

using namespace std::chrono_literals;

namespace {

struct Mail {
    QStringList to;
    QString subject;
    QString body;
};

std::vector<Mail> mails(const SmtpTestServer& server) {
    std::vector<Mail> out;
    for (const ReceivedMail& m : server.messages()) {
        const MailText text = mail_text(m.data);
        out.push_back({m.rcpt_tos, text.subject, text.body});
    }
    return out;
}

// every start here passes --headless
using Headless = PelmoraProcess;

void expect_sigterm_ends_it_within_two_seconds(Headless& run) {
    QElapsedTimer ending;
    ending.start();
    run.signal(SIGTERM);
    ASSERT_TRUE(run.process.waitForFinished(2000));
    EXPECT_LT(ending.elapsed(), 2000);
    EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process.exitCode(), 0);
}

int exit_code_of(const QStringList& arguments, const TempWorkDir& dir, QString* output = nullptr) {
    const Ran ran = run_once(arguments, dir, 5000);
    if (output)
        *output = QString::fromLocal8Bit(ran.out) + ran.err;
    return ran.code;
}

// A /dev/log of the test's own: a datagram socket, bound over /dev/log in a
// mount namespace of the program's own (on a tmpfs /dev whose other entries
// lead to the real ones). messages(): each as sent, <PRI>TIME pelmora[PID]: TEXT
// It is read all along unless paused (reading): a datagram socket holds only
// a few unread messages (net.unix.max_dgram_qlen), as a stalled journal's does.
struct SyslogSink {
    explicit SyslogSink(const TempWorkDir& dir) {
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        const QByteArray path = QFile::encodeName(dir.path("log.sock"));
        std::memcpy(address.sun_path, path.constData(), path.size());
        ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
             QDir().mkpath(dir.path("olddev")) && ::geteuid() == 0;
        wrapper << dir.root();
    }
    ~SyslogSink() {
        stop = true;
        reader.join();
        ::close(fd);
    }
    QStringList messages() {
        const std::lock_guard guard(lock);
        return got;
    }
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool ok = false;
    std::mutex lock;
    QStringList got;
    std::atomic<bool> stop = false, reading = true;
    std::thread reader{[this] {
        char buffer[4096];
        for (pollfd ready{fd, POLLIN, 0}; !stop; ready.revents = 0)
            if (::poll(&ready, 1, 50) > 0 && reading)
                if (const ssize_t size = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
                    size > 0) {
                    const std::lock_guard guard(lock);
                    got << QString::fromUtf8(buffer, size);
                }
    }};
    QStringList wrapper{
        "unshare",
        "-m",
        "sh",
        "-ec",
        "mount --bind /dev \"$1/olddev\"; mount -t tmpfs tmpfs /dev;"
        " ln -s \"$1\"/olddev/* /dev/; rm -f /dev/log;"
        " touch /dev/log; mount --bind \"$1/log.sock\" /dev/log; shift; exec \"$@\"",
        "sh"};
};

} // namespace

TEST(Headless, OptionsAndStartUpErrors) {
    TempWorkDir dir; // no files
    QString out;
    EXPECT_EQ(exit_code_of({"--help"}, dir, &out), 0);
    EXPECT_TRUE(out.contains("--headless")) << out.toStdString();
    EXPECT_EQ(exit_code_of({"--no-such-option"}, dir, &out), 2);
    EXPECT_TRUE(out.contains("--no-such-option")) << out.toStdString();
    EXPECT_EQ(exit_code_of({"--headless"}, dir, &out), 1);
    EXPECT_TRUE(out.contains("conf.ini")) << out.toStdString();
}

TEST(Headless, MonitorsMailsStopsReleasesReloadsAndEnds) {
    EchoWorld world;
    if (!world.ok())
        GTEST_SKIP() << world.why_not();
    SmtpTestServer smtp;
    TempWorkDir dir;
    // a check every minute, one attempt, delivery stops after one notice
    dir.write("conf.ini", conf_bytes(1, 1, 64, 1, smtp.address().toLatin1()));
    const QString silent_description = QStringLiteral("支店ルータ／06-0000-0000／佐藤");
    dir.write("kanshi.ini",
              *cp932_encode(QString::fromStdString(world.answering_address()) +
                            QStringLiteral("\r\n本社ルータ／03-0000-0000／山田\r\n 0 \r\n") +
                            QString::fromStdString(world.silent_address()) +
                            QStringLiteral("\r\n") + silent_description +
                            QStringLiteral("\r\n 0 \r\n")));

    Headless run(dir, {"--headless", "--minute-ms=300"});
    ASSERT_TRUE(wait_for([&] { return smtp.messages().size() == 1; }))
        << run.error_output().toStdString();
    // The same notice the window would send.
    const Mail first = mails(smtp)[0];
    EXPECT_EQ(first.to, QStringList{"admin@example.com"});
    EXPECT_EQ(first.subject, failure_subject(1));
    EXPECT_EQ(first.body, failure_report_line(1, silent_description).replace(u'\r', "\r\n"));

    // Stopped after one notice: further failing checks mail nothing...
    QThread::msleep(1500);
    EXPECT_EQ(smtp.messages().size(), 1u);
    // ...until the operator releases the stop.
    run.signal(SIGUSR1);
    ASSERT_TRUE(wait_for([&] { return smtp.messages().size() == 2; }));

    // A new recipient, read again on SIGHUP; released again, the next notice goes there.
    QByteArray conf = conf_bytes(1, 1, 64, 1, smtp.address().toLatin1());
    conf.replace("admin@example.com", "night-shift@example.com");
    dir.write("conf.ini", conf);
    for (int i = 0; i < 200; ++i) { // a storm merges into a reload or two
        run.signal(SIGHUP);
        QThread::usleep(500);
    }
    QThread::msleep(200);
    run.signal(SIGUSR1);
    ASSERT_TRUE(wait_for([&] { return smtp.messages().size() == 3; }));
    EXPECT_EQ(mails(smtp)[2].to, QStringList{"night-shift@example.com"});

    expect_sigterm_ends_it_within_two_seconds(run);
    const QString said = run.error_output();
    EXPECT_TRUE(said.contains(QStringLiteral("メール配信を停止しました"))) << said.toStdString();
    EXPECT_LE(said.count(QStringLiteral("読み直しました")), 5) << said.toStdString();
    // the same log as with windows
    QStringList kinds;
    for (const QString& line : QString::fromUtf8(dir.read("pelmora.log")).split('\n'))
        if (const QString kind = line.section('\t', 1, 1);
            !kind.isEmpty() && kind != "check" && (kinds.isEmpty() || kinds.last() != kind))
            kinds << kind;
    // the stop comes with the decision; the notice's line once it went out
    EXPECT_EQ(kinds, (QStringList{"start", "down", "stop", "notice", "resume", "stop", "notice",
                                  "resume", "stop", "notice", "end"}));
}

TEST(Headless, AFolderOfItsOwnIsMadeWithTheSamplesOnFirstStartOnly) {
    TempWorkDir home;
    struct Case {
        QStringList arguments;
        QString folder;
    };
    const Case cases[] = {{{"--headless", "--dir", home.path("a/b")}, home.path("a/b")},
                          {{"--headless", "--user-folder"}, home.path("data/pelmora")}};
    for (const Case& c : cases) {
        for (const bool first : {true, false}) {
            Headless run(home, c.arguments, {{"XDG_DATA_HOME", home.path("data")}});
            ASSERT_TRUE(run.says(QStringLiteral("監視を開始しました"), 5s))
                << run.said.toStdString();
            EXPECT_EQ(run.said.contains(QStringLiteral("サンプル")), first)
                << run.said.toStdString();
            run.signal(SIGTERM);
            run.process.waitForFinished(2000);
        }
        EXPECT_TRUE(QFile::exists(c.folder + "/conf.ini")) << c.folder.toStdString();
        EXPECT_TRUE(QFile::exists(c.folder + "/kanshi.ini")) << c.folder.toStdString();
        EXPECT_EQ(QFile::permissions(c.folder + "/conf.ini"),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }
}

TEST(Headless, EndsAtOnceWhileAMailServerHoldsTheNotice) {
    // The server takes the connection and never greets: the notice would
    // wait the whole 30 s connection time-out.
    SmtpTestServer smtp(SmtpTestServer::Mode::Silent);
    TempWorkDir dir;
    dir.write("conf.ini", conf_bytes(1, 1, 64, 3, smtp.address().toLatin1()));
    // Not an address at all: unreachable without a packet.
    dir.write("kanshi.ini", "999.0.0.1\r\nA\r\n 0 \r\n");

    Headless run(dir, {"--headless", "--minute-ms=200"});
    ASSERT_TRUE(wait_for([&] { return smtp.sessions_opened() == 1; }))
        << run.error_output().toStdString();
    QThread::msleep(500); // minutes pass meanwhile

    expect_sigterm_ends_it_within_two_seconds(run);
    EXPECT_EQ(smtp.sessions_opened(), 1); // checks never overlap
}

// Root in a namespace that grants no datagram socket: pelmora-echo holds the
// raw socket, and once the program has given up every capability a helper
// that died cannot be started again, as under the service. Checks that
// cannot be made end it with status 1, for the service manager to restart.
TEST(Headless, EndsWithStatusOneWhenItsEchoHelperDiedForGood) {
    NetNamespace ns("helper");
    NEED(ns.ok() && ns.run("sysctl -qw net.ipv4.ping_group_range='1 0'"),
         "needs root and iproute2 for a network namespace");
    TempWorkDir dir;
    dir.write("conf.ini", conf_bytes(1, 1, 64, 3, "127.0.0.1:1"));
    dir.write("kanshi.ini", "127.0.0.1\r\nA\r\n 0 \r\n");
    Headless run(dir, {"--headless", "--minute-ms=200"}, {},
                 {"ip", "netns", "exec", QString::fromStdString(ns.name())});
    const auto log = [&] { return QString::fromUtf8(dir.read("pelmora.log")); };
    ASSERT_TRUE(wait_for([&] { return log().contains(" checked=1 "); })) << log().toStdString();
    ASSERT_EQ(::run("pkill",
                    {"-KILL", "-x", "-P", QString::number(run.process.processId()), "pelmora-echo"})
                  .code,
              0);
    ASSERT_TRUE(run.process.waitForFinished(5000));
    EXPECT_EQ(run.process.exitCode(), 1);
    EXPECT_EQ(log().count(" echo=failed "), 3) << log().toStdString();
}

TEST(Headless, ChecksKeepTheirPaceWhileTheMailServerIsSilentAndNoticesFollowInOrder) {
    // The first session stalls (a short minute shortens the mail's time-outs
    // to two seconds), then the server recovers.
    using Mode = SmtpTestServer::Mode;
    for (const auto& [mode, stage] :
         {std::pair{Mode::MuteAfterData, "message-end"}, std::pair{Mode::Silent, "greeting"}}) {
        SCOPED_TRACE(stage);
        SmtpTestServer smtp(mode, 0ms, 1);
        TempWorkDir dir;
        dir.write("conf.ini", conf_bytes(1, 1, 64, 255, smtp.address().toLatin1()));
        dir.write("kanshi.ini", "999.0.0.1\r\nA\r\n 0 \r\n"); // down without a packet
        Headless run(dir, {"--headless", "--minute-ms=250"});
        ASSERT_TRUE(wait_for([&] { return dir.read("pelmora.log").contains("\tstart\t"); }));
        QElapsedTimer running;
        running.start();
        ASSERT_TRUE(wait_for([&] { return !smtp.messages().empty(); }));
        dir.write("kanshi.ini", "127.0.0.1\r\nA\r\n 0 \r\n"); // then a recovery notice
        run.signal(SIGHUP);
        ASSERT_TRUE(wait_for([&] { return mails(smtp).back().subject == recovery_subject(); }));
        QThread::msleep(500);
        expect_sigterm_ends_it_within_two_seconds(run);
        const qint64 intervals = running.elapsed() / 250;

        const std::vector<Mail> got = mails(smtp);
        for (size_t i = 0; i + 1 < got.size(); ++i)
            EXPECT_EQ(got[i].subject, failure_subject(1)) << i;
        const QString log = QString::fromUtf8(dir.read("pelmora.log"));
        EXPECT_GE(log.count(QStringLiteral("\tcheck\t")), intervals * 9 / 10) << intervals;
        EXPECT_EQ(log.count(QStringLiteral("result=failed stage=%1 ").arg(stage)), 1)
            << log.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("result=superseded")));
    }
}

TEST(TestMail, SentWithTheSavedFilesAndExitCodesTellTheOutcome) {
    SmtpTestServer smtp;
    TempWorkDir dir;
    dir.write("conf.ini", conf_bytes(5, 3, 64, 3, smtp.address().toLatin1()));
    QString out;
    EXPECT_EQ(exit_code_of({"--test-mail"}, dir, &out), 0) << out.toStdString();
    ASSERT_EQ(mails(smtp).size(), 1u);
    const Mail mail = mails(smtp).front();
    EXPECT_EQ(mail.subject, QStringLiteral("Pelmora テスト送信"));
    EXPECT_TRUE(mail.body.contains(smtp.address())) << mail.body.toStdString();
    EXPECT_TRUE(mail.body.contains(QStringLiteral("暗号化：なし")));

    // A login is named in the mail, its password never; this server offers
    // no STARTTLS, so the password is not even sent.
    const QByteArray smtp_ini = "0\r\n1\r\nnotices@example.jp\r\nsecret-word\r\n\r\n";
    dir.write("smtp.ini", smtp_ini);
    ASSERT_TRUE(QFile::setPermissions(dir.path("smtp.ini"), QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(exit_code_of({"--test-mail"}, dir, &out), 1);
    EXPECT_TRUE(out.contains("STARTTLS")) << out.toStdString();
    EXPECT_FALSE(out.contains("secret-word"));
    EXPECT_EQ(smtp.auth_commands(), 0);

    dir.write("conf.ini", conf_bytes(5, 3, 64, 3,
                                     QByteArray("127.0.0.1:") +
                                         QByteArray::number(SmtpTestServer::unused_port())));
    dir.write("smtp.ini", "0\r\n1\r\n\r\n\r\n\r\n");
    EXPECT_EQ(exit_code_of({"--test-mail"}, dir, &out), 1);
    EXPECT_TRUE(out.contains(QStringLiteral("ＳＭＴＰサーバーに接続できません")))
        << out.toStdString();
}

TEST(TestMail, SmtpIniOthersCanReadOrWriteEndsEveryModeAndItsPasswordLeavesNoCoreDump) {
    TempWorkDir dir;
    dir.write("conf.ini", conf_bytes());
    dir.write("kanshi.ini", "127.0.0.1\r\nloopback\r\n 0 \r\n");
    dir.write("smtp.ini", "1\r\n1\r\nuser\r\npassword\r\n\r\n");
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    for (const QFile::Permission others :
         {QFile::ReadGroup, QFile::ReadOther, QFile::WriteGroup, QFile::WriteOther})
        for (const QStringList& arguments :
             {QStringList{"--headless"}, QStringList{"--test-mail"}}) {
            ASSERT_TRUE(QFile::setPermissions(dir.path("smtp.ini"), owner | others));
            QString out;
            EXPECT_EQ(exit_code_of(arguments, dir, &out), 1) << arguments.join(' ').toStdString();
            EXPECT_TRUE(out.contains("chmod 600 smtp.ini")) << out.toStdString();
        }
    ASSERT_TRUE(QFile::setPermissions(dir.path("smtp.ini"), owner));
    MailSecurity security;
    ASSERT_TRUE(load_mail_security(security, dir.path("smtp.ini")).ok());
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 0) << "a process holding a password must not dump core";
}

TEST(Headless, DevicesDownAndUpInLogSyslogAndHistoryWhichNeverHoldsMonitoringBack) {
    EchoWorld world;
    if (!world.ok())
        GTEST_SKIP() << world.why_not();
    SmtpTestServer smtp;
    TempWorkDir dir;
    SyslogSink syslog(dir);
    NEED(syslog.ok, "a /dev/log of the test's own needs root and a mount namespace");
    const QString answering = QString::fromStdString(world.answering_address());
    const QString flapping = QString::fromStdString(world.silent_address());
    dir.write("conf.ini", conf_bytes(1, 1, 64, 255, smtp.address().toLatin1()));
    dir.write(
        "kanshi.ini",
        *cp932_encode(answering + QStringLiteral("\r\n本社ルータ／03-0000-0000／山田\r\n 0 \r\n") +
                      flapping + QStringLiteral("\r\n支店ルータ／06-0000-0000／佐藤\r\n 0 \r\n") +
                      QStringLiteral("127.0.0.3\r\n予備／なし／なし\r\n 1 \r\n")));
    ASSERT_TRUE(world.set_silent_answers(true));

    const auto log = [&] { return QString::fromUtf8(dir.read("pelmora.log")); };
    {
        SCOPED_TRACE("in a /dev/log of its own");
        Headless run(dir, {"--headless", "--minute-ms=300"}, {}, syslog.wrapper);
        ASSERT_TRUE(wait_for([&] { return log().count("\tcheck\t") >= 2; }))
            << run.error_output().toStdString();
        ASSERT_TRUE(world.set_silent_answers(false));
        ASSERT_TRUE(wait_for([&] { return log().contains("\tdown\t"); }));
        ASSERT_TRUE(wait_for([&] { return !smtp.messages().empty(); }));
        ASSERT_TRUE(world.set_silent_answers(true));
        ASSERT_TRUE(wait_for([&] { return log().contains("\tup\t"); }));
        ASSERT_TRUE(wait_for([&] { return mails(smtp).back().subject == recovery_subject(); }));
        expect_sigterm_ends_it_within_two_seconds(run);
        EXPECT_FALSE(run.error_output().contains(QStringLiteral("履歴（pelmora.db）")));
    }
    // one down and one up line, both of the device that went down
    const QString logged = log();
    const QStringList changes = logged.split('\n')
                                    .filter(QRegularExpression("\t(down|up)\t"))
                                    .replaceInStrings(QRegularExpression("^[^\t]*\t"), "")
                                    .replaceInStrings(QRegularExpression("=\\d+s$"), "=N");
    EXPECT_EQ(changes, QStringList({"down\taddress=" + flapping + " name=支店ルータ",
                                    "up\taddress=" + flapping + " name=支店ルータ down_for=N"}))
        << logged.toStdString();
    // LOG_USER: <12> warning, <13> notice, <14> info; a check each as logged
    std::map<QString, QStringList> by_kind;
    for (const QString& message : syslog.messages())
        by_kind[message.section(QStringLiteral(": "), 1).section('\t', 0, 0)]
            << message.section('>', 0, 0) + '>';
    EXPECT_EQ(QStringList({by_kind["down"].join(' '), by_kind["up"].join(' '),
                           by_kind["start"].join(' '), QString::number(by_kind["check"].size())}),
              QStringList({"<12>", "<13>", "<14>", QString::number(logged.count("\tcheck\t"))}));

    // One sample per monitored target and check, none for the 無効 one; the
    // last check may still have been in flight at the end.
    HistoryOptions kept;
    kept.path = dir.path("pelmora.db");
    HistoryStore store(kept);
    std::map<QString, int> samples; // by address; checks come faster than seconds here
    QString why;
    ASSERT_TRUE(store.export_samples(
        0, {},
        [&](const StoredSample& s) {
            ++samples[s.address];
            EXPECT_TRUE(s.address != answering || (s.answered && s.rtt_us > 0));
        },
        &why))
        << why.toStdString();
    const int checked = logged.count("\tcheck\t"), each = samples[answering];
    EXPECT_EQ(samples, (std::map<QString, int>{{answering, each}, {flapping, each}}))
        << "none for the 無効 record";
    EXPECT_TRUE(each == checked || each == checked - 1) << each << " of " << checked;

    // A pelmora.db that cannot be written and a system log that stopped
    // reading: checks and mail go on, each told once.
    TempWorkDir other;
    other.write("conf.ini", conf_bytes(1, 1, 64, 255, smtp.address().toLatin1()));
    other.write("kanshi.ini", "999.0.0.1\r\nA\r\n 0 \r\n"); // down without a packet
    ASSERT_TRUE(QDir().mkpath(other.path("pelmora.db")));
    const size_t mailed = smtp.messages().size();
    syslog.reading = false;
    Headless run(other, {"--headless", "--minute-ms=200"}, {}, syslog.wrapper);
    ASSERT_TRUE(wait_for([&] { return other.read("pelmora.log").count("\tcheck\t") >= 15; }));
    syslog.reading = true;
    ASSERT_TRUE(
        wait_for([&] { return syslog.messages().join('\n').contains("syslog\tdropped="); }));
    ASSERT_TRUE(wait_for([&] { return smtp.messages().size() >= mailed + 3; }));
    expect_sigterm_ends_it_within_two_seconds(run);
    const QString said = run.error_output();
    EXPECT_EQ(said.count(QStringLiteral("履歴（pelmora.db）")), 1) << said.toStdString();
    EXPECT_EQ(QString::fromUtf8(other.read("pelmora.log")).count("\thistory\tresult=failed "), 1);
}

TEST(CsvCommands, TargetsGoOutAndComeBackByteIdenticalAndBadLinesChangeNothing) {
    TempWorkDir dir;
    const QString stored =
        QStringLiteral("127.0.0.1\r\n本社ルータ／03-0000-0000／山田\r\n 0 \r\n"
                       "127.0.0.2\r\n\"倉庫,2F～3F／06-1111-2222／佐藤\"\r\n 1 \r\n"
                       "127.1.0.3\r\nラック\"B\"／内線 12／鈴木\r\n 2 \r\n");
    const QByteArray kanshi = *cp932_encode(stored);
    dir.write("kanshi.ini", kanshi);
    // all beside a monitor in the same folder, which takes the list on SIGHUP
    dir.write("conf.ini", conf_bytes());
    Headless monitor(dir, {"--headless"});
    ASSERT_TRUE(monitor.says(QStringLiteral("監視を開始しました"))) << monitor.said.toStdString();
    const Ran exported = run_once({"--export-targets"}, dir);
    ASSERT_EQ(exported.code, 0) << exported.err.toStdString();
    EXPECT_EQ(exported.out,
              QStringLiteral("\uFEFFIPアドレス,機器名称,連絡先番号,管理担当者,無効\r\n"
                             "127.0.0.1,本社ルータ,03-0000-0000,山田,0\r\n"
                             "127.0.0.2,\"倉庫,2F～3F\",06-1111-2222,佐藤,1\r\n"
                             "127.1.0.3,\"ラック\"\"B\"\"\",内線 12,鈴木,2\r\n")
                  .toUtf8());
    dir.write("targets.csv", exported.out);
    dir.write("kanshi.ini", "127.0.0.1\r\nX\r\n 0 \r\n");
    Ran imported = run_once({"--import-targets", "targets.csv"}, dir);
    EXPECT_EQ(imported.code, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.contains("3 件")) << imported.out.toStdString();
    EXPECT_EQ(dir.read("kanshi.ini"), kanshi);
    monitor.signal(SIGHUP);
    EXPECT_TRUE(monitor.says(QStringLiteral("読み直しました（3拠点")))
        << monitor.said.toStdString();

    // Shift_JIS as a spreadsheet saves it, and UTF-8 typed on Linux (〜 −), no header
    for (const QByteArray& csv :
         {*cp932_encode(QStringLiteral("127.1.1.1,機器～1,03－1,担当,0\r\n")),
          QStringLiteral("127.1.1.1,機器\u301C1,03\u22121,担当,0\n").toUtf8()}) {
        dir.write("in.csv", csv);
        imported = run_once({"--import-targets=in.csv"}, dir);
        EXPECT_EQ(imported.code, 0) << imported.err.toStdString();
        EXPECT_EQ(dir.read("kanshi.ini"),
                  *cp932_encode(QStringLiteral("127.1.1.1\r\n機器～1／03－1／担当\r\n 0 \r\n")));
    }

    // Each bad line is named, and kanshi.ini keeps its bytes.
    dir.write("kanshi.ini", kanshi);
    QByteArray many = "IPアドレス,機器名称,連絡先番号,管理担当者,無効\r\n";
    for (int i = 0; i < 1002; ++i)
        many += "10.0.0.1,A,B,C,0\r\n";
    const std::pair<QByteArray, QStringList> bad[] = {
        {QStringLiteral("10.0.0.1,A,B,C,0\n10.0.0.256,A,B,C,0\n10.0.0.3,A／x,B,C,0\n"
                        "10.0.0.4,A,\"B\nB\",C,0\n10.0.0.5,A,\U0001F600,C,0\n"
                        "10.0.0.6,A,B,C,yes\n10.0.0.7,\"A,\"\"a\"\"\",B,C,0\n10.0.0.8,A\n")
             .toUtf8(),
         {"2 行目", "3 行目", "4 行目", "6 行目", "7 行目", "8 行目", "9 行目"}},
        {many, {"1003 行目"}},
    };
    for (const auto& [csv, lines] : bad) {
        dir.write("bad.csv", csv);
        const Ran refused = run_once({"--import-targets", dir.path("bad.csv")}, dir);
        EXPECT_EQ(refused.code, 1);
        for (const QString& line : lines)
            EXPECT_TRUE(refused.err.contains("bad.csv の " + line)) << line.toStdString();
        EXPECT_FALSE(refused.err.contains("1 行目:")) << refused.err.toStdString();
        EXPECT_EQ(dir.read("kanshi.ini"), kanshi);
    }
}

TEST(CsvCommands, HistoryGoesOutOneRowASampleAndNeedsAStoreItNeverMakes) {
    TempWorkDir dir;
    Ran ran = run_once({"--export-history", "--since", "2026-12-01"}, dir);
    EXPECT_EQ(ran.code, 1);
    EXPECT_TRUE(ran.err.contains("pelmora.db")) << ran.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.path("pelmora.db")));
    EXPECT_EQ(run_once({"--export-history", "--since", "yesterday"}, dir).code, 2);
    EXPECT_EQ(run_once({"--export-targets", "--address", "10.0.0.1"}, dir).code, 2);

    const QDateTime first = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 600);
    const QDateTime second = first.addSecs(300);
    {
        HistoryOptions options;
        options.path = dir.path("pelmora.db");
        HistoryStore store(options);
        CheckRecord check{first, 200, 2, 1, {}, {}};
        check.samples = {{"10.0.0.1", "本社, 1F", true, 1500}, {"10.0.0.2", "支店", false, {}}};
        ASSERT_EQ(store.keep(check), "");
        check.started = second;
        ASSERT_EQ(store.keep(check), "");
    }
    const QString rows[] = {iso_local_time(first) + ",10.0.0.1,\"本社, 1F\",1,1.500\r\n",
                            iso_local_time(first) + ",10.0.0.2,支店,0,\r\n",
                            iso_local_time(second) + ",10.0.0.1,\"本社, 1F\",1,1.500\r\n",
                            iso_local_time(second) + ",10.0.0.2,支店,0,\r\n"};
    const QString header = "time,address,name,answered,rtt_ms\r\n";
    ran = run_once({"--export-history"}, dir);
    EXPECT_EQ(ran.code, 0) << ran.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(ran.out), header + rows[0] + rows[1] + rows[2] + rows[3]);
    ran = run_once(
        {"--export-history", "--since=" + iso_local_time(second), "--address", "10.0.0.2"}, dir);
    EXPECT_EQ(QString::fromUtf8(ran.out), header + rows[3]);
}
