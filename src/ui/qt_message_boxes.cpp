#include "ui/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon to_qt(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Critical:
        return QMessageBox::Critical;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The program's texts break lines with CR, CR LF or LF; a label wants LF.
QString display_text(const QString& text) {
    return box_text_lines(text).join(u'\n');
}

} // namespace

BoxAnswer QtMessageBoxes::show(const BoxRequest& request) {
    // A box belongs to the window it speaks for: shown over it, and the
    // keyboard goes back to it when the box closes.
    QMessageBox box(to_qt(request.icon), request.title, display_text(request.text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    if (request.buttons == BoxButtons::YesNo) {
        // A question is answered はい or いいえ and nothing else: Escape or the
        // close box must not answer いいえ for the operator (after the target
        // editor's question that would undo every change of the session). A
        // box without a reject or "no" role button has no escape answer, and
        // ignores both.
        QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::AcceptRole);
        QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::ActionRole);
        box.setDefaultButton(request.default_answer == BoxAnswer::No ? no : yes);
        box.exec();
        return box.clickedButton() == yes ? BoxAnswer::Yes : BoxAnswer::No;
    }
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
    return BoxAnswer::Ok;
}

void QtMessageBoxes::inform(const BoxRequest& request, Kind kind) {
    if (QPointer<QMessageBox>& old = shown_[kind])
        old->close(); // the newer one says what holds now
    auto* box = new QMessageBox(to_qt(request.icon), request.title, display_text(request.text),
                                QMessageBox::NoButton, QApplication::activeWindow());
    box->setTextFormat(Qt::PlainText);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    shown_[kind] = box;
}
