#include "settings/text_field.h"

#include "core/app_title.h"
#include "core/cp932.h"
#include "core/message_box.h"

namespace {

// The character at the first place where text holds bad, whole even when it
// is a surrogate pair.
QString whole_character(const QString& text, QChar bad) {
    const qsizetype at = text.indexOf(bad);
    if (at < 0)
        return QString(bad);
    const qsizetype length = bad.isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    return text.mid(at, length);
}

}  // namespace

std::optional<QString> text_setting_refusal(const QString& text) {
    for (QChar c : text) {
        if (c == u'"' || c == u'\r' || c == u'\n')
            return quote_or_break_message();
    }
    if (std::optional<QChar> bad = cp932_first_unencodable(text)) {
        return QStringLiteral("「%1」は使用できません（設定ファイルの文字コード（シフトJIS）で表せない文字です）")
            .arg(whole_character(text, *bad));
    }
    return std::nullopt;
}

void TextFieldGuard::put(const QString& text) {
    quiet_ = true;
    set_text_(text);
    quiet_ = false;
}

void TextFieldGuard::fill(const QString& text) {
    put(text);
    accepted_ = text;
}

void TextFieldGuard::changed(const QString& text) {
    if (quiet_)
        return;
    if (std::optional<QString> refusal = text_setting_refusal(text)) {
        boxes_.ok(*refusal, app_title());
        put(accepted_);
        return;
    }
    accepted_ = text;
}
