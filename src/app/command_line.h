#pragma once
// The program's own options. Anything starting with a single dash is left to
// Qt (-platform, -style ...); an unknown double-dash option is an error.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "web/web_server.h"

struct CommandLine {
    bool help = false;
    bool headless = false;
    QString dir;              // --dir DIR: the folder of the program's files
    bool user_folder = false; // --user-folder: the per-user folder (menu starts)
    bool test_mail = false;   // --test-mail: send one test mail and end
    // One-shot commands beside a running monitor: they take no lock.
    bool export_targets = false;    // --export-targets: kanshi.ini as CSV on standard output
    QString import_targets;         // --import-targets FILE: kanshi.ini from a CSV file
    bool export_history = false;    // --export-history: the samples as CSV on standard output
    std::optional<QDateTime> since; // --since DATE: samples from then on
    QString address;                // --address ADDR: the samples of one device
    // Milliseconds in a monitoring "minute"; for tests that cannot wait.
    std::optional<int> minute_ms;
    // --listen ADDR:PORT: the read-only web endpoint; none: nothing listens.
    std::optional<ListenOptions> listen;
    QString error; // not empty: the options could not be understood
};

CommandLine parse_command_line(const QStringList& arguments);

QString usage_text();
