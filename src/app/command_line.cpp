#include "app/command_line.h"

namespace {

// "--name VALUE" or "--name=VALUE"; false when a is not that option.
bool valued(const QStringList& arguments, qsizetype& i, const QString& name, QString* value,
            QString* error) {
    const QString& a = arguments[i];
    if (a.startsWith(name + QLatin1Char('=')))
        *value = a.mid(name.size() + 1);
    else if (a == name && i + 1 < arguments.size())
        *value = arguments[++i];
    else if (a == name)
        value->clear();
    else
        return false;
    if (value->isEmpty())
        *error = name + QStringLiteral(" には値を指定してください。");
    return true;
}

} // namespace

CommandLine parse_command_line(const QStringList& arguments) {
    CommandLine c;
    QString listen, token_file, cert, key;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (valued(arguments, i, QStringLiteral("--listen"), &listen, &c.error) ||
            valued(arguments, i, QStringLiteral("--listen-token-file"), &token_file, &c.error) ||
            valued(arguments, i, QStringLiteral("--listen-cert"), &cert, &c.error) ||
            valued(arguments, i, QStringLiteral("--listen-key"), &key, &c.error)) {
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c.help = true;
        } else if (a == QLatin1String("--headless")) {
            c.headless = true;
        } else if (a == QLatin1String("--dir") || a.startsWith(QLatin1String("--dir="))) {
            if (a.startsWith(QLatin1String("--dir=")))
                c.dir = a.mid(6);
            else if (i + 1 < arguments.size())
                c.dir = arguments[++i];
            if (c.dir.isEmpty())
                c.error = QStringLiteral("--dir にはフォルダーを指定してください。");
        } else if (a == QLatin1String("--test-mail")) {
            c.test_mail = true;
        } else if (a == QLatin1String("--user-folder")) {
            c.user_folder = true;
        } else if (a.startsWith(QLatin1String("--minute-ms="))) {
            bool ok = false;
            const int ms = a.mid(12).toInt(&ok);
            if (!ok || ms < 1)
                c.error = QStringLiteral("--minute-ms には正の整数を指定してください: ") + a;
            c.minute_ms = ms;
        } else if (a.startsWith(QLatin1String("--"))) {
            c.error = QStringLiteral("不明なオプションです: ") + a;
        }
    }
    if (!listen.isEmpty()) {
        QString why;
        c.listen = parse_listen_address(listen, &why);
        if (!c.listen)
            c.error = why;
        else
            *c.listen = ListenOptions{c.listen->address, c.listen->port, token_file, cert, key};
    } else if (!token_file.isEmpty() || !cert.isEmpty() || !key.isEmpty()) {
        c.error = QStringLiteral("--listen-token-file、--listen-cert、--listen-key は --listen と"
                                 "一緒に指定してください。");
    }
    return c;
}

QString usage_text() {
    return QStringLiteral(
        "Usage: pelmora [--headless | --test-mail] [--dir DIR | --user-folder]\n"
        "               [--listen ADDR:PORT [--listen-token-file FILE]\n"
        "                [--listen-cert FILE --listen-key FILE]]\n"
        "\n"
        "Watches the IPv4 devices listed in kanshi.ini with ICMP echo and mails the\n"
        "administrator named in conf.ini when they stop answering. Both files are read\n"
        "from the working directory.\n"
        "\n"
        "  --headless   monitor without windows: messages go to standard error;\n"
        "               SIGUSR1 releases a delivery stop, SIGHUP re-reads conf.ini,\n"
        "               kanshi.ini and smtp.ini, SIGTERM or SIGINT ends the program\n"
        "  --test-mail  send one test mail to the administrator with the saved\n"
        "               conf.ini and smtp.ini, print the outcome and exit (0: sent)\n"
        "  --dir DIR    use conf.ini and kanshi.ini in DIR, made from the samples\n"
        "               when DIR holds neither\n"
        "  --user-folder  the same with $XDG_DATA_HOME/pelmora (~/.local/share/pelmora);\n"
        "               the desktop menu starts Pelmora so\n"
        "  --listen ADDR:PORT  serve a read-only status page (/), Prometheus metrics\n"
        "               (/metrics) and JSON (/api/status) on an IPv4 address; without\n"
        "               it nothing listens. An address other than 127.x.x.x needs\n"
        "  --listen-token-file FILE  a file only its owner may read holding a token\n"
        "               every request must send as \"Authorization: Bearer TOKEN\"\n"
        "  --listen-cert FILE --listen-key FILE  serve HTTPS with this PEM\n"
        "               certificate and key\n"
        "  --help       show this text and exit\n");
}
