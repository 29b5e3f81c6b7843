#pragma once
// The one-shot commands that carry lists in and out as CSV. They run beside
// a monitor in the same folder: no lock, no monitoring, the usual safe save.
#include <QDateTime>
#include <QString>
#include <optional>

// kanshi.ini as CSV on standard output; 0 when written whole.
int run_export_targets();

// kanshi.ini from the CSV file at path, or nothing changed and every bad
// line named on standard error (1).
int run_import_targets(const QString& path);

// The history's samples as CSV on standard output, of one address or (empty)
// all, from since on; 1 when pelmora.db is missing or cannot be read.
int run_export_history(const std::optional<QDateTime>& since, const QString& address);
