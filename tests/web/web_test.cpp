// The web endpoint: its texts from a snapshot, then the real binary with
// --listen against hosts in test namespaces, read by curl, promtool, a real
// Prometheus, hostile clients and headless Chromium.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/cp932.h"
#include "history/history_store.h"
#include "support/echo_world.h"
#include "support/net_namespace.h"
#include "support/pelmora_process.h"
#include "support/smtp_test_server.h"
#include "support/test_ca.h"
#include "web/metrics_text.h"
#include "web/web_pages.h"
#include "web/web_snapshot.h"

using namespace std::chrono_literals;

namespace {

// curl's status code and body; extra arguments before the URL.
struct Http {
    int status = 0;
    QByteArray body;
};

Http curl(const QString& url, const QStringList& extra = {}, const QString& netns = {}) {
    QStringList command = QStringList{"curl", "-s", "-m", "5", "-o", "-", "-w", "\n%{http_code}"} +
                          extra + QStringList{url};
    if (!netns.isEmpty())
        command = QStringList{"ip", "netns", "exec", netns} + command;
    const Ran r = run(command[0], command.mid(1));
    const qsizetype cut = r.out.lastIndexOf('\n');
    return {r.out.mid(cut + 1).toInt(), r.out.left(std::max<qsizetype>(cut, 0))};
}

QString url(quint16 port, const QString& path = "/metrics") {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
}

QString loopback(quint16 port) {
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

sockaddr_in ipv4(in_addr_t host, quint16 port = 0) {
    return {
        .sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(host)}, .sin_zero = {}};
}

// A check every (short) minute, without a display.
QStringList headless(const QStringList& arguments) {
    return QStringList{"--headless", "--minute-ms=500"} + arguments;
}

const QString kListening = QStringLiteral("待ち受けています");

// A folder with one check a (short) minute and the given targets; notices fail.
void write_files(const TempWorkDir& dir, const QString& kanshi) {
    dir.write("conf.ini", conf_bytes(1, 1, 64, 255, "127.0.0.1:1")); // no mail server there
    dir.write("kanshi.ini", *cp932_encode(kanshi));
}

// A file of its own for each token: a table's rows are all written before the first runs.
QString token_file(const TempWorkDir& dir, const QByteArray& token, QFile::Permissions extra = {}) {
    const QString name = "token-" + QString::fromLatin1(token);
    dir.write(name, token + "\n");
    QFile::setPermissions(dir.path(name), QFile::ReadOwner | QFile::WriteOwner | extra);
    return dir.path(name);
}

// promtool's verdict on a text (check: "metrics", "rules /dev/stdin").
void expect_promtool_accepts(const QString& check, const QByteArray& text) {
    NEED(have("promtool"), "promtool is needed (Debian's prometheus)");
    TempWorkDir dir;
    dir.write("in", text);
    const Ran r = run("sh", {"-c", "promtool check " + check + " < " + dir.path("in")});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
}

// pelmora_target_up by address as a real Prometheus reads it, on loopback
// with a storage of its own, scraping one target every second.
std::map<std::string, std::string> target_up_in_prometheus(const TempWorkDir& dir, quint16 target,
                                                           const QString& credentials_file) {
    QString config = QStringLiteral("global: {scrape_interval: 1s}\n"
                                    "scrape_configs:\n"
                                    "  - job_name: pelmora\n"
                                    "    static_configs: [{targets: ['127.0.0.1:%1']}]\n")
                         .arg(target);
    if (!credentials_file.isEmpty())
        config += "    authorization: {credentials_file: '" + credentials_file + "'}\n";
    dir.write("prometheus.yml", config.toUtf8());
    const quint16 port = SmtpTestServer::unused_port();
    QProcess prometheus; // killed at the end of its scope if it outlives terminate()
    prometheus.start("prometheus", {"--config.file=" + dir.path("prometheus.yml"),
                                    "--storage.tsdb.path=" + dir.path("tsdb"),
                                    "--web.listen-address=" + loopback(port)});
    std::map<std::string, std::string> up;
    EXPECT_TRUE(wait_for(
        [&] {
            const Http h = curl(url(port, "/api/v1/query?query=pelmora_target_up"));
            for (const QJsonValue& series :
                 QJsonDocument::fromJson(h.body)["data"]["result"].toArray())
                up[series["metric"]["address"].toString().toStdString()] =
                    series["value"][1].toString().toStdString();
            return up.size() == 2;
        },
        30s))
        << prometheus.readAllStandardError().right(2000).toStdString();
    prometheus.terminate();
    prometheus.waitForFinished(5000);
    return up;
}

} // namespace

