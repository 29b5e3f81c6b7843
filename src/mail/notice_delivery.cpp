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

DeliveryReport NoticeDelivery::send(const Notice& notice) {
    const std::optional<DeliveryFailure> failure = transport_.send(notice);
    if (!failure)
        return {};
    return [this, box = delivery_failure_box(*failure)] {
        boxes_.inform(box, MessageBoxes::Kind::DeliveryFailure);
    };
}
