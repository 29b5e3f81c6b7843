#pragma once
// The names of the controls the Tab key visits, in order, from first on.
#include <QStringList>
#include <QWidget>

inline QStringList tab_chain(QWidget* first) {
    QStringList chain;
    QWidget* f = first;
    do {
        if (f->focusPolicy() & Qt::TabFocus)
            chain << f->objectName();
        f = f->nextInFocusChain();
    } while (f != first);
    return chain;
}