TEST(WebTexts, MetricsAreEscapedUniqueAndCompleteFromTheStart) {
    WebSnapshot s;
    s.version = "2.4.0";
    s.interval_minutes = 5;
    s.targets = {{1, "10.0.0.1", "本社\"ルータ\\\n", "", "", TargetState::Answering, 1.5, 100},
                 {2, "10.0.0.1", "本社\"ルータ\\\n", "", "", TargetState::Silent, {}, 200},
                 {3, "10.0.0.3", "予備", "", "", TargetState::NotMonitored, {}, {}},
                 {4, "10.0.0.4", "<b>", "", "", TargetState::Unchecked, {}, {}}};
    const QString text = QString::fromUtf8(metrics_text(s));
    const QString labels = R"(record="%1",address="10.0.0.1",name="本社\"ルータ\\\n")";
    for (const QString& line :
         {"pelmora_target_up{" + labels.arg(1) + "} 1",
          "pelmora_target_up{" + labels.arg(2) + "} 0",
          "pelmora_target_rtt_seconds{" + labels.arg(1) + "} 0.0015",
          "pelmora_target_state_change_timestamp_seconds{" + labels.arg(2) + "} 200",
          QString("pelmora_checks_total 0"), QString("pelmora_notices_total{result=\"failed\"} 0"),
          QString("pelmora_targets{state=\"unknown\"} 1"),
          QString("pelmora_build_info{version=\"2.4.0\"} 1"),
          QString("pelmora_interval_seconds 300"), QString("pelmora_delivery_stopped 0")})
        EXPECT_TRUE(text.contains(line + "\n")) << line.toStdString() << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains("record=\"3\"")); // unmonitored: no up sample
    EXPECT_FALSE(text.contains("\npelmora_last_check_timestamp_seconds "));
    EXPECT_EQ(text.count("# HELP "), 12);
    EXPECT_EQ(text.count("# TYPE "), 12);
    expect_promtool_accepts("metrics", text.toUtf8());
    // the pages escape what comes from files
    const QString page = QString::fromUtf8(status_page(s, {}));
    EXPECT_TRUE(page.contains("&lt;b&gt;"));
    EXPECT_FALSE(page.contains("<b>"));
    EXPECT_TRUE(page.contains("<tr class=\"down\">"));
    // the alert rules the README gives are valid and use these metrics
    const QByteArray rule_text =
        run("cat", {PELMORA_TEST_SUPPORT_DIR "/../../docs/prometheus/pelmora-rules.yml"}).out;
    expect_promtool_accepts("rules /dev/stdin", rule_text);
    for (const char* name : {"pelmora_target_up", "pelmora_last_check_timestamp_seconds",
                             "pelmora_interval_seconds", "pelmora_delivery_stopped"})
        EXPECT_TRUE(rule_text.contains(name) && text.contains(QLatin1String(name))) << name;
}

