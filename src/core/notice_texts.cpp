#include "core/notice_texts.h"

namespace {
constexpr QChar kCr = u'\r';
}

QString failure_report_line(int16 failure_number, const QString& mess) {
    return QStringLiteral("＜") + QString::number(failure_number) + QStringLiteral("件目＞") +
           mess + kCr;
}

QString failure_subject(int16 failure_count) {
    return QStringLiteral("Network障害連絡（") + QString::number(failure_count) +
           QStringLiteral("件障害）");
}

QString recovery_subject() {
    return QStringLiteral("Network障害連絡（復旧）");
}

QString recovery_body(const QString& interval_text, int16 stop_after_notices) {
    return interval_text + QStringLiteral("分毎の監視でネットワーク障害による監視停止値（") +
           QString::number(stop_after_notices) + QStringLiteral("回）前に問題解決しました。") +
           kCr + QStringLiteral("連続障害メールの配信回数を初期値（０）にして監視を続行します。");
}

QString auto_recovery_subject() {
    return QStringLiteral("Network障害連絡（監視自動復旧）");
}

QString auto_recovery_body(const QString& interval_text) {
    // The text says two clean checks although the stop ends with the third;
    // administrators know the wording, so it stays.
    return QStringLiteral("障害発生に伴う監視停止から") + interval_text +
           QStringLiteral("分毎監視を行い、連続２回障害を検知しませんでした。") + kCr +
           QStringLiteral("ネットワーク障害は復旧したと判断しました。") + kCr +
           QStringLiteral("監視処理は配信通知停止及び監視を自動復旧しました。") + kCr +
           QStringLiteral("(監視処理は再開始されました)");
}
