// The number reading and rounding behind the four number fields, and the
// refusal of texts the settings file cannot hold.
#include <gtest/gtest.h>

#include "settings/added_text.h"
#include "settings/number_field.h"
#include "settings/text_field.h"
#include "settings/typed_input.h"

TEST(NumberField, ReadsTheWholeTextOrNothing) {
    EXPECT_EQ(whole_number(QStringLiteral("5")), 5.0);
    EXPECT_EQ(whole_number(QStringLiteral("  12 \t")), 12.0);
    EXPECT_EQ(whole_number(QStringLiteral("+7")), 7.0);
    EXPECT_EQ(whole_number(QStringLiteral("1.5")), 1.5);
    EXPECT_EQ(whole_number(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(whole_number(QStringLiteral("5.")), 5.0);
    EXPECT_EQ(whole_number(QStringLiteral("2.5e1")), 25.0);
    EXPECT_EQ(whole_number(QStringLiteral("1E+2")), 100.0);
    EXPECT_FALSE(whole_number(QStringLiteral("１２０")));
    EXPECT_TRUE(in_field_range(QStringLiteral("１２０"))); // full-width, as an IME types it
    EXPECT_EQ(field_to_int16(QStringLiteral("　２．５")), 2);
    EXPECT_EQ(whole_number(QStringLiteral("-3")), -3.0);

    for (const char* bad : {"", " ", "-", "+", ".", "5x", "x5", "1 2", "1e", "1e+", "0x10", "inf",
                            "nan", "1,5", "--1", "5-"})
        EXPECT_FALSE(whole_number(QString::fromLatin1(bad))) << bad;
}

TEST(NumberField, RangeIsOneTo255WithFractions) {
    for (const char* ok : {"1", "255", "1.5", "254.5", "255.0", " 64 ", "2.55e2"})
        EXPECT_TRUE(in_field_range(QString::fromLatin1(ok))) << ok;
    for (const char* bad : {"0", "0.4", "0.999", "255.5", "256", "300", "-1", "", "abc", "1e3"})
        EXPECT_FALSE(in_field_range(QString::fromLatin1(bad))) << bad;
}

TEST(NumberField, StoredValuesStayIn16Bits) {
    EXPECT_EQ(field_to_int16(QStringLiteral("-32768")), -32768);
    EXPECT_EQ(field_to_int16(QStringLiteral("32767.4")), 32767);
    EXPECT_FALSE(field_to_int16(QStringLiteral("32767.5")));
    EXPECT_FALSE(field_to_int16(QStringLiteral("1e9")));
}

TEST(TextField, RefusesWhatTheFileCannotReadBack) {
    for (const QString& fine :
         {QString(), QStringLiteral("admin@example.com"), QStringLiteral("a,b"),
          QStringLiteral("  lead blank"), QStringLiteral("管理者　メール"), QStringLiteral("ｶﾅ")})
        EXPECT_FALSE(file_text_refusal(fine, QStringLiteral("conf.ini"))) << fine.toStdString();

    for (const QString& quote_or_break :
         {QStringLiteral("\"x"), QStringLiteral("a\"b"), QStringLiteral("a\nb"),
          QStringLiteral("a\r"), QStringLiteral("\r\n")})
        EXPECT_EQ(file_text_refusal(quote_or_break, QStringLiteral("conf.ini")),
                  quote_or_break_message());

    // Characters code page 932 lacks are named in the message, whole.
    const std::optional<QString> emoji =
        file_text_refusal(QStringLiteral("ok😀"), QStringLiteral("conf.ini"));
    ASSERT_TRUE(emoji);
    EXPECT_TRUE(emoji->contains(QStringLiteral("「😀」"))) << emoji->toStdString();
    const std::optional<QString> hangul =
        file_text_refusal(QStringLiteral("x한"), QStringLiteral("conf.ini"));
    ASSERT_TRUE(hangul);
    EXPECT_TRUE(hangul->contains(QStringLiteral("「한」")));
    EXPECT_TRUE(hangul->contains(QStringLiteral("conf.ini")));

    // What Japanese input methods type is judged as it will be stored.
    EXPECT_FALSE(
        file_text_refusal(QStringLiteral("東京〜大阪 −5 ¢£¬‖—"), QStringLiteral("conf.ini")));
    EXPECT_TRUE(file_text_refusal(QStringLiteral("〜😀"), QStringLiteral("conf.ini")));
}

TEST(TextField, AddedTextIsWhatOneEditPutIn) {
    EXPECT_EQ(added_text("abc", "abXc"), "X");
    EXPECT_EQ(added_text("abc", "ac"), ""); // a deletion adds nothing
    EXPECT_EQ(added_text("a\"b", "ab"), "");
    EXPECT_EQ(added_text("x\"", "x\"\""), "\""); // the second of two equal characters
    EXPECT_EQ(added_text("aa", "aXa"), "X");
    EXPECT_EQ(added_text("old", "new"), "new"); // a paste over everything
    EXPECT_EQ(added_text("abc", "aXYc"), "XY");
    // a surrogate pair is never cut in half: 😀 and 😁 share their high half
    EXPECT_EQ(added_text(QStringLiteral("a😀"), QStringLiteral("a😁")), QStringLiteral("😁"));
    EXPECT_EQ(added_text(QStringLiteral("😀b"), QStringLiteral("😀😀b")), QStringLiteral("😀"));
}
