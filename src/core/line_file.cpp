#include "core/line_file.h"

#include <QFile>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "core/cp932.h"
#include "core/root_file_rules.h"

namespace {
// Far beyond 1001 records; anything larger is not one of our files.
constexpr qsizetype kMaxFileBytes = 4 * 1024 * 1024;

QString too_large_text() {
    return QStringLiteral("ファイルが大きすぎます（上限 4 MiB）。");
}
} // namespace

FieldScanner::FieldScanner(const QByteArray& cp932_bytes, const QString& file_name)
    : text_(cp932_decode(cp932_bytes.startsWith(kUtf8Bom) ? cp932_bytes.mid(kUtf8Bom.size())
                                                          : cp932_bytes)),
      file_(file_name) {}

void FieldScanner::fail(const QString& reason, int line) const {
    throw FileError(FileFailure{FileFailure::Code::BadValue, file_, line,
                                QStringLiteral("%1 の %2 行目を読み込めません。\n%3")
                                    .arg(file_, QString::number(line), reason)});
}

void FieldScanner::consume_line_end() {
    if (pos_ < text_.size() && text_[pos_] == u'\r')
        ++pos_;
    if (pos_ < text_.size() && text_[pos_] == u'\n')
        ++pos_;
    ++line_;
}

static bool is_line_end(QChar c) {
    return c == u'\r' || c == u'\n';
}
static bool is_blank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString FieldScanner::read_field(int& start_line) {
    start_line = line_;
    if (at_end())
        fail(QStringLiteral("値が足りません（ファイルが途中で終わっています）。"), line_);
    while (pos_ < text_.size() && is_blank(text_[pos_]))
        ++pos_;

    QString value;
    if (pos_ < text_.size() && text_[pos_] == u'"') {
        qsizetype close = pos_ + 1;
        while (close < text_.size() && text_[close] != u'"' && !is_line_end(text_[close]))
            ++close;
        value = text_.mid(pos_ + 1, close - pos_ - 1);
        pos_ = close < text_.size() && text_[close] == u'"' ? close + 1 : close;
        // drop whatever follows the closing quote
        while (pos_ < text_.size() && text_[pos_] != u',' && !is_line_end(text_[pos_]))
            ++pos_;
    } else {
        qsizetype end = pos_;
        while (end < text_.size() && text_[end] != u',' && !is_line_end(text_[end]))
            ++end;
        value = text_.mid(pos_, end - pos_);
        pos_ = end;
    }

    last_ended_at_comma_ = pos_ < text_.size() && text_[pos_] == u',';
    if (pos_ < text_.size()) {
        if (last_ended_at_comma_)
            ++pos_;
        else
            consume_line_end();
    }
    last_field_ = value;
    last_line_read_ = start_line;
    return value;
}

QString FieldScanner::read_text() {
    int line;
    return read_field(line);
}

std::optional<NumberPrefix> number_prefix(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && is_blank(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9')
        ++i, ++digits;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9')
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    qsizetype end = i;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        qsizetype exp_digits = 0;
        while (j < n && text[j] >= u'0' && text[j] <= u'9')
            ++j, ++exp_digits;
        if (exp_digits > 0)
            end = j;
    }
    bool ok = false;
    const double v = text.mid(start, end - start).toDouble(&ok);
    // Digits were there, so the only way to fail is a value beyond any
    // double: it must still count as out of range, never as no number.
    if (!ok)
        return NumberPrefix{text[start] == u'-' ? -HUGE_VAL : HUGE_VAL, end};
    return NumberPrefix{v, end};
}

std::optional<double> leading_number(const QString& text) {
    if (std::optional<NumberPrefix> p = number_prefix(text))
        return p->value;
    return std::nullopt;
}

int16 FieldScanner::read_number() {
    int line;
    const QString field = read_field(line);
    const std::optional<double> v = leading_number(field);
    if (!v)
        return 0;
    const double rounded = std::nearbyint(*v); // the default mode rounds half to even
    if (!(rounded >= -32768 && rounded <= 32767))
        fail(QStringLiteral("数値 %1 が範囲（-32768～32767）を超えています。").arg(field.trimmed()),
             line);
    return static_cast<int16>(rounded);
}

void LineWriter::text(const QString& value) {
    // The reader ends a value at a line break, and a quoted value at its next
    // double quote; a text it could not give back must not be written, or
    // every field after it would shift.
    const bool breaks = value.contains(u'\r') || value.contains(u'\n');
    const bool needs_quotes = value.contains(u',') || value.startsWith(u'"');
    if (!unwritable_ && (breaks || (needs_quotes && value.contains(u'"'))))
        unwritable_ = value;
    if (value.contains(u','))
        out_ += u'"' + value + u'"';
    else
        out_ += value;
    out_ += QStringLiteral("\r\n");
}