TEST(WebLive, BothModesListenRefuseWhatIsUnsafeAndAnswerOnlyWhatTheyShould) {
    NEED(have("curl"), "curl is needed");
    TempWorkDir dir;
    write_files(dir, "127.0.0.1\r\nループバック／内線1／山田\r\n 0 \r\n");
    const quint16 port = SmtpTestServer::unused_port();
    const QString away = "128.0.0.1:" + QString::number(port), here = loopback(port);
    const QString unparsed = QStringLiteral("--listen には IPv4"),
                  readable = token_file(dir, "secret", QFile::ReadGroup);
    // refused: what is no listener (status 2); then, before listening, another
    // address without a token or TLS, a token others may read (status 1)
    const std::tuple<QStringList, QString, int> refusals[] = {
        {{"--listen", "localhost:10067"}, unparsed, 2},
        {{"--listen", "127.0.0.1:70000"}, unparsed, 2},
        {{"--listen", "127.0.0.1"}, unparsed, 2},
        {{"--listen"}, QStringLiteral("--listen には値"), 2},
        {{"--listen-token-file", "t"}, QStringLiteral("--listen と"), 2},
        {{"--listen", away}, "--listen-token-file", 1},
        {{"--listen=" + away, "--listen-token-file", token_file(dir, "t")}, "--listen-cert", 1},
        {{"--listen", here, "--listen-token-file", readable}, "chmod 600", 1},
        {{"--listen", here, "--listen-cert", dir.path("none")}, "--listen-key", 1},
    };
    for (const auto& [arguments, said, code] : refusals) {
        const Ran r = run_once(headless(arguments), dir, 5000);
        EXPECT_EQ(r.code, code) << arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(said)) << r.err.toStdString();
    }
    { // the window mode listens too; any 127.x.x.x is loopback, where no token is asked
        const QString at = QStringLiteral("127.9.9.9:%1").arg(port);
        PelmoraProcess window(dir, {"--minute-ms=500", "--listen", at},
                              {{"QT_QPA_PLATFORM", "offscreen"}});
        EXPECT_TRUE(wait_for([&] {
            return curl("http://" + at + "/metrics").body.contains("{state=\"unknown\"} 1");
        })) << window.error_output().toStdString();
    }
    PelmoraProcess p(
        dir, headless({"--listen", here, "--listen-token-file", token_file(dir, "s3cret-token")}));
    ASSERT_TRUE(p.says(kListening)) << p.said.toStdString();
    const QString bearer = "Authorization: Bearer s3cret-token";
    ASSERT_TRUE(wait_for([&] {
        return curl(url(port), {"-H", bearer}).body.contains("\npelmora_last_check_timestamp");
    }));
    const QString big(40000, 'x'), page = "<!DOCTYPE html>";
    // -H, what is asked, the status and what the body holds
    const std::tuple<QStringList, QString, int, QString> asks[] = {
        {{}, "/metrics", 401, ""},
        {{"-H", "Authorization: Bearer s3cret-tokeN"}, "/metrics", 401, ""},
        {{"-H", "Authorization: Bearer s3cret-token2"}, "/metrics", 401, ""},
        {{"-H", "Authorization: Bearer "}, "/metrics", 401, ""},
        {{"-H", "Authorization: Bearer  s3cret-token"}, "/metrics", 401, ""},
        {{"-H", "Authorization: bearer s3cret-token"}, "/metrics", 401, ""},
        {{"-H", "Authorization: Basic czNjcmV0LXRva2Vu"}, "/metrics", 401, ""},
        {{"-H", bearer}, "/metrics", 200, "# HELP pelmora_target_up "},
        {{"-H", bearer, "-I"}, "/metrics", 200, ""},
        {{"-H", bearer}, "/api/status", 200, "\"state\": \"up\""},
        {{"-H", bearer}, "/", 200, page},
        {{"-H", bearer}, "/target/127.0.0.1", 200, page},
        {{"-H", bearer}, "/target/10.1.1.1", 404, ""},
        {{"-H", bearer}, "/nothing", 404, ""},
        {{"-H", bearer, "-X", "POST", "-d", "a=1"}, "/metrics", 405, ""},
        {{"-H", bearer, "-X", "DELETE"}, "/", 405, ""},
        {{"-H", bearer, "-X", "PUT", "-d", "x"}, "/api/status", 405, ""},
        {{"-H", bearer, "-H", "X-Big: " + big}, "/metrics", 431, ""},
        {{"-H", bearer}, "/" + big, 414, ""},
        // nothing changed: the counters went on by checks alone
        {{"-H", bearer}, "/metrics", 200, "\npelmora_notices_total{result=\"sent\"} 0\n"},
        {{"-H", bearer}, "/metrics", 200, "\npelmora_delivery_stopped 0\n"},
        {{"-H", bearer}, "/api/status", 200, "\"name\": \"ループバック\""},
    };
    for (const auto& [extra, path, status, held] : asks) {
        SCOPED_TRACE((extra.join(' ').left(60) + " " + path.left(40)).toStdString());
        const Http h = curl(url(port, path), extra);
        EXPECT_EQ(h.status, status) << h.body.left(200).toStdString();
        EXPECT_TRUE(h.body.contains(held.toUtf8())) << h.body.left(400).toStdString();
    }
    expect_promtool_accepts("metrics", curl(url(port), {"-H", bearer}).body);
}

