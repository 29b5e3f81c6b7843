#pragma once
// Code page 932 (Shift_JIS as Windows has it), the encoding of conf.ini,
// kanshi.ini and the texts handed to the SMTP component. All conversion
// between it and the program's Unicode text happens here.
#include <QByteArray>
#include <QString>
#include <optional>

// Bytes that are not valid code page 932 become U+FFFD, one per byte.
QString cp932_decode(const QByteArray& bytes);

// nullopt when the text holds a character code page 932 cannot represent, or
// one that would not read back as itself (¥, 〜 and the like).
std::optional<QByteArray> cp932_encode(const QString& text);

// Like cp932_encode, but such characters become '?'. For texts that must go
// out whatever they hold (mail), never for files.
QByteArray cp932_encode_lossy(const QString& text);

// The text as it will read back from a file: the characters Linux input
// methods type where Windows has its own (〜 − ‖ — ¢ £ ¬) become the ones code
// page 932 holds (～ － ∥ ― ￠ ￡ ￢). Typed text goes through this before it is
// checked or kept.
QString cp932_fold_typed(const QString& text);

// The first character of text that cp932_encode refuses, if any.
std::optional<QChar> cp932_first_unencodable(const QString& text);
