#pragma once
// The subjects and bodies of the three notices the sweep mails. Lines inside
// a notice are broken by a single CR, as the administrator's mail reader has
// always received them.
#include <QString>

#include "core/int16.h"

// One line of the failure report: "＜", the failure's number in this sweep,
// "件目＞", the target's description, CR.
QString failure_report_line(int16 failure_number, const QString& mess);

// Network障害連絡（n件障害）
QString failure_subject(int16 failure_count);

// Network障害連絡（復旧）
QString recovery_subject();
// Failures cleared before the stop value was reached. interval_text is the
// interval as the main window shows it.
QString recovery_body(const QString& interval_text, int16 stop_after_notices);

// Network障害連絡（監視自動復旧）
QString auto_recovery_subject();
// The stop ended by itself after clean sweeps.
QString auto_recovery_body(const QString& interval_text);
