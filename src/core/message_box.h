#pragma once
// Every message box of the program goes through this interface, so that a
// test can answer it and read what it would have shown.
#include <QString>
#include <QStringList>

enum class BoxIcon { None, Information, Warning, Critical, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

struct BoxRequest {
    QString text; // exactly as the program composes it (CR, CR LF or LF breaks)
    QString title;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    BoxAnswer default_answer = BoxAnswer::Ok;
};

// The lines of a box's text, whatever breaks them (CR LF, CR or LF); empty
// lines are kept.
inline QStringList box_text_lines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return text.split(u'\n');
}

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the operator's answer.
    virtual BoxAnswer show(const BoxRequest& request) = 0;

    // Shows a box with just OK that holds nothing back: the program goes on
    // while it is up. A box of the same kind still on screen is replaced, so
    // there is never more than one of a kind. Without a screen of its own, a
    // box waits like any other.
    enum class Kind { HandEditWarnings, DeliveryFailure, HistoryFailure };
    virtual void inform(const BoxRequest& request, Kind) { show(request); }

    // The common shapes.
    void ok(const QString& text, const QString& title, BoxIcon icon = BoxIcon::None) {
        show({text, title, icon, BoxButtons::Ok, BoxAnswer::Ok});
    }
    bool yes_no(const QString& text, const QString& title, BoxIcon icon = BoxIcon::None) {
        return show({text, title, icon, BoxButtons::YesNo, BoxAnswer::Yes}) == BoxAnswer::Yes;
    }
};
