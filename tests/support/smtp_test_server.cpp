#include "support/smtp_test_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString mode_argument(SmtpTestServer::Mode mode) {
    // smtp_server.py's names, in the order of Mode
    static const char* const names[] = {"normal",    "reject550", "greet554",    "silent",
                                        "starttls",  "slow",      "mute-data",   "mute-quit",
                                        "mute-ehlo", "mute-auth", "mute-datacmd"};
    static_assert(std::size(names) == static_cast<int>(SmtpTestServer::Mode::MuteDataCommand) + 1);
    return QString::fromLatin1(names[static_cast<int>(mode)]);
}

QByteArray read_all(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

int count_lines(const QByteArray& text, const QByteArray& line) {
    int n = 0;
    for (const QByteArray& l : text.split('\n'))
        n += l == line ? 1 : 0;
    return n;
}

} // namespace

SmtpTestServer::SmtpTestServer(Mode mode, std::chrono::milliseconds reply_delay,
                               int recover_after_sessions) {
    QStringList arguments{QStringLiteral("--mode"), mode_argument(mode),
                          QStringLiteral("--reply-delay"),
                          QString::number(static_cast<double>(reply_delay.count()) / 1000.0)};
    if (recover_after_sessions >= 0)
        arguments << QStringLiteral("--recover-after") << QString::number(recover_after_sessions);
    start(arguments);
}

SmtpTestServer::SmtpTestServer(const Secure& secure) {
    QStringList arguments;
    if (secure.tls != Secure::Tls::None)
        arguments << QStringLiteral("--tls")
                  << (secure.tls == Secure::Tls::StartTls ? QStringLiteral("starttls")
                                                          : QStringLiteral("implicit"))
                  << QStringLiteral("--cert") << secure.cert << QStringLiteral("--key")
                  << secure.key;
    if (!secure.user.isEmpty())
        arguments << QStringLiteral("--auth") << secure.user + QLatin1Char(':') + secure.password;
    start(arguments);
}

void SmtpTestServer::start(const QStringList& arguments) {
    if (!dir_.isValid())
        throw std::runtime_error("smtp test server: no temporary directory");
    // Its own output goes to the test's, where a failure can be read.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"),
                   QStringList{QStringLiteral(PELMORA_TEST_SUPPORT_DIR "/smtp_server.py"),
                               QStringLiteral("--dir"), dir_.path()} +
                       arguments);
    if (!process_.waitForStarted(10000))
        throw std::runtime_error("smtp test server: /usr/bin/python3 did not start");

    QElapsedTimer waited;
    waited.start();
    QByteArray line;
    while (!line.endsWith('\n') && waited.elapsed() < 20000) {
        if (!process_.waitForReadyRead(200) && process_.state() != QProcess::Running)
            break;
        line += process_.readLine();
    }
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() == 2 && words[0] == "PORT")
        port_ = static_cast<quint16>(words[1].toUInt());
    if (port_ == 0)
        throw std::runtime_error("smtp test server did not start: " + line.toStdString());
}

SmtpTestServer::~SmtpTestServer() {
    // The server stops when its input closes; the same happens if we crash.
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

QString SmtpTestServer::address() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

std::vector<ReceivedMail> SmtpTestServer::messages() const {
    std::vector<ReceivedMail> mails;
    const QDir dir(dir_.path());
    const QStringList metas = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& meta_name : metas) {
        const QJsonObject meta =
            QJsonDocument::fromJson(read_all(dir.filePath(meta_name))).object();
        ReceivedMail mail;
        mail.mail_from = meta.value(QStringLiteral("mail_from")).toString();
        for (const QJsonValue& to : meta.value(QStringLiteral("rcpt_tos")).toArray())
            mail.rcpt_tos << to.toString();
        mail.ehlo = meta.value(QStringLiteral("ehlo")).toString();
        mail.tls = meta.value(QStringLiteral("tls")).toBool();
        QString eml_name = meta_name;
        eml_name.replace(QStringLiteral(".json"), QStringLiteral(".eml"));
        mail.data = read_all(dir.filePath(eml_name));
        mails.push_back(mail);
    }
    return mails;
}

int SmtpTestServer::session_lines(const char* line) const {
    return count_lines(read_all(dir_.filePath(QStringLiteral("sessions.log"))), line);
}

bool SmtpTestServer::wait_until_sessions_closed(std::chrono::milliseconds limit) const {
    QElapsedTimer waited;
    waited.start();
    while (sessions_closed() < sessions_opened()) {
        if (waited.elapsed() > limit.count())
            return false;
        QThread::msleep(20);
    }
    return true;
}

quint16 SmtpTestServer::unused_port() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = probe >= 0 &&
                       ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (probe >= 0)
        ::close(probe);
    if (!bound)
        throw std::runtime_error("no free loopback port");
    return ntohs(address.sin_port);
}
