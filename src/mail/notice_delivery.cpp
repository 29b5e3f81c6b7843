#include "mail/notice_delivery.h"

#include "core/app_title.h"

BoxRequest delivery_failure_box(const DeliveryFailure& failure) {
    const QString error_title = QStringLiteral("エラー");
    if (failure.stage == DeliveryStage::Start)
        return {QStringLiteral("Socket:生成ができませんでした。"), error_title, BoxIcon::Critical};
    if (failure.stage == DeliveryStage::Connect && failure.code == delivery_code::unreachable)
        return {QStringLiteral("ＳＭＴＰサーバーに接続できません。\r\n"
                               "サーバー名等を確認してください。"),
                error_title, BoxIcon::Critical};
    return {QStringLiteral("Code : ") + QString::number(failure.code) + QStringLiteral("\r\n\r\n") +
                failure.text,
            app_title(), BoxIcon::None};
}

QString delivery_stage_name(DeliveryStage stage) {
    switch (stage) {
    case DeliveryStage::Start:
        return QStringLiteral("start");
    case DeliveryStage::Refused:
        return QStringLiteral("refused");
    case DeliveryStage::Connect:
        return QStringLiteral("connect");
    case DeliveryStage::Session:
        return QStringLiteral("session");
    case DeliveryStage::Sender:
        return QStringLiteral("sender");
    case DeliveryStage::Recipient:
        return QStringLiteral("recipient");
    case DeliveryStage::Data:
        return QStringLiteral("data");
    }
    return {};
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
