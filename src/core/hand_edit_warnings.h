#pragma once
// Mistakes in hand-edited conf.ini and kanshi.ini that the program follows
// silently: the files are read as they are, but the operator is told, once,
// what each mistake will do. One warning is one line, so the same list can
// fill one message box and go to standard error line by line.
#include <QByteArray>
#include <QString>
#include <QStringList>

// conf.ini's four numbers (interval, attempts, TTL, stop value) outside
// 1..255: file, line, value and what the program does with it. Nothing when
// the file cannot be read as conf.ini at all; loading it says why.
QStringList conf_number_warnings(const QByteArray& conf_bytes, const QString& file_name);

// Each line that starts with a UTF-8 byte order mark or holds bytes that are
// not code page 932: file and line.
QStringList line_encoding_warnings(const QByteArray& bytes, const QString& file_name);

// Every warning for both files, conf.ini first.
QStringList hand_edit_warnings(const QByteArray& conf_bytes, const QString& conf_name,
                               const QByteArray& kanshi_bytes, const QString& kanshi_name);

// The text of the one box: a heading and the warnings, one a line; empty when
// there are none.
QString hand_edit_warning_box_text(const QStringList& warnings);

// The one call for start-up: reads both files and returns the box text, empty
// when there is nothing to warn about. A file that cannot be read gives no
// warnings; loading it reports it.
QString hand_edit_warning_text(const QString& conf_path, const QString& kanshi_path);
