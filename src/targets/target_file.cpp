#include "targets/target_file.h"

#include <QFileInfo>
#include <vector>

#include "core/line_file.h"
#include "core/safe_save.h"
#include "core/target_list.h"

void load_target_list(TargetList& targets, const QString& path) {
    FieldScanner in(read_whole_file(path), QFileInfo(path).fileName());
    std::vector<Target> records;
    while (!in.at_end()) {
        if (records.size() >= static_cast<size_t>(kTargetSlots))
            in.fail(QStringLiteral("レコードが多すぎます（最大 %1 件）。").arg(kTargetSlots),
                    in.line());
        Target t;
        t.address = in.read_text();
        t.description = in.read_text();
        t.flag = in.read_number();
        records.push_back(std::move(t));
    }
    for (size_t i = 0; i < records.size(); ++i)
        targets.records[i] = std::move(records[i]);
    targets.count = to_int16(static_cast<long long>(records.size()));
}

void save_target_list(const TargetList& targets, const QString& path) {
    LineWriter out;
    for (int i = 0; i < targets.count; ++i) {
        out.text(targets.records[i].address);
        out.text(targets.records[i].description);
        out.number(targets.records[i].flag);
    }
    save_file_safely(path, out.bytes(QFileInfo(path).fileName()));
}
