#pragma once
// The program's own options. Anything starting with a single dash is left to
// Qt (-platform, -style ...); an unknown double-dash option is an error.
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
    // Milliseconds in a monitoring "minute"; for tests that cannot wait.
    std::optional<int> minute_ms;
    // --listen ADDR:PORT: the read-only web endpoint; none: nothing listens.
    std::optional<ListenOptions> listen;
    QString error; // not empty: the options could not be understood
};

CommandLine parse_command_line(const QStringList& arguments);

QString usage_text();
