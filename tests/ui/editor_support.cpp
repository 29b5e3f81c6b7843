#include "editor_support.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include "core/cp932.h"

QByteArray kanshi(const std::vector<Rec>& records) {
    QString text;
    for (const Rec& r : records) {
        text += r.ip + "\r\n" + r.mess + "\r\n" + (r.flag < 0 ? "-" : " ") +
                QString::number(std::abs(r.flag)) + " \r\n";
    }
    return *cp932_encode(text);
}

std::vector<Rec> numbered(int n) {
    std::vector<Rec> out;
    for (int i = 1; i <= n; ++i)
        out.push_back({QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250 + 1),
                       QStringLiteral("Dev%1／%1／P%1").arg(i), 0});
    return out;
}

TargetEditorWindow* open_editor(AppFixture& fx) {
    QTest::mouseClick(fx.main().editor_button, Qt::LeftButton);
    QApplication::processEvents();
    return qobject_cast<TargetEditorWindow*>(fx.app->target_editor().current());
}

void flush_deletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