TEST(WebLive, ServesTlsOnAnotherAddressInANamespaceOfItsOwn) {
    NEED(have("curl"), "curl is needed");
    NetNamespace netns("web");
    const QString ns = QString::fromStdString(netns.name());
    NEED(netns.ok(), "needs root and iproute2 for a network namespace");
    ASSERT_TRUE(netns.run("ip addr add 198.18.0.1/32 dev lo"));
    TestCa ca;
    const ServerCertificate cert = ca.issue("pelmora", "IP:198.18.0.1");
    TempWorkDir dir;
    write_files(dir, "198.18.0.1\r\n自分\r\n 0 \r\n");
    PelmoraProcess p(dir,
                     headless({"--listen", "198.18.0.1:9443", "--listen-token-file",
                               token_file(dir, "tls-token"), "--listen-cert", cert.cert,
                               "--listen-key", cert.key}),
                     {}, {"ip", "netns", "exec", ns});
    ASSERT_TRUE(p.says(kListening)) << p.said.toStdString();
    const QString tls = "https://198.18.0.1:9443/metrics",
                  bearer = "Authorization: Bearer tls-token";
    EXPECT_EQ(curl(tls, {"--cacert", ca.cert(), "-H", bearer}, ns).status, 200);
    EXPECT_EQ(curl(tls, {"--cacert", ca.cert()}, ns).status, 401);
    // plain HTTP on the TLS port gets no page
    const Http plain = curl("http://198.18.0.1:9443/metrics", {"-H", bearer}, ns);
    EXPECT_FALSE(plain.body.contains("pelmora_")) << plain.body.toStdString();
}

TEST(WebLive, PrometheusScrapesTheAnsweringAndTheSilentDeviceWithAndWithoutAToken) {
    NEED(have("prometheus") && have("curl"), "prometheus and curl are needed");
    EchoWorld world;
    NEED(world.ok(), world.why_not());
    const std::string answering = world.answering_address(), silent = world.silent_address();
    for (const bool with_token : {false, true}) {
        SCOPED_TRACE(with_token ? "token" : "no token");
        TempWorkDir dir;
        write_files(dir, QString::fromStdString(answering + "\r\n本社\r\n 0 \r\n" + silent +
                                                "\r\n支店\r\n 0 \r\n"));
        const quint16 port = SmtpTestServer::unused_port();
        const QString token = with_token ? token_file(dir, "prom-token") : QString();
        PelmoraProcess p(dir, headless(QStringList{"--listen", loopback(port)} +
                                       (with_token ? QStringList{"--listen-token-file", token}
                                                   : QStringList{})));
        ASSERT_TRUE(p.says(kListening)) << p.said.toStdString();
        EXPECT_EQ(target_up_in_prometheus(dir, port, token),
                  (std::map<std::string, std::string>{{answering, "1"}, {silent, "0"}}));
    }
}

