#pragma once
// What one edit of a text box added: the part of `after` between what it
// shares with `before` at the start and at the end. A deletion adds nothing.
// (One typed key, a paste or an input method's commit is one such edit.)
#include <QString>

QString added_text(const QString& before, const QString& after);
