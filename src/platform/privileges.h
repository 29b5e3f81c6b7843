#pragma once
// Started as root or by the service with an ambient capability, the program
// hands the raw socket to pelmora-echo first. Nothing else may run with a
// capability: Qt loads plugins named by the user's environment and arguments.
#include <optional>
#include <string>

// Gives up every capability of the process for good: effective, permitted,
// inheritable, ambient and, where the process may, the bounding set. A file
// capability still works through exec, so that pelmora-echo can be started
// again should it die; the program's own binary carries none. Returns what went
// wrong when the effective and permitted sets do not read back empty.
std::optional<std::string> drop_all_capabilities();
