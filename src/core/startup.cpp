#include "core/startup.h"

#include "core/app_title.h"
#include "core/display_texts.h"
#include "core/file_error.h"
#include "core/message_box.h"
#include "core/monitor_display.h"
#include "core/shared_state.h"

namespace {

void report_unreadable(MessageBoxes& boxes, const FileError& e) {
    boxes.ok(e.text + QStringLiteral("\n\nPelmora を終了します。"), app_title(), BoxIcon::Critical);
}

}  // namespace

bool Form_Load(SharedState& state, MonitorDisplay& display, MessageBoxes& boxes,
               const std::function<bool()>& first_copy, const StartupFiles& files) {
    if (!first_copy()) {
        boxes.ok(QStringLiteral("すでに起動されています。"), app_title(), BoxIcon::Warning);
        return false;
    }
    try {
        conf_load(state, files.conf);
        display.set_Label7(QString::number(state.chk_interval));
        display.set_Label6(QStringLiteral("0"));
        state.chk_yokusi_cnt = 0;
        display.set_Yokusi_view(yokusi_view_text(state.chk_yokusi_cnt));
        load_target_list(state, files.targets);
        display.set_Label3(label3_text(state.dat_count));
    } catch (const FileError& e) {
        report_unreadable(boxes, e);
        return false;
    }
    return true;
}
