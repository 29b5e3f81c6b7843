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

} // namespace

QString echo_right_message(int error_number, const QString& binary_path) {
    return QStringLiteral(
               "ICMP エコー要求を送信する権限がありません（%1）。\n"
               "このままでは全ての機器が応答なしと判定されるため、Pelmora を終了します。\n\n"
               "次のどちらかを設定してから起動してください。\n"
               "・ICMP ソケットの利用を許可する:\n"
               "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
               "・実行ファイルに権限を与える:\n"
               "    sudo setcap cap_net_raw+ep %2")
        .arg(system_reason(error_number), binary_path);
}

bool Form_Load(SharedState& state, MonitorDisplay& display, MessageBoxes& boxes,
               const std::function<bool()>& first_copy, const StartupFiles& files,
               const EchoRightCheck& echo_right) {
    if (!first_copy()) {
        boxes.ok(QStringLiteral("すでに起動されています。"), app_title(), BoxIcon::Warning);
        return false;
    }
    if (echo_right) {
        if (std::optional<QString> missing = echo_right()) {
            boxes.ok(*missing, app_title(), BoxIcon::Critical);
            return false;
        }
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
