#pragma once
// What the program says without a window: one line on standard error, named
// after the program so that it stands out in a journal or a terminal.
#include <QString>
#include <cstdio>

inline void tell_on_stderr(const QString& line) {
    std::fputs((QStringLiteral("pelmora: ") + line + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}
