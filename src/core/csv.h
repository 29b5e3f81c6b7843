#pragma once
// Comma-separated values as spreadsheet programs read and write them
// (RFC 4180): a field holding a comma, a double quote, CR or LF is put in
// double quotes, its quotes doubled; every line ends with CR LF.
#include <QString>
#include <QStringList>
#include <vector>

// One line of fields, CR LF included.
QString csv_line(const QStringList& fields);

struct CsvRow {
    int line = 0; // where the row starts in the text, from 1
    QStringList fields;
};

// The rows of text. Lenient where hand edits differ: a bare LF or CR ends a
// row too, a quote inside an unquoted field is taken as it stands, and text
// after a closing quote joins the field. A quoted field may run over lines.
// An empty line gives no row.
std::vector<CsvRow> parse_csv(const QString& text);
