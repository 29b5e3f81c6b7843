#include "targets/target_file.h"

#include <QFileInfo>
#include <vector>

#include "core/line_file.h"
#include "core/safe_save.h"
#include "core/target_list.h"
#include "targets/unwritable_record.h"

namespace {

// A flag field that holds a number and nothing else but blanks.
bool is_whole_number(const QString& field) {
    const std::optional<NumberPrefix> number = number_prefix(field);
    return number && field.mid(number->end).trimmed().isEmpty();
}

} // namespace

void load_target_list(TargetList& targets, const QString& path) {
    FieldScanner in(read_whole_file(path), QFileInfo(path).fileName());
    std::vector<Target> records;
    while (!in.at_end()) {
        if (records.size() >= static_cast<size_t>(kTargetSlots))
            in.fail(QStringLiteral("レコードが多すぎます（最大 %1 件）。").arg(kTargetSlots),
                    in.line());
        Target t;
        t.address = in.read_text();
        const int description_line = in.line();
        t.description = in.read_text();
        const bool description_cut = in.last_ended_at_comma();
        t.flag = in.read_number();
        // A comma in an unquoted description cuts it, and every field after
        // it would shift into the wrong record: say so here, not at the end.
        if (description_cut && !is_whole_number(in.last_field()))
            in.fail(QStringLiteral("説明にカンマ「,」が含まれています。"
                                   "カンマを含む説明は「\"」で囲んでください。"),
                    description_line);
        records.push_back(std::move(t));
    }
    for (size_t i = 0; i < records.size(); ++i)
        targets.records[i] = std::move(records[i]);
    targets.count = to_int16(static_cast<long long>(records.size()));
}

void save_target_list(const TargetList& targets, const QString& path) {
    if (std::optional<UnwritableRecord> bad =
            first_unwritable_record(targets, QFileInfo(path).fileName()))
        throw *bad;
    LineWriter out;
    for (int i = 0; i < targets.count; ++i) {
        out.text(targets.records[i].address);
        out.text(targets.records[i].description);
        out.number(targets.records[i].flag);
    }
    save_file_safely(path, out.bytes(QFileInfo(path).fileName()));
}
