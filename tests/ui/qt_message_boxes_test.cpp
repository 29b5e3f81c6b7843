// The real message boxes: what the operator can and cannot answer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/qt_message_boxes.h"

namespace {

// Runs steps against the box once it is up, one event-loop turn apart.
void when_shown(std::function<void(QMessageBox*)> step) {
    QTimer::singleShot(50, [step] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                step(box);
                return;
            }
        }
    });
}

QPushButton* button(QMessageBox* box, const QString& caption) {
    for (QAbstractButton* b : box->buttons())
        if (b->text() == caption)
            return qobject_cast<QPushButton*>(b);
    return nullptr;
}

} // namespace

TEST(QtMessageBoxes, AQuestionIgnoresEscapeAndTheCloseBox) {
    QtMessageBoxes boxes;
    bool still_up_after_escape = false;
    when_shown([&](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        box->close();
        QTimer::singleShot(50, [&, box = QPointer<QMessageBox>(box)] {
            still_up_after_escape = box && box->isVisible();
            if (box)
                button(box, QStringLiteral("いいえ(&N)"))->click();
        });
    });
    EXPECT_EQ(boxes.show({QStringLiteral("更新して終了します。"), QStringLiteral("終了判定"),
                          BoxIcon::None, BoxButtons::YesNo, BoxAnswer::Yes}),
              BoxAnswer::No);
    EXPECT_TRUE(still_up_after_escape);
}

TEST(QtMessageBoxes, ReturnTakesTheDefaultAnswerAndLineBreaksShowAsLines) {
    QtMessageBoxes boxes;
    QString shown;
    when_shown([&](QMessageBox* box) {
        shown = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(boxes.show({QStringLiteral("a\rb\r\nc"), QStringLiteral("t"), BoxIcon::None,
                          BoxButtons::YesNo, BoxAnswer::Yes}),
              BoxAnswer::Yes);
    EXPECT_EQ(shown, QStringLiteral("a\nb\nc"));
}

TEST(QtMessageBoxes, ABoxBelongsToTheActiveWindow) {
    QWidget owner;
    owner.show();
    QApplication::setActiveWindow(&owner);
    QWidget* parent = nullptr;
    when_shown([&](QMessageBox* box) {
        parent = box->parentWidget();
        box->accept();
    });
    QtMessageBoxes boxes;
    boxes.ok(QStringLiteral("x"), QStringLiteral("Pelmora"));
    EXPECT_EQ(parent, &owner); // shown over it, and the keyboard goes back to it
}
