#pragma once
// Opening and closing the real settings window inside an AppFixture.
#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "ui/settings_window.h"

// The window the main window's Command3 opened, or nullptr.
inline SettingsWindow* settings_window(AppFixture& fx) {
    return qobject_cast<SettingsWindow*>(fx.app->settings_window().current());
}

inline SettingsWindow* open_settings(AppFixture& fx) {
    fx.main().Command3->click();
    return settings_window(fx);
}

// Closes the window with its button; it is gone afterwards.
inline void close_settings(AppFixture& fx) {
    settings_window(fx)->Command1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline int boxes_with_text(const ScriptedBoxes& boxes, const QString& text) {
    int n = 0;
    for (const BoxRequest& b : boxes.shown)
        n += b.text == text;
    return n;
}
