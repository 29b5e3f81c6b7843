#pragma once
// A certificate authority made for one test with openssl, in a temporary
// directory: its certificate, and server certificates it signed. Throws
// std::runtime_error when openssl fails.
#include <QString>
#include <QTemporaryDir>

struct ServerCertificate {
    QString cert, key; // PEM files
};

class TestCa {
  public:
    TestCa();
    QString cert() const; // the CA's certificate, a PEM file to trust
    // A server certificate whose subject alternative name is san
    // ("IP:127.0.0.1", "DNS:other.example"); one that expired yesterday
    // when valid_days is -1.
    ServerCertificate issue(const QString& name, const QString& san, int valid_days = 2);

  private:
    QTemporaryDir dir_;
};