void LineWriter::number(int16 value) {
    out_ += value < 0 ? u'-' : u' ';
    out_ += QString::number(std::abs(static_cast<int>(value)));
    out_ += QStringLiteral(" \r\n");
}

QByteArray LineWriter::bytes(const QString& file_name) const {
    if (unwritable_)
        throw FileError(QStringLiteral("%1 を保存できません。\n"
                                       "次のテキストは「\"」とカンマ、または改行を含むため、"
                                       "このファイルに書けません:\n%2")
                            .arg(file_name, *unwritable_));
    if (std::optional<QByteArray> b = cp932_encode(out_))
        return *b;
    const QChar bad = cp932_first_unencodable(out_).value_or(QChar(u'?'));
    throw FileError(
        QStringLiteral(
            "%1 "
            "を保存できません。\n文字「%2」はこのファイルの文字コード（シフトJIS）で表せません。")
            .arg(file_name, QString(bad)));
}

QByteArray read_whole_file(const QString& path) {
    const auto failure = [&](FileFailure::Code code, const QString& reason) {
        return FileError(FileFailure{
            code, path, 0, QStringLiteral("%1 を読み込めません。\n%2").arg(path, reason)});
    };
    const auto cannot_read = [&](const QString& reason) {
        return failure(FileFailure::Code::Unreadable, reason);
    };
    const auto refused = [&](const QString& reason) {
        return failure(FileFailure::Code::Refused, reason);
    };
    const auto refuse_kind = [&](const struct stat& st) {
        if (S_ISDIR(st.st_mode))
            throw cannot_read(QStringLiteral("フォルダーです。"));
        if (!S_ISREG(st.st_mode))
            throw cannot_read(
                QStringLiteral("通常のファイルではありません（FIFO やデバイスなど）。"));
        if (st.st_size > kMaxFileBytes)
            throw cannot_read(too_large_text());
    };

    // Look before opening: opening a FIFO or a device may block or act.
    const QByteArray name = QFile::encodeName(path);
    const bool as_root = root_file_rules_apply();
    struct stat st {};
    if ((as_root ? ::lstat(name.constData(), &st) : ::stat(name.constData(), &st)) == 0) {
        if (S_ISLNK(st.st_mode))
            throw refused(root_symlink_refusal());
        refuse_kind(st);
    }

    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY |
                                                (as_root ? O_NOFOLLOW : 0));
    if (fd < 0) {
        const int e = errno;
        if (as_root && e == ELOOP)
            throw refused(root_symlink_refusal());
        throw FileError(
            FileFailure{FileFailure::Code::Unreadable, path, 0,
                        QStringLiteral("%1 を開けません。\n%2").arg(path, system_reason(e))});
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    // What was opened may not be what was looked at.
    if (::fstat(fd, &st) != 0)
        throw cannot_read(system_reason(errno));
    refuse_kind(st);
    if (as_root)
        if (std::optional<QString> refusal = root_file_refusal(name.toStdString(), &st))
            throw refused(*refusal);

    // Read one byte past the limit, so that a file still growing is caught too.
    QByteArray data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw cannot_read(system_reason(errno));
        }
        if (n == 0)
            return data;
        data.append(buf, n);
        if (data.size() > kMaxFileBytes)
            throw cannot_read(too_large_text());
    }
}

QStringList line_encoding_warnings(const QByteArray& bytes, const QString& file_name,
                                   int last_line) {
    QStringList warnings;
    const auto place = [&](int line) {
        return QStringLiteral("%1 の %2 行目: ").arg(file_name).arg(line);
    };
    int line = 1;
    qsizetype start = 0;
    while (start < bytes.size() && line <= last_line) {
        // Code page 932 never uses CR or LF inside a character, so the bytes
        // can be cut into lines as the field scanner counts them.
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        QByteArray text = bytes.mid(start, end - start);
        if (text.startsWith(kUtf8Bom)) {
            warnings << place(line) + (line == 1
                                           ? QStringLiteral("先頭に UTF-8 の BOM があります。"
                                                            "BOM は読み飛ばします。")
                                           : QStringLiteral("行頭に UTF-8 の BOM があります。"
                                                            "この行の値は正しく読めません。"));
            text.remove(0, kUtf8Bom.size());
        }
        if (cp932_decode(text).contains(QChar::ReplacementCharacter))
            warnings << place(line) +
                            QStringLiteral("シフトJIS（CP932）として正しくない文字があります。"
                                           "その文字は正しく読めません。");
        if (end < bytes.size() && bytes[end] == '\r')
            ++end;
        if (end < bytes.size() && bytes[end] == '\n')
            ++end;
        start = end;
        ++line;
    }
    return warnings;
}
