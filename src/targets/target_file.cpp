#include "targets/target_file.h"

#include <QFileInfo>
#include <vector>

#include "core/line_file.h"
#include "core/safe_save.h"
#include "core/shared_state.h"
#include "targets/unwritable_record.h"

namespace {
struct Record {
    QString ip_add;
    QString mess;
    int16 valid_flag;
};
} // namespace

void load_target_list(SharedState& state, const QString& path) {
    FieldScanner in(read_whole_file(path), QFileInfo(path).fileName());
    std::vector<Record> records;
    while (!in.at_end()) {
        if (records.size() >= static_cast<size_t>(kTargetSlots))
            in.fail(QStringLiteral("レコードが多すぎます（最大 %1 件）。").arg(kTargetSlots),
                    in.line());
        Record r;
        r.ip_add = in.read_text();
        r.mess = in.read_text();
        r.valid_flag = in.read_number();
        records.push_back(std::move(r));
    }
    for (size_t i = 0; i < records.size(); ++i) {
        state.ip_add[i] = std::move(records[i].ip_add);
        state.mess[i] = std::move(records[i].mess);
        state.valid_flag[i] = records[i].valid_flag;
    }
    state.dat_count = to_int16(static_cast<long long>(records.size()));
}

void save_target_list(const SharedState& state, const QString& path) {
    if (std::optional<UnwritableRecord> bad =
            first_unwritable_record(state, QFileInfo(path).fileName()))
        throw *bad;
    LineWriter out;
    for (int i = 0; i < state.dat_count; ++i) {
        out.text(state.ip_add[i]);
        out.text(state.mess[i]);
        out.number(state.valid_flag[i]);
    }
    save_file_safely(path, out.bytes(QFileInfo(path).fileName()));
}
