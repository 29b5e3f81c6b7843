#include "app_fixture.h"

#include <QFile>

#include "core/cp932.h"

QByteArray AppFixture::three_targets() {
    return *cp932_encode(QStringLiteral("10.0.0.1\r\nA／1／a\r\n 0 \r\n"
                                        "10.0.0.2\r\nB／2／b\r\n 0 \r\n"
                                        "10.0.0.3\r\nC／3／c\r\n 0 \r\n"));
}

AppFixture::AppFixture(const QByteArray& kanshi, const QByteArray& conf, const QByteArray& smtp) {
    dir.write(QStringLiteral("conf.ini"), conf);
    dir.write(QStringLiteral("kanshi.ini"), kanshi);
    if (!smtp.isEmpty()) {
        dir.write(QStringLiteral("smtp.ini"), smtp);
        QFile::setPermissions(dir.path(QStringLiteral("smtp.ini")),
                              QFile::ReadOwner | QFile::WriteOwner);
    }
    app = std::make_unique<Application>(Services{
        state, boxes, engine, mail, [] { return true; },
        WorkingFiles{dir.path(QStringLiteral("conf.ini")), dir.path(QStringLiteral("kanshi.ini")),
                     dir.path(QStringLiteral("pelmora.log")),
                     dir.path(QStringLiteral("smtp.ini"))}});
    started = app->start();
}
