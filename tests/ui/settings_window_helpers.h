#pragma once
// Opening and closing the real settings window inside an AppFixture.
#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "ui/settings_window.h"

// The window the main window's 環境設定 opened, or nullptr.
inline SettingsWindow* settings_window(AppFixture& fx) {
    return qobject_cast<SettingsWindow*>(fx.app->settings_window().current());
}

inline SettingsWindow* open_settings(AppFixture& fx) {
    fx.main().settings_button->click();
    return settings_window(fx);
}

// Closes the window with its button; it is gone afterwards.
inline void close_settings(AppFixture& fx) {
    settings_window(fx)->exit_button->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline int boxes_with_text(const ScriptedBoxes& boxes, const QString& text) {
    int n = 0;
    for (const BoxRequest& b : boxes.shown)
        n += b.text == text;
    return n;
}
