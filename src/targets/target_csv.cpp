#include "targets/target_csv.h"

#include <QStringDecoder>
#include <array>
#include <cmath>

#include "core/cp932.h"
#include "core/csv.h"
#include "core/line_file.h"
#include "targets/octet_check.h"
#include "targets/record_split.h"

namespace {

// The editor's captions, in the order of the columns.
const std::array<QString, 5> kColumns = {QStringLiteral("IPアドレス"), QStringLiteral("機器名称"),
                                         QStringLiteral("連絡先番号"), QStringLiteral("管理担当者"),
                                         QStringLiteral("無効")};

bool is_header(const CsvRow& row) {
    const QString first = row.fields.first().trimmed();
    return first == kColumns[0] ||
           first.compare(QLatin1String("address"), Qt::CaseInsensitive) == 0;
}

// The flag as a whole number in the range a stored flag has; blanks around it are fine.
std::optional<int16> flag_value(const QString& field) {
    const std::optional<NumberPrefix> number = number_prefix(field);
    if (!number || !field.mid(number->end).trimmed().isEmpty())
        return std::nullopt;
    const double v = number->value;
    if (v != std::floor(v) || v < -32768 || v > 32767)
        return std::nullopt;
    return static_cast<int16>(v);
}

// Whether kanshi.ini reads the text back as it is: the writer's own rule.
bool writable(const QString& text) {
    LineWriter one;
    one.text(text);
    try {
        one.bytes(QString());
    } catch (const FileError&) {
        return false;
    }
    return true;
}

QString whole_character(const QString& text, QChar bad) {
    const qsizetype at = text.indexOf(bad);
    return at >= 0 && bad.isHighSurrogate() ? text.mid(at, 2) : QString(bad);
}

// The faults of one row (its fields folded), none when it makes a target.
QStringList row_faults(const QStringList& fields, Target& target) {
    QStringList faults;
    bool extra = false;
    for (qsizetype i = kColumns.size(); i < fields.size(); ++i)
        extra = extra || !fields[i].trimmed().isEmpty();
    if (fields.size() < static_cast<qsizetype>(kColumns.size()) || extra)
        return {QStringLiteral("項目が %1 個あります。%2 の 5 個にしてください。")
                    .arg(fields.size())
                    .arg(QStringList(kColumns.begin(), kColumns.end()).join(u'、'))};

    const std::array<QString, 4> octets = split_address(fields[0]);
    for (int box = 0; box < kOctetBoxes; ++box) {
        if (!octet_ok(box, octets[box])) {
            // one arg() for all: a "%2" in the field must stay text
            faults << QStringLiteral("IPアドレス「%1」の %2 番目の値: %3")
                          .arg(fields[0], QString::number(box + 1), octet_message(box));
            break;
        }
    }
    for (int i = 1; i <= 3; ++i) {
        const QString& part = fields[i];
        if (part.contains(kDescriptionSeparator))
            faults << QStringLiteral("「%1」に「／」は使えません。").arg(kColumns[i]);
        if (part.contains(u'\r') || part.contains(u'\n'))
            faults << QStringLiteral("「%1」に改行は使えません。").arg(kColumns[i]);
        if (const std::optional<QChar> bad = cp932_first_unencodable(part))
            faults << QStringLiteral("「%1」の「%2」は kanshi.ini の文字コード（シフトJIS）で"
                                     "表せません。")
                          .arg(kColumns[i], whole_character(part, *bad));
    }
    const std::optional<int16> flag = flag_value(fields[4]);
    if (!flag)
        faults << QStringLiteral(
                      "「無効」の「%1」は整数ではありません（0: 監視する、1: 監視しない）。")
                      .arg(fields[4]);

    const QChar sep = kDescriptionSeparator;
    target.address = fields[0];
    target.description = fields[1] + sep + fields[2] + sep + fields[3];
    target.flag = flag.value_or(0);
    if (faults.isEmpty() && !writable(target.description))
        faults << QStringLiteral("機器名称・連絡先番号・管理担当者のどれかにカンマがあると、"
                                 "「\"」は使えません（機器名称の先頭の「\"」も同じです）。"
                                 "kanshi.ini から読み戻せなくなります。");
    return faults;
}

} // namespace

QByteArray targets_csv(const TargetList& targets) {
    QString text = csv_line(QStringList(kColumns.begin(), kColumns.end()));
    for (int i = 0; i < targets.count; ++i) {
        const Target& t = targets.records[i];
        const std::array<QString, 3> parts = split_description(t.description);
        text += csv_line({t.address, parts[0], parts[1], parts[2], QString::number(t.flag)});
    }
    return kUtf8Bom.toByteArray() + text.toUtf8();
}

QString csv_file_text(const QByteArray& bytes) {
    const QByteArray body = bytes.startsWith(kUtf8Bom) ? bytes.mid(kUtf8Bom.size()) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    return cp932_decode(bytes);
}

TargetsFromCsv targets_from_csv(const QByteArray& bytes) {
    std::vector<CsvRow> rows = parse_csv(csv_file_text(bytes));
    if (!rows.empty() && is_header(rows.front()))
        rows.erase(rows.begin());

    TargetsFromCsv result;
    auto targets = std::make_unique<TargetList>();
    const auto fault = [&](int line, const QString& why) {
        result.problems << QStringLiteral("%1 行目: %2").arg(line).arg(why);
    };
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r == static_cast<size_t>(kTargetSlots)) {
            fault(rows[r].line, QStringLiteral("%1 件目です。監視対象は %2 件までです"
                                               "（このファイルは %3 件）。")
                                    .arg(r + 1)
                                    .arg(kTargetSlots)
                                    .arg(rows.size()));
            break;
        }
        QStringList fields;
        for (const QString& field : rows[r].fields)
            fields << cp932_fold_typed(field);
        for (const QString& why : row_faults(fields, targets->records[r]))
            fault(rows[r].line, why);
    }
    if (rows.empty())
        fault(1, QStringLiteral("監視対象が 1 件もありません。"));
    if (result.problems.isEmpty()) {
        targets->count = static_cast<int16>(rows.size());
        result.targets = std::move(targets);
    }
    return result;
}
