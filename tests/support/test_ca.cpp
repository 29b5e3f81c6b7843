#include "support/test_ca.h"

#include <QFile>
#include <QProcess>
#include <stdexcept>

namespace {

void openssl(const QString& dir, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        throw std::runtime_error("openssl " + arguments.join(' ').toStdString() + ": " +
                                 process.readAll().toStdString());
}

const QStringList kKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                       QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

} // namespace

TestCa::TestCa() {
    if (!dir_.isValid())
        throw std::runtime_error("test CA: no temporary directory");
    openssl(dir_.path(),
            QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kKey +
                QStringList{QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=Pelmora Test CA"), QStringLiteral("-keyout"),
                            QStringLiteral("ca.key"), QStringLiteral("-out"),
                            QStringLiteral("ca.crt")});
}

QString TestCa::cert() const {
    return dir_.filePath(QStringLiteral("ca.crt"));
}

ServerCertificate TestCa::issue(const QString& name, const QString& san, int valid_days) {
    QFile extensions(dir_.filePath(name + QStringLiteral(".ext")));
    if (!extensions.open(QIODevice::WriteOnly))
        throw std::runtime_error("test CA: cannot write the extensions");
    extensions.write("basicConstraints=CA:FALSE\nsubjectAltName=" + san.toUtf8() + "\n");
    extensions.close();
    const QString key = name + QStringLiteral(".key");
    const QString csr = name + QStringLiteral(".csr");
    const QString crt = name + QStringLiteral(".crt");
    openssl(dir_.path(),
            QStringList{QStringLiteral("req")} + kKey +
                QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
                            QStringLiteral("-keyout"), key, QStringLiteral("-out"), csr});
    openssl(dir_.path(),
            {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), csr,
             QStringLiteral("-CA"), QStringLiteral("ca.crt"), QStringLiteral("-CAkey"),
             QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"), QStringLiteral("-days"),
             QString::number(valid_days), QStringLiteral("-extfile"), name + QStringLiteral(".ext"),
             QStringLiteral("-out"), crt});
    return {dir_.filePath(crt), dir_.filePath(key)};
}
