#include "core/csv.h"

namespace {

QString csv_field(const QString& value) {
    const bool quoted = value.contains(u',') || value.contains(u'"') || value.contains(u'\r') ||
                        value.contains(u'\n');
    if (!quoted)
        return value;
    return u'"' + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

} // namespace

QString csv_line(const QStringList& fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += u',';
        line += csv_field(fields[i]);
    }
    return line + QStringLiteral("\r\n");
}

std::vector<CsvRow> parse_csv(const QString& text) {
    std::vector<CsvRow> rows;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    // A line end is CR LF, a bare LF or a bare CR; i stands on its first character.
    const auto skip_line_end = [&] {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        ++i;
        ++line;
    };
    while (i < n) {
        CsvRow row{line, {}};
        QString field;
        bool in_quotes = false;
        bool row_done = false;
        while (i < n && !row_done) {
            const QChar c = text[i];
            if (in_quotes) {
                if (c == u'"' && i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    i += 2;
                } else if (c == u'"') {
                    in_quotes = false;
                    ++i;
                } else if (c == u'\r' || c == u'\n') {
                    field += c == u'\r' && i + 1 < n && text[i + 1] == u'\n'
                                 ? QStringLiteral("\r\n")
                                 : QString(c);
                    skip_line_end();
                } else {
                    field += c;
                    ++i;
                }
            } else if (c == u'"' && field.isEmpty()) {
                in_quotes = true;
                ++i;
            } else if (c == u',') {
                row.fields << field;
                field.clear();
                ++i;
            } else if (c == u'\r' || c == u'\n') {
                skip_line_end();
                row_done = true;
            } else {
                field += c;
                ++i;
            }
        }
        row.fields << field;
        if (row.fields.size() > 1 || !row.fields.first().isEmpty())
            rows.push_back(std::move(row));
    }
    return rows;
}
