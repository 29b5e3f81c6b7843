#include "targets/editor_close.h"

#include "core/app_title.h"
#include "core/file_error.h"
#include "core/message_box.h"
#include "core/monitor_events.h"
#include "core/monitor_state.h"
#include "core/target_list.h"
#include "targets/target_file.h"
#include "targets/unwritable_record.h"

void close_target_editor(TargetList& targets, MonitorState& monitor, MessageBoxes& boxes,
                         const QString& path, MonitorEvents* events) {
    bool saved_or_skipped = true;
    if (boxes.yes_no(QStringLiteral("更新して終了します。"), QStringLiteral("終了判定"))) {
        try {
            save_target_list(targets, path);
            if (events)
                events->announce(EventKind::TargetsSaved,
                                 QStringLiteral("file=%1 targets=%2").arg(path).arg(targets.count));
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
        const FileRead read = load_target_list(targets, path);
        if (!read.ok())
            boxes.ok(read.failure().text +
                         QStringLiteral("\n\n監視設定は読み込み前のまま使われます。"),
                     app_title(), BoxIcon::Critical);
    }
    monitor.set_announced_targets(targets.count);
}
