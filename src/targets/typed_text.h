#pragma once
// What the editor's text boxes refuse as the operator types or pastes: a
// double quote or a line break would break the record in kanshi.ini, and a
// character outside code page 932 could not be written to it at all. Commas
// are fine: the writer quotes a text that holds one.
#include <QString>
#include <optional>

// The message for a refused text, nullopt when the text may stay.
std::optional<QString> typed_text_refusal(const QString& text);
