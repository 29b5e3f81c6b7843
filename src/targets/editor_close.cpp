#include "targets/editor_close.h"

#include "core/app_title.h"
#include "core/display_texts.h"
#include "core/file_error.h"
#include "core/message_box.h"
#include "core/monitor_display.h"
#include "core/shared_state.h"
#include "targets/target_file.h"
#include "targets/unwritable_record.h"

void Form_QueryUnload(SharedState& state, MessageBoxes& boxes, MonitorDisplay& display,
                      const QString& path) {
    bool saved_or_skipped = true;
    if (boxes.yes_no(QStringLiteral("更新して終了します。"), QStringLiteral("終了判定"))) {
        try {
            save_target_list(state, path);
        } catch (const UnwritableRecord& e) {
            // closing again cannot help until the record is mended
            saved_or_skipped = false;
            boxes.ok(e.text + QStringLiteral("変更した監視設定はこのまま監視に使われます。"
                                             "もう一度「監視設定」を開いてこの項目を直し、"
                                             "「更新」してから閉じると、保存できます。"),
                     app_title(), BoxIcon::Critical);
        } catch (const FileError& e) {
            saved_or_skipped = false;
            boxes.ok(e.text + QStringLiteral("\n\n変更した監視設定はこのまま監視に使われます。"
                                             "もう一度「監視設定」を開いて閉じると、"
                                             "保存をやり直せます。"),
                     app_title(), BoxIcon::Critical);
        }
    }
    if (saved_or_skipped) {
        try {
            load_target_list(state, path);
        } catch (const FileError& e) {
            boxes.ok(e.text + QStringLiteral("\n\n監視設定は読み込み前のまま使われます。"),
                     app_title(), BoxIcon::Critical);
        }
    }
    display.set_Label3(label3_text(state.dat_count));
}
