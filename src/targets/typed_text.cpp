#include "targets/typed_text.h"

#include "core/cp932.h"

std::optional<QString> typed_text_refusal(const QString& text) {
    if (text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n'))
        return QStringLiteral("ダブルクォーテーション（\"）と改行は入力できません。");
    if (const std::optional<QChar> bad = cp932_first_unencodable(text)) {
        // half of a surrogate pair would show as garbage
        const QString shown = bad->isSurrogate() ? QString() : QStringLiteral("「%1」").arg(*bad);
        return shown + QStringLiteral("kanshi.ini に保存できない文字は入力できません。");
    }
    return std::nullopt;
}
