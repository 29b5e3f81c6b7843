#pragma once
// Start-up, run once before the main window is shown: refuse a second copy,
// read conf.ini, give the labels their first texts, read kanshi.ini.
#include <QString>
#include <functional>

#include "settings/conf_file.h"
#include "targets/target_file.h"

struct SharedState;
class MonitorDisplay;
class MessageBoxes;

struct StartupFiles {
    QString conf = conf_file_name();
    QString targets = target_file_name();
};

// first_copy answers whether no other copy is running (and claims the right
// to run). Returns false when the program must end: a second copy, or a file
// that could not be read. The operator has been told why in a message box.
bool Form_Load(SharedState& state, MonitorDisplay& display, MessageBoxes& boxes,
               const std::function<bool()>& first_copy, const StartupFiles& files = {});
