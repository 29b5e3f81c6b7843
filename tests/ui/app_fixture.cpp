#include "app_fixture.h"

#include <QFile>

#include "core/cp932.h"

QByteArray AppFixture::three_targets() {
    return *cp932_encode(QStringLiteral("10.0.0.1\r\nA／1／a\r\n 0 \r\n"
                                        "10.0.0.2\r\nB／2／b\r\n 0 \r\n"
                                        "10.0.0.3\r\nC／3／c\r\n 0 \r\n"));
}

WorkingFiles files_in(const TempWorkDir& dir) {
    return WorkingFiles{
        dir.path(QStringLiteral("conf.ini")), dir.path(QStringLiteral("kanshi.ini")),
        dir.path(QStringLiteral("pelmora.log")), dir.path(QStringLiteral("smtp.ini"))};
}

AppFixture::AppFixture(const QByteArray& kanshi, const QByteArray& conf, const QByteArray& smtp)
    : services(MonitorParts{.boxes = boxes,
                            .engine = engine,
                            .files = files_in(dir),
                            .first_copy = [] { return true; },
                            .notices = &mail,
                            .log = std::nullopt,
                            .checks_on_workers = false}) {
    dir.write(QStringLiteral("conf.ini"), conf);
    dir.write(QStringLiteral("kanshi.ini"), kanshi);
    if (!smtp.isEmpty()) {
        dir.write(QStringLiteral("smtp.ini"), smtp);
        QFile::setPermissions(dir.path(QStringLiteral("smtp.ini")),
                              QFile::ReadOwner | QFile::WriteOwner);
    }
    app = std::make_unique<Application>(services.for_windows());
    started = app->start();
}
