#pragma once
// One notice to the administrator, and how the check hands it to mail
// delivery. Delivery reports its own failures to the operator; the check goes
// on the same way whether the notice went out or not.
#include <QString>
#include <functional>

#include "core/mail_security.h"

struct Notice {
    QString recipient;
    QString sender;
    QString server; // "host" or "host:port"
    QString ehlo_domain;
    QString subject;
    QString body;          // lines broken by CR
    MailSecurity security; // as it stands when the notice is made
};

// What delivery has to tell the operator once a send is over; empty when
// there is nothing to tell. It runs on the window's thread, where boxes live.
using DeliveryReport = std::function<void()>;

class NoticeSender {
  public:
    virtual ~NoticeSender() = default;
    // May block for the whole SMTP dialogue: the check calls it off the
    // window's thread and runs the report afterwards on its own.
    virtual DeliveryReport send(const Notice& notice) = 0;
};
