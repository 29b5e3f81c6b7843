#pragma once
#include <QString>

// The caption of the main window and of every message box without a title of its own.
inline QString app_title() {
    return QStringLiteral("Pelmora");
}
