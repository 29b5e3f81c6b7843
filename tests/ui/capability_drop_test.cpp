// Only pelmora-echo carries cap_net_raw. Started by an ordinary user who
// offers Qt a plugin of their own, the plugin must find no capability and no
// raw socket in the process, and the program must still ping: through the
// helper where ping_group_range shuts the user out, on its own datagram
// socket (no helper started) where it lets the user in.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

#include "core/cp932.h"
#include "support/mime_decoding.h"
#include "support/net_namespace.h"
#include "support/pelmora_process.h"
#include "support/smtp_test_server.h"
#include "support/work_dir.h"

namespace {

// The pids of the children of `parent` (started from its main thread) named `name`.
std::vector<pid_t> children_named(qint64 parent, const QByteArray& name) {
    std::vector<pid_t> found;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(parent));
    for (const QByteArray& pid :
         children.open(QIODevice::ReadOnly) ? children.readAll().split(' ') : QList<QByteArray>{}) {
        QFile comm("/proc/" + pid + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            found.push_back(pid.toInt());
    }
    return found;
}

// Gone, or a zombie nobody has reaped yet.
bool ended(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

struct PingRight {
    const char* name;
    const char* ping_group_range; // in the test's own namespace
    bool helper;                  // whether pelmora-echo must be started
};

class CapabilityDrop : public ::testing::TestWithParam<PingRight> {};

} // namespace

TEST_P(CapabilityDrop, AUsersPluginFindsNoCapabilityNorRawSocketWhileThePingsGoOn) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: setcap on a copy of the binary, another user, a namespace";
    const QString probe = qEnvironmentVariable("PELMORA_CAPABILITY_PROBE");
    if (probe.isEmpty())
        GTEST_SKIP() << "PELMORA_CAPABILITY_PROBE names the plugin (ctest sets it)";
    if (QStandardPaths::findExecutable("setcap", {"/usr/sbin", "/sbin"}).isEmpty())
        GTEST_SKIP() << "setcap is needed (libcap2-bin, scripts/install-deps.sh)";

    // A namespace whose ping_group_range admits nobody (only the helper's
    // capability opens an ICMP socket), or everybody. The silent host sits
    // behind a link whose far end drops every frame (they carry another MAC
    // address).
    NetNamespace ns("cap");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.run(QStringLiteral("sysctl -qw net.ipv4.ping_group_range='%1'")
                           .arg(GetParam().ping_group_range)
                           .toStdString()));
    ASSERT_TRUE(ns.run("ip link add quiet type veth peer name void") &&
                ns.run("ip addr add 198.19.254.1/24 dev quiet") && ns.run("ip link set quiet up") &&
                ns.run("ip link set void up") &&
                ns.run("ip neigh add 198.19.254.2 lladdr 02:00:00:00:00:02 dev quiet"));
    const QString silent_host = QStringLiteral("198.19.254.2");

    TempWorkDir dir;
    for (const char* sub : {"bin", "plugins/generic", "work", "runtime"})
        ASSERT_TRUE(QDir(dir.root()).mkpath(sub));
    const QString binary = dir.path("bin/pelmora");
    const QString helper = dir.path("bin/pelmora-echo");
    ASSERT_TRUE(QFile::copy(QStringLiteral(PELMORA_BINARY), binary));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PELMORA_ECHO_HELPER), helper));
    ASSERT_EQ(run("setcap", {"cap_net_raw=ep", helper}).code, 0);
    ASSERT_TRUE(QFile::copy(probe, dir.path("plugins/generic/") + QFileInfo(probe).fileName()));

    std::unique_ptr<SmtpTestServer> smtp;
    QProcess pelmora;
    {
        InNetNamespace inside(ns.name()); // both processes start in the namespace
        ASSERT_TRUE(inside.ok());
        smtp = std::make_unique<SmtpTestServer>();

        dir.write("work/conf.ini", conf_bytes(1, 1, 64, 3, smtp->address().toLatin1()));
        dir.write("work/kanshi.ini",
                  *cp932_encode(QStringLiteral("127.0.0.1\r\nループバック／0000／試験\r\n 0 \r\n") +
                                silent_host +
                                QStringLiteral("\r\n無応答機器／0001／試験\r\n 0 \r\n")));
        ASSERT_EQ(
            run("chown", {"-R", "nobody:nogroup", dir.path("work"), dir.path("runtime")}).code, 0);
        ASSERT_EQ(run("chmod", {"700", dir.path("work"), dir.path("runtime")}).code, 0);

        QProcessEnvironment env;
        env.insert("PATH", "/usr/bin:/bin");
        env.insert("LANG", "C.UTF-8");
        env.insert("HOME", dir.path("work"));
        env.insert("XDG_RUNTIME_DIR", dir.path("runtime"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_PLUGIN_PATH", dir.path("plugins"));
        env.insert("QT_QPA_GENERIC_PLUGINS", "capability_probe");
        env.insert("PELMORA_CAPABILITY_PROBE_OUT", dir.path("work/capabilities.txt"));
        pelmora.setProcessEnvironment(env);
        pelmora.setWorkingDirectory(dir.path("work"));
        pelmora.setProcessChannelMode(QProcess::MergedChannels);
        pelmora.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", binary});
        ASSERT_TRUE(pelmora.waitForStarted());
    }

    // what the plugin saw
    ASSERT_TRUE(wait_for([&] { return dir.read("work/capabilities.txt").count('\n') == 3; },
                         std::chrono::seconds(10)))
        << "the plugin was not loaded: " << pelmora.readAll().toStdString();
    const QByteArray seen = dir.read("work/capabilities.txt");
    EXPECT_TRUE(seen.contains("CapEff:\t0000000000000000\n")) << seen.toStdString();
    EXPECT_TRUE(seen.contains("CapPrm:\t0000000000000000\n")) << seen.toStdString();
    EXPECT_TRUE(seen.contains("RawSockets:\t0\n")) << seen.toStdString();
    const std::vector<pid_t> helpers = children_named(pelmora.processId(), "pelmora-echo");
    EXPECT_EQ(helpers.size(), GetParam().helper ? 1u : 0u);

    // the first check comes a minute after start-up; a second notice would
    // follow right after the first
    ASSERT_TRUE(wait_for([&] { return !smtp->messages().empty(); }, std::chrono::seconds(80)))
        << "no notice: " << pelmora.readAll().toStdString();
    QThread::msleep(3000);
    const std::vector<ReceivedMail> mails = smtp->messages();
    ASSERT_EQ(mails.size(), 1u);
    const ParsedMessage notice = parse_message(mails[0].data);
    EXPECT_EQ(decode_header_words(notice.header("Subject")),
              QStringLiteral("Network障害連絡（1件障害）"));
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(notice.body)),
              QStringLiteral("＜1件目＞無応答機器／0001／試験\r\n"))
        << "127.0.0.1 answers";

    EXPECT_EQ(pelmora.state(), QProcess::Running) << pelmora.readAll().toStdString();
    pelmora.kill(); // no orphan, however the program ends
    pelmora.waitForFinished(5000);
    for (pid_t helper_pid : helpers)
        EXPECT_TRUE(wait_for([&] { return ended(helper_pid); }, std::chrono::seconds(5)))
            << "pelmora-echo outlived";
}

INSTANTIATE_TEST_SUITE_P(PingRights, CapabilityDrop,
                         ::testing::Values(PingRight{"ThroughTheHelper", "1 0", true},
                                           PingRight{"OnADatagramSocket", "0 2147483647", false}),
                         [](const auto& info) { return std::string(info.param.name); });
