#pragma once
// One notice to the administrator, and how the check hands it to mail
// delivery. Delivery reports its own failures to the operator; the check goes
// on the same way whether the notice went out or not.
#include <QString>

struct Notice {
    QString recipient;
    QString sender;
    QString server; // "host" or "host:port"
    QString ehlo_domain;
    QString subject;
    QString body; // lines broken by CR
};

class NoticeSender {
  public:
    virtual ~NoticeSender() = default;
    virtual void send(const Notice& notice) = 0;
};
