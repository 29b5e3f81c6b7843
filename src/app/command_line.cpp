#include "app/command_line.h"

namespace {

// --since: a day (from its local midnight) or a whole ISO time.
std::optional<QDateTime> since_time(const QString& text) {
    if (text.size() == 10) {
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (day.isValid())
            return day.startOfDay();
    }
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (time.isValid() && text.contains(u'T'))
        return time;
    return std::nullopt;
}

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
    // An option's value, as "--name VALUE" or "--name=VALUE"; empty when missing.
    const auto value_of = [&](qsizetype& i, const QString& name) {
        const QString& a = arguments[i];
        if (a.startsWith(name + u'='))
            return a.mid(name.size() + 1);
        return i + 1 < arguments.size() ? arguments[++i] : QString();
    };
    const auto is_option = [](const QString& a, const QString& name) {
        return a == name || a.startsWith(name + u'=');
    };
    bool history_filter = false;
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
        } else if (is_option(a, QStringLiteral("--dir"))) {
            c.dir = value_of(i, QStringLiteral("--dir"));
            if (c.dir.isEmpty())
                c.error = QStringLiteral("--dir にはフォルダーを指定してください。");
        } else if (a == QLatin1String("--test-mail")) {
            c.test_mail = true;
        } else if (a == QLatin1String("--export-targets")) {
            c.export_targets = true;
        } else if (is_option(a, QStringLiteral("--import-targets"))) {
            c.import_targets = value_of(i, QStringLiteral("--import-targets"));
            if (c.import_targets.isEmpty())
                c.error = QStringLiteral("--import-targets には CSV ファイルを指定してください。");
        } else if (a == QLatin1String("--export-history")) {
            c.export_history = true;
        } else if (is_option(a, QStringLiteral("--since"))) {
            history_filter = true;
            const QString text = value_of(i, QStringLiteral("--since"));
            c.since = since_time(text);
            if (!c.since)
                c.error = QStringLiteral("--since には日付（2026-12-01）か日時"
                                         "（2026-12-01T09:00:00+09:00）を指定してください: ") +
                          text;
        } else if (is_option(a, QStringLiteral("--address"))) {
            history_filter = true;
            c.address = value_of(i, QStringLiteral("--address")).trimmed();
            if (c.address.isEmpty())
                c.error = QStringLiteral("--address には IP アドレスを指定してください。");
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
    const int modes = int(c.headless || c.test_mail) + int(c.export_targets) +
                      int(!c.import_targets.isEmpty()) + int(c.export_history);
    if (c.error.isEmpty() && modes > 1)
        c.error = QStringLiteral("--headless、--test-mail、--export-targets、--import-targets、"
                                 "--export-history はどれか一つだけ指定してください。");
    if (c.error.isEmpty() && history_filter && !c.export_history)
        c.error =
            QStringLiteral("--since と --address は --export-history と一緒に指定してください。");
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
        "       pelmora --export-targets | --import-targets FILE.csv [--dir DIR]\n"
        "       pelmora --export-history [--since DATE] [--address ADDR] [--dir DIR]\n"
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
        "  --export-targets  print kanshi.ini as CSV (UTF-8 with a byte order mark):\n"
        "               address, device name, contact number, person in charge, flag\n"
        "               (0 monitored, 1 not); e.g. pelmora --export-targets > list.csv\n"
        "  --import-targets FILE.csv  replace kanshi.ini with the rows of a CSV file in\n"
        "               that form (UTF-8 or Shift_JIS, header line optional); a bad line\n"
        "               is named and nothing is changed (exit 1)\n"
        "  --export-history  print the history's samples as CSV: time, address, name,\n"
        "               answered (1/0), round trip in ms; --since 2026-12-01 (or a time\n"
        "               such as 2026-12-01T09:00:00+09:00) and --address 192.168.1.1\n"
        "               narrow it\n"
        "               The three work beside a running monitor; it takes a new list\n"
        "               on SIGHUP (--headless) or from its menu (監視対象を読み直す).\n"
        "  --dir DIR    use conf.ini and kanshi.ini in DIR, made from the samples\n"
        "               when DIR holds neither\n"
        "  --user-folder  the same with $XDG_DATA_HOME/pelmora (~/.local/share/pelmora);\n"
        "               the desktop menu starts Pelmora so\n"
        "  --listen ADDR:PORT  serve a read-only status page (/), Prometheus metrics\n"
        "               (/metrics) and JSON (/api/status) on an IPv4 address; without\n"
        "               it nothing listens. An address other than 127.x.x.x needs\n"
        "               a token file and a certificate with its key:\n"
        "  --listen-token-file FILE  a file only its owner may read holding a token\n"
        "               every request must send as \"Authorization: Bearer TOKEN\"\n"
        "  --listen-cert FILE --listen-key FILE  serve HTTPS with this PEM\n"
        "               certificate and key\n"
        "  --help       show this text and exit\n");
}
