#pragma once
// Delivery of the notices: one transport call per notice; a failure is shown
// to the operator in one of three boxes and nothing is told to the caller.
// The box holds nothing back (monitoring must not wait for an OK), and only
// the latest failure stays on screen.
#include "core/message_box.h"
#include "core/monitor_events.h"
#include "core/notice.h"
#include "mail/mail_transport.h"

class NoticeDelivery : public NoticeSender {
  public:
    // With events, every notice is announced with how it went, on the
    // thread that runs the report.
    NoticeDelivery(MailTransport& transport, MessageBoxes& boxes, MonitorEvents* events = nullptr)
        : transport_(transport), boxes_(boxes), events_(events) {}

    DeliveryReport send(const Notice& notice) override;

  private:
    MailTransport& transport_;
    MessageBoxes& boxes_;
    MonitorEvents* events_;
};

// The stage's name in the log ("ehlo"), and in the boxes ("EHLO", "接続").
QString delivery_stage_name(DeliveryStage stage);
QString delivery_step_text(DeliveryStage stage);

// Not connected, or connected and never greeted (code 0).
bool server_not_reached(const DeliveryFailure& failure);

// The box a failure is shown in:
//  - the mail library not ready: "Socket:生成ができませんでした。", title エラー;
//  - the server not reached: "ＳＭＴＰサーバーに接続できません。" and what to
//    check, title エラー;
//  - anything else: "Code : " and the code, an empty line, the text, under
//    the program's title.
// Where a step was under way, a last line names it: "段階：EHLO".
BoxRequest delivery_failure_box(const DeliveryFailure& failure);
