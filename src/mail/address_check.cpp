#include "mail/address_check.h"

std::optional<DeliveryFailure> mail_address_refusal(const QString& address,
                                                    const QString& setting_name) {
    const auto refused = [&](const QString& what) {
        return DeliveryFailure{DeliveryStage::Refused, delivery_code::refused_setting,
                               setting_name + what + QStringLiteral("設定を確認してください。")};
    };
    for (const QChar c : address) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return refused(QStringLiteral("に改行などの制御文字が含まれています。"));
        if (c == u'<' || c == u'>')
            return refused(QStringLiteral("に「%1」が含まれています。").arg(c));
        if (c == u' ' || c == u'\u3000')
            return refused(QStringLiteral("に空白が含まれています。"));
    }
    return std::nullopt;
}
