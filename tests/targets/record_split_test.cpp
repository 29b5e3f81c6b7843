// Taking records apart for the boxes, the octet check, and what the text
// boxes refuse.
#include <gtest/gtest.h>

#include "targets/octet_check.h"
#include "targets/record_split.h"

using Octets = std::array<QString, 4>;
using Parts = std::array<QString, 3>;

TEST(RecordSplit, PositionsAndParts) {
    DotPositions d = dot_positions(QStringLiteral("192.168.1.1"));
    EXPECT_EQ(d.first, 4);
    EXPECT_EQ(d.second, 8);
    EXPECT_EQ(d.third, 10);
    EXPECT_EQ(d.end, 12);
    SeparatorPositions k = separator_positions(QStringLiteral("Router／0000／Admin"));
    EXPECT_EQ(k.first, 7);
    EXPECT_EQ(k.second, 12);
    EXPECT_EQ(k.end, 18);

    EXPECT_EQ(split_address(QStringLiteral("10.0.0.254")), (Octets{"10", "0", "0", "254"}));
    EXPECT_EQ(split_address(QStringLiteral("1..2.")), (Octets{"1", "", "2", ""}));
    EXPECT_EQ(split_address(QStringLiteral("1.2.3.4.5")), (Octets{"1", "2", "3", "4.5"}));
    EXPECT_EQ(split_description(QStringLiteral("A／B／C／D")), (Parts{"A", "B", "C／D"}));
    EXPECT_EQ(split_description(QStringLiteral("Name／／Person")), (Parts{"Name", "", "Person"}));
    EXPECT_EQ(split_description(QStringLiteral(" ／ ／ ")), (Parts{" ", " ", " "}));
    // the ASCII solidus is not a separator
    EXPECT_EQ(split_description(QStringLiteral("a/b／c／d")), (Parts{"a/b", "c", "d"}));
}

TEST(RecordSplit, MissingSeparatorsLeaveTheRestEmpty) {
    EXPECT_EQ(split_address(QStringLiteral("10.0.5")), (Octets{"10", "0", "5", ""}));
    EXPECT_EQ(split_address(QStringLiteral("host")), (Octets{"host", "", "", ""}));
    EXPECT_EQ(split_address(QString()), (Octets{"", "", "", ""}));
    EXPECT_EQ(split_description(QStringLiteral("Name")), (Parts{"Name", "", ""}));
    EXPECT_EQ(split_description(QStringLiteral("A／B")), (Parts{"A", "B", ""}));
    EXPECT_EQ(split_description(QString()), (Parts{"", "", ""}));
    DotPositions d = dot_positions(QStringLiteral("host"));
    EXPECT_EQ(d.first, 5);
    EXPECT_EQ(d.third, 5);
}

TEST(OctetCheck, RangesPerBox) {
    struct Case {
        const char* text;
        bool first_last; // the first and the fourth octet
        bool middle;     // the second and the third
    };
    const Case cases[] = {
        {"0", false, true},    {"1", true, true},       {"255", true, true},
        {"256", false, false}, {"255.5", false, false}, {"0.5", false, false},
        {" 12 ", true, true},  {"\t7", true, true},     {"", false, false},
        {" ", false, false},   {"abc", false, false},   {"12a", false, false},
        {"1 2", false, false}, {"-1", false, false},    {"+5", false, false},
        {"1e2", false, false}, {".5", false, false},    {"0x10", false, false},
        {"1.0", false, false}, {"007", true, true},     {"99999999", false, false},
        {"inf", false, false}, {"nan", false, false},   {"１２", false, false},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(octet_ok(0, text), c.first_last) << c.text;
        EXPECT_EQ(octet_ok(3, text), c.first_last) << c.text;
        EXPECT_EQ(octet_ok(1, text), c.middle) << c.text;
        EXPECT_EQ(octet_ok(2, text), c.middle) << c.text;
    }
    EXPECT_EQ(octet_message(0), QStringLiteral("1～255の値で設定してください"));
    EXPECT_EQ(octet_message(3), QStringLiteral("1～255の値で設定してください"));
    EXPECT_EQ(octet_message(1), QStringLiteral("0～255の値で設定してください"));
    EXPECT_EQ(octet_message(2), QStringLiteral("0～255の値で設定してください"));
}
