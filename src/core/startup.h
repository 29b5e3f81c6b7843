#pragma once
// Start-up, run once before the main window is shown: refuse a second copy,
// read conf.ini, give the labels their first texts, read kanshi.ini.
#include <QString>
#include <functional>
#include <optional>

#include "settings/conf_file.h"
#include "targets/target_file.h"

struct SharedState;
class MonitorDisplay;
class MessageBoxes;

struct StartupFiles {
    QString conf = conf_file_name();
    QString targets = target_file_name();
};

// Whether the program may send ICMP echo; the operator's explanation when not.
using EchoRightCheck = std::function<std::optional<QString>()>;

// first_copy answers whether no other copy is running (and claims the right
// to run). echo_right tells whether echo requests can be sent at all: without
// that right every device would look dead, so the program says why and ends
// instead. Returns false when the program must end: a second copy, no right
// to send echo, or a file that could not be read. The operator has been told
// why in a message box.
bool Form_Load(SharedState& state, MonitorDisplay& display, MessageBoxes& boxes,
               const std::function<bool()>& first_copy, const StartupFiles& files = {},
               const EchoRightCheck& echo_right = {});

// The explanation for a system that refuses both kinds of ICMP socket.
QString echo_right_message(int error_number, const QString& binary_path);
