#pragma once
// Making the controls of the three windows: each keeps the form's control
// name ("Text5") as its object name, which the tests and the keyboard
// map go on using; the member that holds it says what it shows or does.
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// An Alt+letter that is no access key does nothing: a text box would take it
// as the letter, and a letter in an octet box throws away the record's
// unstored edits. Access keys never get here, the shortcut map takes them
// first; Ctrl+Alt (AltGr on some keyboards) still types.
class DropStrayAltKeys : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<const QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers();
        return mods.testFlag(Qt::AltModifier) && !mods.testFlag(Qt::ControlModifier) &&
               !key->text().isEmpty() && key->text().at(0).isPrint();
    }
};

template <class W> W* named_control(W* w, const char* name, QRect place) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(place);
    w->installEventFilter(new DropStrayAltKeys(w));
    return w;
}

inline QLabel* make_label(QWidget* parent, const char* name, const QString& caption, QRect place) {
    return named_control(new QLabel(caption, parent), name, place);
}

inline QLineEdit* make_text_box(QWidget* parent, const char* name, const QString& text,
                                QRect place) {
    return named_control(new QLineEdit(text, parent), name, place);
}

// An access key (Alt and the underlined letter) acts as a click, and a click
// gives the button the focus; Qt's shortcut only clicks. Operators who use
// the keyboard must end up where mouse users do (the main window refreshes
// the interval when 環境設定 gets the focus back).
class FocusOnAccessKey : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Shortcut) {
            auto* button = static_cast<QWidget*>(watched);
            if (button->isEnabled() && button->focusPolicy() != Qt::NoFocus)
                button->setFocus(Qt::ShortcutFocusReason);
        }
        return false;
    }
};

// Buttons act only when clicked or pressed themselves: Return in a text box
// must not press a button by default.
inline QPushButton* make_button(QWidget* parent, const char* name, const QString& caption,
                                QRect place) {
    QPushButton* b = named_control(new QPushButton(caption, parent), name, place);
    b->setAutoDefault(false);
    b->installEventFilter(new FocusOnAccessKey(b));
    return b;
}