TEST(WebLive, SlowAndEndlessClientsDelayNeitherChecksNorAScrape) {
    NEED(have("curl"), "curl is needed");
    TempWorkDir dir;
    write_files(dir, "127.0.0.1\r\nループバック\r\n 0 \r\n");
    const quint16 port = SmtpTestServer::unused_port();
    PelmoraProcess p(dir, headless({"--listen", loopback(port)}));
    ASSERT_TRUE(p.says(kListening)) << p.said.toStdString();
    const sockaddr_in to = ipv4(INADDR_LOOPBACK, port);
    std::vector<int> slow, endless;
    const auto connect_one = [&](std::vector<int>& held, in_addr_t from = INADDR_LOOPBACK) {
        held.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const sockaddr_in source = ipv4(from);
        ::bind(held.back(), reinterpret_cast<const sockaddr*>(&source), sizeof source);
        return ::connect(held.back(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };
    const auto trickle = [](int fd, const char* bytes) {
        return ::send(fd, bytes, std::strlen(bytes), MSG_NOSIGNAL);
    };
    for (int i = 0; i < 205; ++i) { // 200 slow to send their header, 5 sending it without end
        ASSERT_EQ(connect_one(i < 200 ? slow : endless), 0);
        trickle(i < 200 ? slow.back() : endless.back(),
                i < 200 ? "GET /metrics HTTP/1.1\r\n" : "GET / HTTP/1.1\r\nHost: x\r\n");
    }
    const std::string filler = "X-Filler: " + std::string(2000, 'a') + "\r\n";
    // a scrape from that address gets its page within a second, or curl gives up
    const auto scrape = [&](const QString& from) {
        EXPECT_EQ(curl(url(port), {"-m", "1", "--interface", from}).status, 200)
            << from.toStdString();
    };
    const int log_checks_before = dir.read("pelmora.log").count("\tcheck\t");
    QElapsedTimer running;
    running.start();
    while (running.elapsed() < 6000) {
        for (int fd : slow) // a byte now and then keeps them alive
            trickle(fd, "X");
        for (int& fd : endless)
            if (fd >= 0 && trickle(fd, filler.c_str()) < 0) // the server ended it
                ::close(std::exchange(fd, -1));
        scrape("127.0.0.1");
        QThread::msleep(200);
    }
    const int checks = dir.read("pelmora.log").count("\tcheck\t") - log_checks_before;
    EXPECT_GE(checks, 6000 / 500 * 9 / 10 - 1) << "checks in 6 s of 500 ms minutes";
    // Past a limit the trickling ones held longest make way, and a scrape from
    // any address still gets in: first past one address's (384, by 40 from
    // 127.0.0.1), then past the server's (512, by 21 with 150 from 127.0.0.2).
    const auto shut = [](auto first, auto last) {
        return std::count_if(first, last, [](int fd) {
            char byte;
            return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
        });
    };
    std::vector<int> others;
    for (const auto& [held, from, until, past] : {std::tuple{&slow, INADDR_LOOPBACK, 384 + 40, 40},
                                                  {&others, INADDR_LOOPBACK + 1, 150, 61}}) {
        while (held->size() < size_t(until))
            ASSERT_EQ(connect_one(*held, from), 0);
        QThread::msleep(300);
        for (const QString from : {"127.0.0.1", "127.0.0.2", "127.0.0.3"})
            scrape(from);
        EXPECT_GT(shut(slow.begin(), slow.begin() + 200), past) << "the oldest made room";
        EXPECT_EQ(shut(slow.begin() + 200, slow.end()) + shut(others.begin(), others.end()), 0);
    }
    for (const std::vector<int>* held : {&slow, &endless, &others})
        for (int fd : *held)
            ::close(fd); // -1 for those it closed
    EXPECT_EQ(std::count(endless.begin(), endless.end(), -1), 5)
        << "headers past the memory limit end the connection";
    EXPECT_EQ(p.process.state(), QProcess::Running);
}

// Chromium and Pelmora share a namespace with nothing but loopback, so that
// no request of the browser's own leaves the machine.
TEST(WebLive, ChromiumShowsTheTableTheStoredHistoryAndTheStopBanner) {
    NEED(have("chromium"), "chromium is needed (scripts/install-deps.sh --extra)");
    NetNamespace netns("shot");
    NEED(netns.ok(), "needs root and iproute2 for a network namespace");
    const QString ns = QString::fromStdString(netns.name());
    TempWorkDir dir;
    // the second device never answers; delivery stops after one notice
    write_files(dir, QStringLiteral("127.0.0.1\r\n本社ルータ／03-1234-5678／山田\r\n 0 \r\n"
                                    "999.0.0.1\r\n支店ルータ／06-1234-5678／佐藤\r\n 0 \r\n"
                                    "127.0.0.3\r\n予備機\r\n 1 \r\n"));
    dir.write("conf.ini", conf_bytes(1, 1, 64, 1, "127.0.0.1:1"));
    // three days of checks every five minutes; the branch drops one hour in five
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    qint64 clock = now - 3 * 86400;
    {
        HistoryStore store({.path = dir.path("pelmora.db"),
                            .now_s = [&clock] { return clock; },
                            .inside_write = {}});
        for (bool was_up = true; clock < now - 60; clock += 300) {
            const bool up = (clock / 3600) % 5 != 0;
            const qint64 wave = 800 + (clock / 300 % 24) * 40;
            CheckRecord r;
            r.started = QDateTime::fromSecsSinceEpoch(clock);
            r.samples = {
                {"127.0.0.1", "本社ルータ", true, wave},
                {"999.0.0.1", "支店ルータ", up, up ? std::optional(wave * 9) : std::nullopt}};
            if (up != std::exchange(was_up, up))
                r.changes.push_back({up ? DeviceChangeKind::Up : DeviceChangeKind::Down,
                                     "999.0.0.1", "支店ルータ", r.started, up ? 3600 : 0});
            ASSERT_EQ(store.keep(r), QString());
        }
    }
    PelmoraProcess p(dir, headless({"--listen", "127.0.0.1:10067"}), {},
                     {"ip", "netns", "exec", ns});
    ASSERT_TRUE(p.says(kListening)) << p.said.toStdString();
    const auto browse = [&](const QStringList& what, const QString& path) {
        return run("ip",
                   QStringList{"netns", "exec", ns, "chromium", "--headless", "--no-sandbox",
                               "--disable-gpu", "--hide-scrollbars", "--window-size=1100,900",
                               "--user-data-dir=" + dir.path("chromium")} +
                       what + QStringList{"http://127.0.0.1:10067" + path},
                   60000);
    };
    QString page;
    ASSERT_TRUE(wait_for(
        [&] {
            page = QString::fromUtf8(browse({"--dump-dom"}, "/").out);
            return page.contains(QStringLiteral("メール配信停止中"));
        },
        30s))
        << page.toStdString();
    // the branch's share of the day, the head office's, the columns and the times
    const QString day = QStringLiteral("<td class=\"n\" data-label=\"稼働率\\(24時間\\)\">");
    for (const QString& pattern :
         {day + "[78]\\d\\.\\d\\d%", day + "100\\.00%", QStringLiteral("稼働率\\(30日\\)"),
          QStringLiteral("平均応答\\(24時間\\)"), QStringLiteral("監視対象外"),
          QStringLiteral("前回の監視")})
        EXPECT_TRUE(page.contains(QRegularExpression(pattern))) << pattern.toStdString();
    const QString target = QString::fromUtf8(browse({"--dump-dom"}, "/target/999.0.0.1").out);
    // the median line, checks without an answer, the graph again at a phone's width, the events
    for (const char* shown :
         {"stroke=\"#1560bd\"", "fill=\"#d00\"", "<div class=\"narrow\"><svg", "応答あり"})
        EXPECT_TRUE(target.contains(QString::fromUtf8(shown))) << shown;
    // PELMORA_SCREENSHOTS=docs keeps pictures of both pages, on a desktop and on a phone
    const QString shots = qEnvironmentVariable("PELMORA_SCREENSHOTS");
    for (const auto& [path, file] :
         {std::pair{"/", "status-page"}, {"/target/999.0.0.1", "target-page"}})
        for (const auto& [size, kind] : {std::pair{"1100,900", ""}, {"390,844", "-phone"}})
            if (!shots.isEmpty())
                browse(
                    {"--window-size=" + QString(size),
                     "--screenshot=" + QDir(shots).absoluteFilePath(file + QString(kind) + ".png")},
                    path);
}
