#include "targets/unwritable_record.h"

#include <array>

#include "core/cp932.h"
#include "core/line_file.h"
#include "core/target_list.h"
#include "targets/record_split.h"

namespace {

// The writer's own refusal of one text, so that this check cannot drift from
// what saving does.
std::optional<QString> writer_refusal(const QString& text, const QString& file_name) {
    LineWriter one;
    one.text(text);
    try {
        one.bytes(file_name);
    } catch (const FileError& e) {
        return e.text;
    }
    return std::nullopt;
}

bool holds_fault(const QString& part) {
    return part.contains(u'"') || part.contains(u'\r') || part.contains(u'\n') ||
           cp932_first_unencodable(part).has_value();
}

// The editor box of the description that holds the fault.
QString description_box(const QString& description) {
    static const std::array<QString, 3> kCaptions = {
        QStringLiteral("機器名称"), QStringLiteral("連絡先番号"), QStringLiteral("管理担当者")};
    const std::array<QString, 3> parts = split_description(description);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (holds_fault(parts[i]))
            return kCaptions[i];
    }
    return kCaptions[0];
}

} // namespace

std::optional<UnwritableRecord> first_unwritable_record(const TargetList& targets,
                                                        const QString& file_name) {
    for (int i = 0; i < targets.count; ++i) {
        QString box;
        std::optional<QString> reason = writer_refusal(targets.records[i].address, file_name);
        if (reason) {
            box = QStringLiteral("IPアドレス");
        } else if ((reason = writer_refusal(targets.records[i].description, file_name))) {
            box = description_box(targets.records[i].description);
        } else {
            continue;
        }
        const int number = i + 1;
        return UnwritableRecord(
            *reason + QStringLiteral("\n\n監視通番 %1 の「%2」です。\n").arg(number).arg(box),
            number, box);
    }
    return std::nullopt;
}
