#include "app/command_line.h"

CommandLine parse_command_line(const QStringList& arguments) {
    CommandLine c;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
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
    return c;
}

QString usage_text() {
    return QStringLiteral(
        "Usage: pelmora [--headless | --test-mail] [--dir DIR | --user-folder]\n"
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
        "  --help       show this text and exit\n");
}
