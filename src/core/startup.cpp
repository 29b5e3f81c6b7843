#include "core/startup.h"

#include "core/app_title.h"
#include "core/message_box.h"
#include "core/shared_state.h"

QString unreadable_at_startup_text(const QString& file_error_text) {
    return file_error_text + QStringLiteral("\n\nPelmora を終了します。");
}

QString hand_edit_warning_box_text(const QStringList& warnings) {
    if (warnings.isEmpty())
        return {};
    return QStringLiteral("設定ファイルに次の問題があります。監視はこのまま続けます。\n") +
           warnings.join(u'\n');
}

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

bool start_monitor(SharedState& state, MessageBoxes& boxes, const StartupSteps& steps) {
    if (steps.first_copy && !steps.first_copy()) {
        boxes.ok(QStringLiteral("すでに起動されています。"), app_title(), BoxIcon::Warning);
        return false;
    }
    if (steps.echo_right) {
        if (std::optional<QString> missing = steps.echo_right()) {
            boxes.ok(*missing, app_title(), BoxIcon::Critical);
            return false;
        }
    }
    const auto refuse = [&](const FileRead& read) {
        boxes.ok(unreadable_at_startup_text(read.failure().text), app_title(), BoxIcon::Critical);
        return false;
    };
    const FileRead conf = steps.load_settings(state.settings);
    if (!conf.ok())
        return refuse(conf);
    if (steps.load_mail_security) {
        const FileRead smtp = steps.load_mail_security(state.mail_security);
        if (!smtp.ok())
            return refuse(smtp);
    }
    MonitorState& monitor = state.monitor;
    monitor.set_interval_in_use(state.settings.interval_minutes);
    monitor.set_elapsed_minutes(0);
    monitor.set_notices_in_a_row(0);
    const FileRead kanshi = steps.load_targets(state.targets);
    if (!kanshi.ok())
        return refuse(kanshi);
    monitor.set_announced_targets(state.targets.count);
    const QString warnings = hand_edit_warning_box_text(conf.warnings() + kanshi.warnings());
    if (!warnings.isEmpty())
        boxes.inform({warnings, app_title(), BoxIcon::Warning},
                     MessageBoxes::Kind::HandEditWarnings);
    return true;
}
