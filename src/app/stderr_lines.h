#pragma once
// What the program says without a window: one line on standard error, named
// after the program so that it stands out in a journal or a terminal. What
// the line quotes from outside (a server's reply) stays visible and on it.
#include <QString>
#include <cstdio>

#include "core/monitor_events.h"

inline void tell_on_stderr(const QString& line) {
    std::fputs((QStringLiteral("pelmora: ") + visible_line(line) + u'\n').toLocal8Bit().constData(),
               stderr);
    std::fflush(stderr);
}
