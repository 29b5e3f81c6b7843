#pragma once
// How the sweep hands one notice to mail delivery. SendMail shows its own
// message boxes on failure and tells the caller nothing.
#include <QString>

class NoticeSender {
  public:
    virtual ~NoticeSender() = default;
    virtual void SendMail(const QString& to_mailadd, const QString& from_mailadd,
                          const QString& pop_server, const QString& from_maildomain,
                          const QString& chk_err_msg, const QString& chk_err_tit) = 0;
};
