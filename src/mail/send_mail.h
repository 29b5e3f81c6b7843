#pragma once
// Mail delivery of the notices: one complete cycle of the SMTP component per
// notice, failures shown to the operator and nothing told to the caller.
#include "core/message_box.h"
#include "core/notice_sender.h"
#include "mail/smtp_component.h"

class SmtpNoticeSender : public NoticeSender {
  public:
    SmtpNoticeSender(SmtpComponent& smtp, MessageBoxes& boxes) : smtp_(smtp), boxes_(boxes) {}

    void SendMail(const QString& to_mailadd, const QString& from_mailadd, const QString& pop_server,
                  const QString& from_maildomain, const QString& chk_err_msg,
                  const QString& chk_err_tit) override;

  private:
    SmtpComponent& smtp_;
    MessageBoxes& boxes_;
};
