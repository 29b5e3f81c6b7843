#include "support/work_dir.h"

#include <QDir>
#include <QFile>
#include <stdexcept>
#include <unistd.h>

TempWorkDir::TempWorkDir() {
    if (!dir_.isValid())
        throw std::runtime_error("no temporary directory");
    // let an unprivileged effective user reach the files (see AsUnprivileged)
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                           QFileDevice::ExeGroup);
}

void TempWorkDir::write(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArray TempWorkDir::read(const QString& name) const {
    QFile f(path(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

AsUnprivileged::AsUnprivileged() {
    if (::geteuid() == 0) {
        if (::setegid(65534) == 0 && ::seteuid(65534) == 0)
            switched_ = true;
    }
}

AsUnprivileged::~AsUnprivileged() {
    if (switched_) {
        if (::seteuid(0) != 0 || ::setegid(0) != 0)
            std::terminate();
    }
}

QByteArray conf_bytes(int interval, int ribenzi, int ttl, int yokusi, const QByteArray& server) {
    auto num = [](int n) {
        return (n < 0 ? QByteArray("-") : QByteArray(" ")) + QByteArray::number(std::abs(n)) +
               " \r\n";
    };
    return "admin@example.com\r\npelmora@example.com\r\n" + server + "\r\nexample.com\r\n" +
           num(interval) + num(ribenzi) + num(ttl) + num(yokusi);
}

void use_test_lock(QProcessEnvironment& env) {
    static const TempWorkDir folder;
    env.insert(QStringLiteral("PELMORA_TEST_LOCK_DIR"), folder.root());
}
