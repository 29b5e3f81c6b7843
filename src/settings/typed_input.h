#pragma once
// What the windows read from what the operator types.
#include <QString>
#include <optional>

// The whole text as a number: blanks around it, an optional sign, digits with
// an optional fraction, an optional exponent, in ASCII. nullopt for anything
// else, the empty text included. (An octet box must refuse full-width digits:
// they would end up in the stored address, which no probe could read.)
std::optional<double> whole_number(const QString& text);

// The line files store texts unescaped, one per line, in code page 932: a
// double quote or a line break could not be read back, nor could a character
// the code page lacks. The message refusing such a text for file_name, or
// nullopt when the file can hold it. Commas are fine: the writer quotes them.
// The text is judged as cp932_fold_typed gives it, which is what the window
// must keep.
std::optional<QString> file_text_refusal(const QString& text, const QString& file_name);

inline QString quote_or_break_message() {
    return QStringLiteral("「\"」（ダブルクォーテーション）や改行は使用できません");
}
