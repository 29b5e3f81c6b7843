#pragma once
// The ways an operator puts text into a box, for the window tests.
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

// Replaces the box's text keystroke by keystroke, as an operator who selects
// the old value and types over it.
inline void type_over(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClicks(box, text);
}

// Replaces the box's text the way a paste does: one change.
inline void paste(QLineEdit* box, const QString& text) {
    box->selectAll();
    box->insert(text);
}

// Puts text in at the cursor the way an input method commits a conversion.
inline void commit_from_input_method(QLineEdit* box, const QString& text) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(box, &commit);
}
