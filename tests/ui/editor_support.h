#pragma once
// Helpers for the target editor tests: kanshi.ini contents, opening the
// editor through the main window, and typing into its boxes.
#include <QByteArray>
#include <QString>
#include <vector>

#include "app_fixture.h"
#include "typing.h"
#include "ui/target_editor_window.h"

class QLineEdit;

struct Rec {
    QString ip;
    QString mess;
    int flag = 0;
};

// The file bytes of these records, as the program writes them.
QByteArray kanshi(const std::vector<Rec>& records);
// n records 10.0.x.y with descriptions Dev<i>／<i>／P<i>.
std::vector<Rec> numbered(int n);

// Clicks the main window's "監視設定(&I)" and lets a just-opened window settle.
// Returns the editor, or nullptr when none is open.
TargetEditorWindow* open_editor(AppFixture& fx);
// Lets closed windows go (they delete themselves later).
void flush_deletes();
