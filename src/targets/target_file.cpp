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

// Whether the echo engine can send to the address as stored: four decimal
// parts 0..255 (blanks around a part allowed, as the editor's octet boxes
// admit them), naming one host (not 0.x.x.x, multicast or reserved). The
// echo engine's rule, which tests keep in step with it.
bool pingable(const QString& address) {
    const QStringList parts = address.split(u'.');
    if (parts.size() != 4)
        return false;
    int first = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QStringView part = parts[i];
        while (part.startsWith(u' '))
            part = part.mid(1);
        while (part.endsWith(u' '))
            part.chop(1);
        if (part.isEmpty() || part.size() > 3)
            return false;
        int value = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return false;
            value = value * 10 + (c.unicode() - u'0');
        }
        if (value > 255)
            return false;
        if (i == 0)
            first = value;
    }
    return first != 0 && first < 224;
}

// Reads every record into targets, or throws FileError; then targets is left
// as it was.
QStringList read_records(TargetList& targets, const QString& path, const QString& name) {
    const QByteArray bytes = read_whole_file(path);
    FieldScanner in(bytes, name);
    std::vector<Target> records;
    QStringList address_warnings;
    while (!in.at_end()) {
        if (records.size() >= static_cast<size_t>(kTargetSlots))
            in.fail(QStringLiteral("レコードが多すぎます（最大 %1 件）。").arg(kTargetSlots),
                    in.line());
        Target t;
        const int address_line = in.line();
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
        if (t.monitored() && !pingable(t.address))
            address_warnings << QStringLiteral("%1 の %2 行目: %3 件目のアドレス「%4」は "
                                               "ping を送れる IPv4 アドレスではありません。"
                                               "この機器は毎回応答なしと判定されます。")
                                    .arg(name)
                                    .arg(address_line)
                                    .arg(records.size() + 1)
                                    .arg(t.address);
        records.push_back(std::move(t));
    }
    for (size_t i = 0; i < records.size(); ++i)
        targets.records[i] = std::move(records[i]);
    targets.count = to_int16(static_cast<long long>(records.size()));
    return line_encoding_warnings(bytes, name, in.last_line_read()) + address_warnings;
}

} // namespace

FileRead load_target_list(TargetList& targets, const QString& path) {
    const QString name = QFileInfo(path).fileName();
    try {
        return read_records(targets, path, name);
    } catch (const FileError& e) {
        return e.failure;
    }
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
