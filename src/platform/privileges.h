#pragma once
// The packaged binary carries cap_net_raw only to open its ICMP socket. Once
// that socket is open nothing else may run with a capability: Qt loads
// plugins named by the user's environment and arguments.
#include <optional>
#include <string>

// Gives up every capability of the process for good: effective, permitted,
// inheritable, ambient and, where the process may, the bounding set; exec
// can grant none again. Sockets already open keep working. Returns what went
// wrong when the effective and permitted sets do not read back empty.
std::optional<std::string> drop_all_capabilities();
