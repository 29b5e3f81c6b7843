// The field scanner and writer shared by conf.ini and kanshi.ini.
#include <gtest/gtest.h>

#include "core/cp932.h"
#include "core/file_error.h"
#include "core/line_file.h"

namespace {

FieldScanner scan(const QByteArray& bytes) {
    return FieldScanner(bytes, QStringLiteral("t.ini"));
}

QByteArray written(void (*fill)(LineWriter&)) {
    LineWriter w;
    fill(w);
    return w.bytes(QStringLiteral("t.ini"));
}

} // namespace

TEST(FieldScanner, ValuesEndAtCommasAndLineEndsOfEveryKind) {
    // CR LF, a bare LF and a bare CR all end a line; commas split a line.
    FieldScanner in = scan("a,b\r\nc\nd\re, f \r\n");
    EXPECT_EQ(in.read_text(), "a");
    EXPECT_EQ(in.read_text(), "b");
    EXPECT_EQ(in.read_text(), "c");
    EXPECT_EQ(in.read_text(), "d");
    EXPECT_EQ(in.read_text(), "e");
    EXPECT_EQ(in.read_text(), "f "); // leading blanks go, trailing blanks stay
    EXPECT_TRUE(in.at_end());
}

TEST(FieldScanner, QuotedValuesKeepCommasAndDropTheRestOfTheField) {
    FieldScanner in = scan("  \"x, y\" junk,next\r\n\"\"\r\n\"open\r\nlast");
    EXPECT_EQ(in.read_text(), "x, y");
    EXPECT_EQ(in.read_text(), "next");
    EXPECT_EQ(in.read_text(), "");
    EXPECT_EQ(in.read_text(), "open"); // an unclosed quote ends at the line end
    EXPECT_EQ(in.read_text(), "last"); // the last line may lack its line end
    EXPECT_TRUE(in.at_end());
}

TEST(FieldScanner, NumbersByTheirLeadingPart) {
    FieldScanner in = scan(
        " 5 \r\n5\r\n-3 \r\nword\r\n\r\n  12abc\r\n2.5\r\n3.5\r\n1e2\r\n 32767 \r\n-32768\r\n");
    for (int expected : {5, 5, -3, 0, 0, 12, 2, 4, 100, 32767, -32768})
        EXPECT_EQ(in.read_number(), expected);
    EXPECT_TRUE(in.at_end());
}

TEST(FieldScanner, FailuresNameFileLineAndReason) {
    FieldScanner big = scan("a\r\n 32768 \r\n");
    big.read_text();
    try {
        big.read_number();
        FAIL() << "32768 does not fit";
    } catch (const FileError& e) {
        EXPECT_TRUE(e.text.contains("t.ini")) << e.text.toStdString();
        EXPECT_TRUE(e.text.contains(QStringLiteral("2 行目"))) << e.text.toStdString();
        EXPECT_TRUE(e.text.contains("32768"));
    }
    FieldScanner short_file = scan("only\r\n");
    short_file.read_text();
    EXPECT_THROW(short_file.read_text(), FileError);
    EXPECT_THROW(scan("").read_number(), FileError);
}

TEST(FieldScanner, DecodesCodePage932) {
    FieldScanner in = scan("Router\x81\x5e"
                           "0000\x81\x5e"
                           "Admin\r\n");
    EXPECT_EQ(in.read_text(), QStringLiteral("Router／0000／Admin"));
}

TEST(LineWriter, NumbersHaveASignPlaceAndOneTrailingBlank) {
    const QByteArray out = written([](LineWriter& w) {
        for (int16 n : {0, 1, 255, -1, 5, -3, 32767, -32768})
            w.number(n);
    });
    EXPECT_EQ(out,
              QByteArray(" 0 \r\n 1 \r\n 255 \r\n-1 \r\n 5 \r\n-3 \r\n 32767 \r\n-32768 \r\n"));
}

TEST(LineWriter, TextsStandAsTheyAreAndCommasAreQuoted) {
    const QByteArray out = written([](LineWriter& w) {
        w.text(QString());
        w.text(QStringLiteral("192.168.1.1"));
        w.text(QStringLiteral("Sw,1／0000／Admin"));
    });
    EXPECT_EQ(out, *cp932_encode(QStringLiteral("\r\n192.168.1.1\r\n\"Sw,1／0000／Admin\"\r\n")));
    FieldScanner back = scan(out);
    EXPECT_EQ(back.read_text(), "");
    EXPECT_EQ(back.read_text(), "192.168.1.1");
    EXPECT_EQ(back.read_text(), QStringLiteral("Sw,1／0000／Admin"));
    EXPECT_TRUE(back.at_end());
}

TEST(LineWriter, RefusesTextsThatCouldNotBeReadBack) {
    // a quote inside a text that needs quotes, a leading quote, a line break
    for (const QString& bad : {QStringLiteral("a\"b, c"), QStringLiteral("\"abc"),
                               QStringLiteral("two\nlines"), QStringLiteral("cr\r")}) {
        LineWriter w;
        w.text(QStringLiteral("fine"));
        w.text(bad);
        EXPECT_THROW(w.bytes(QStringLiteral("kanshi.ini")), FileError) << bad.toStdString();
    }
    // a quote in the middle of a plain text reads back as it is
    LineWriter w;
    w.text(QStringLiteral("a\"b"));
    FieldScanner back = scan(w.bytes(QStringLiteral("kanshi.ini")));
    EXPECT_EQ(back.read_text(), QStringLiteral("a\"b"));
}

TEST(FieldScanner, NumbersBeyondAnyDoubleAreOutOfRangeNotZero) {
    EXPECT_THROW(scan(" 1e999 \r\n").read_number(), FileError);
    EXPECT_THROW(scan("-" + QByteArray(330, '9') + "\r\n").read_number(), FileError);
}

TEST(LineWriter, RefusesCharactersTheCodePageCannotHold) {
    LineWriter w;
    w.text(QStringLiteral("ok😀"));
    try {
        w.bytes(QStringLiteral("kanshi.ini"));
        FAIL();
    } catch (const FileError& e) {
        EXPECT_TRUE(e.text.contains("kanshi.ini"));
    }
}
