#pragma once
// Every message box of the program goes through this interface, so that a
// test can answer it and read what it would have shown.
#include <QString>

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

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the operator's answer.
    virtual BoxAnswer show(const BoxRequest& request) = 0;

    // The common shapes.
    void ok(const QString& text, const QString& title, BoxIcon icon = BoxIcon::None) {
        show({text, title, icon, BoxButtons::Ok, BoxAnswer::Ok});
    }
    bool yes_no(const QString& text, const QString& title, BoxIcon icon = BoxIcon::None) {
        return show({text, title, icon, BoxButtons::YesNo, BoxAnswer::Yes}) == BoxAnswer::Yes;
    }
};
