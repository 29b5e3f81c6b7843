#include "mail/notice_delivery.h"

#include "core/app_title.h"

namespace {

// The step as the box names it, on a line of its own; nothing for the
// failures that came before any step.
QString step_line(DeliveryStage stage) {
    const QString name = delivery_step_text(stage);
    return name.isEmpty() ? QString() : QStringLiteral("\r\n段階：") + name;
}

} // namespace

BoxRequest delivery_failure_box(const DeliveryFailure& failure) {
    const QString error_title = QStringLiteral("エラー");
    if (failure.stage == DeliveryStage::Start)
        return {QStringLiteral("Socket:生成ができませんでした。"), error_title, BoxIcon::Critical};
    if (server_not_reached(failure))
        return {QStringLiteral("ＳＭＴＰサーバーに接続できません。\r\n"
                               "サーバー名等を確認してください。") +
                    step_line(failure.stage),
                error_title, BoxIcon::Critical};
    return {QStringLiteral("Code : ") + QString::number(failure.code) + QStringLiteral("\r\n\r\n") +
                failure.text + step_line(failure.stage),
            app_title(), BoxIcon::None};
}

bool server_not_reached(const DeliveryFailure& failure) {
    return (failure.stage == DeliveryStage::Connect || failure.stage == DeliveryStage::Greeting) &&
           failure.code == delivery_code::unreachable;
}

QString delivery_stage_name(DeliveryStage stage) {
    switch (stage) {
    case DeliveryStage::Start:
        return QStringLiteral("start");
    case DeliveryStage::Refused:
        return QStringLiteral("refused");
    case DeliveryStage::Connect:
        return QStringLiteral("connect");
    case DeliveryStage::Greeting:
        return QStringLiteral("greeting");
    case DeliveryStage::Ehlo:
        return QStringLiteral("ehlo");
    case DeliveryStage::StartTls:
        return QStringLiteral("starttls");
    case DeliveryStage::Auth:
        return QStringLiteral("auth");
    case DeliveryStage::Noop:
        return QStringLiteral("noop");
    case DeliveryStage::Mail:
        return QStringLiteral("mail");
    case DeliveryStage::Rcpt:
        return QStringLiteral("rcpt");
    case DeliveryStage::Data:
        return QStringLiteral("data");
    case DeliveryStage::MessageEnd:
        return QStringLiteral("message-end");
    case DeliveryStage::Quit:
        return QStringLiteral("quit");
    }
    return {};
}

QString delivery_step_text(DeliveryStage stage) {
    switch (stage) {
    case DeliveryStage::Start:
    case DeliveryStage::Refused:
        return {};
    case DeliveryStage::Connect:
        return QStringLiteral("接続");
    case DeliveryStage::Greeting:
        return QStringLiteral("サーバーの挨拶（グリーティング）");
    case DeliveryStage::MessageEnd:
        return QStringLiteral("本文の終わり");
    case DeliveryStage::Mail:
        return QStringLiteral("MAIL FROM");
    case DeliveryStage::Rcpt:
        return QStringLiteral("RCPT TO");
    default: // the other commands by their own names
        return delivery_stage_name(stage).toUpper();
    }
}

DeliveryReport NoticeDelivery::send(const Notice& notice) {
    const std::optional<DeliveryFailure> failure = transport_.send(notice);
    if (!failure) {
        if (!events_)
            return {};
        return [this, detail = notice_sent_detail(notice.recipient, notice.subject)] {
            events_->announce(EventKind::Notice, detail);
        };
    }
    const QString detail = events_ ? notice_failed_detail(notice.recipient, notice.subject,
                                                          delivery_stage_name(failure->stage),
                                                          failure->code, failure->text)
                                   : QString();
    return [this, detail, box = delivery_failure_box(*failure)] {
        if (events_)
            events_->announce(EventKind::Notice, detail);
        boxes_.inform(box, MessageBoxes::Kind::DeliveryFailure);
    };
}
