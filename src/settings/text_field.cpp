#include "settings/text_field.h"

#include "core/app_title.h"
#include "core/message_box.h"
#include "core/typed_input.h"
#include "settings/conf_file.h"

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
    if (std::optional<QString> refusal = file_text_refusal(text, settings_file_name())) {
        boxes_.ok(*refusal, app_title());
        put(accepted_);
        return;
    }
    accepted_ = text;
}
