#pragma once
// The four number fields of the settings window (interval, failure tolerance,
// TTL, stop value) take 1..255. The check runs on every change of a field, so
// a refused keystroke puts the stored value back at once.
#include <QString>
#include <functional>
#include <optional>

#include "core/int16.h"

class MessageBoxes;

inline constexpr double kFieldMin = 1;
inline constexpr double kFieldMax = 255;

inline QString range_message() {
    return QStringLiteral("1～255の値で設定してください");
}

// Whether the text is a number from 1 to 255 (fractions included).
bool in_field_range(const QString& text);

// The text as the setting holds it: the nearest integer, an exact half going
// to the even neighbour. nullopt when it is no number or leaves 16 bits.
std::optional<int16> field_to_int16(const QString& text);

// The range check of one number field.
class NumberFieldCheck {
  public:
    // set_text puts a text into the field; that is itself a change of the field.
    NumberFieldCheck(MessageBoxes& boxes, std::function<void(const QString&)> set_text)
        : boxes_(boxes), set_text_(std::move(set_text)) {}

    // Runs on every change of the field's text. stored is the setting's current
    // value, which a refused text gives way to.
    void changed(const QString& text, int16 stored);

  private:
    MessageBoxes& boxes_;
    std::function<void(const QString&)> set_text_;
};
