#pragma once
// The text layout shared by conf.ini and kanshi.ini: one value per line,
// CR LF line ends, code page 932.
//
// Reading is a field scanner, not a line reader:
//  - blanks (space, tab) before a value are skipped;
//  - a value ends at a comma or a line end, which is consumed with it;
//    a line end is CR LF, and also a bare LF or a bare CR, so that files
//    edited by hand on Linux read the same;
//  - a value that begins with a double quote runs to the next double quote
//    (or the line end); the quotes are not part of it, and whatever follows
//    up to the comma or line end is dropped;
//  - blanks at the end of an unquoted text belong to the text;
//  - a number is read by its leading numeric part, rounded half to even;
//    a field without one reads 0, one outside 16 bits is an error;
//  - an empty line is an empty text, or 0;
//  - running out of data while a value is still to be read is an error;
//  - a UTF-8 byte order mark at the very start is skipped: it can never be
//    part of an address.
//
// Writing: a text as it stands on its own line, in double quotes when it holds
// a comma (so it reads back whole); a number as sign position (blank or '-'),
// digits, one blank. Every line ends with CR LF. A text that could not be read
// back whole is refused rather than written. A text that could not be read
// back whole is refused rather than written.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/file_error.h"
#include "core/int16.h"

// The UTF-8 byte order mark some editors put at the start of a file.
inline constexpr QByteArrayView kUtf8Bom{"\xEF\xBB\xBF", 3};

class FieldScanner {
  public:
    // file_name is used only in error texts.
    FieldScanner(const QByteArray& cp932_bytes, const QString& file_name);

    bool at_end() const { return pos_ >= text_.size(); }
    QString read_text();
    int16 read_number();
    // The line the next value starts on, counting from 1.
    int line() const { return line_; }
    // The value read last as it stood, and whether a comma (not a line end or
    // the end of the data) ended it.
    const QString& last_field() const { return last_field_; }
    bool last_ended_at_comma() const { return last_ended_at_comma_; }
    // The line the value read last stood on; 0 before any.
    int last_line_read() const { return last_line_read_; }

    [[noreturn]] void fail(const QString& reason, int line) const;

  private:
    QString read_field(int& start_line);
    void consume_line_end();

    QString text_;
    QString file_;
    qsizetype pos_ = 0;
    int line_ = 1;
    QString last_field_;
    bool last_ended_at_comma_ = false;
    int last_line_read_ = 0;
};

// The leading numeric part of text after blanks: sign, digits, fraction,
// exponent; its value (infinite when it is beyond any double) and where it
// ends. nullopt when there is none.
struct NumberPrefix {
    double value;
    qsizetype end;
};
std::optional<NumberPrefix> number_prefix(const QString& text);

// Just the value of number_prefix.
std::optional<double> leading_number(const QString& text);

class LineWriter {
  public:
    void text(const QString& value);
    void number(int16 value);
    // The lines as code page 932; throws FileError (naming file_name) when a
    // text holds a character the code page cannot represent, or could not be
    // read back as it is (a line break, or a double quote where the text must
    // be quoted).
    QByteArray bytes(const QString& file_name) const;

  private:
    QString out_;
    std::optional<QString> unwritable_;
};

// Reads a whole file; throws FileError naming it when it cannot.
QByteArray read_whole_file(const QString& path);

// Mistakes of hand editing the program reads past, on lines 1..last_line (the
// lines a reader used): a line that starts with a UTF-8 byte order mark, or
// holds bytes that are not code page 932. One warning a line, naming file
// and line, so that the same list can fill one message box and go to
// standard error line by line.
QStringList line_encoding_warnings(const QByteArray& bytes, const QString& file_name,
                                   int last_line);
