#include "mail/address_check.h"

std::optional<QString> mail_address_refusal(const QString& address, const QString& setting_name) {
    for (const QChar c : address) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return setting_name + QStringLiteral("に改行などの制御文字が含まれています。"
                                                 "設定を確認してください。");
        if (c == u'<' || c == u'>')
            return setting_name + QStringLiteral("に「%1」が含まれています。"
                                                 "設定を確認してください。")
                                      .arg(c);
        if (c == u' ' || c == u'\u3000')
            return setting_name + QStringLiteral("に空白が含まれています。"
                                                 "設定を確認してください。");
    }
    return std::nullopt;
}
