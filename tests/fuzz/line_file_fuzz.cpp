// Arbitrary bytes as conf.ini or kanshi.ini: the scanner must end every read
// with a value or a FileError, never crash, hang or read out of bounds; and
// what the writer writes must read back as written.
#include <cstddef>
#include <cstdint>

#include "core/file_error.h"
#include "core/line_file.h"

namespace {

void read_as_target_list(const QByteArray& bytes) {
    FieldScanner in(bytes, QStringLiteral("kanshi.ini"));
    try {
        for (int records = 0; !in.at_end() && records < 2000; ++records) {
            in.read_text();
            in.read_text();
            in.read_number();
        }
    } catch (const FileError&) {
    }
}

void read_as_settings(const QByteArray& bytes) {
    FieldScanner in(bytes, QStringLiteral("conf.ini"));
    try {
        for (int i = 0; i < 4; ++i)
            in.read_text();
        for (int i = 0; i < 4; ++i)
            in.read_number();
    } catch (const FileError&) {
    }
}

// Any text without a leading blank, and any number, either survives a write
// and a read or is refused by the writer: never written and read back as
// something else.
void round_trip(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes).trimmed();
    const int16 number =
        bytes.size() >= 2 ? static_cast<int16>((bytes[0] << 8) | (bytes[1] & 0xff)) : 0;
    LineWriter out;
    out.text(text);
    out.number(number);
    QByteArray written;
    try {
        written = out.bytes(QStringLiteral("kanshi.ini"));
    } catch (const FileError&) {
        return; // a character the code page cannot hold is refused, not mangled
    }
    FieldScanner in(written, QStringLiteral("kanshi.ini"));
    if (in.read_text() != text || in.read_number() != number || !in.at_end())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    read_as_target_list(bytes);
    read_as_settings(bytes);
    round_trip(bytes);
    return 0;
}
