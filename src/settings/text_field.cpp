#include "settings/text_field.h"

#include "core/app_title.h"
#include "core/cp932.h"
#include "core/message_box.h"
#include "settings/added_text.h"
#include "settings/conf_file.h"
#include "settings/typed_input.h"

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
    const QString kept = cp932_fold_typed(text);
    // Only what the change added is judged, so that a character a hand edit
    // left in the file can still be deleted.
    if (std::optional<QString> refusal =
            file_text_refusal(added_text(accepted_, kept), settings_file_name())) {
        boxes_.ok(*refusal, app_title());
        put(accepted_);
        return;
    }
    accepted_ = kept;
    if (kept != text)
        put(kept); // show the text as it will read back
}
