#include <gtest/gtest.h>

#include "core/cp932.h"

TEST(Cp932, FullWidthSolidusIsTwoBytesBothWays) {
    const QString text = QStringLiteral("Router／0000／Admin");
    const QByteArray bytes = *cp932_encode(text);
    EXPECT_EQ(bytes, QByteArray("Router\x81\x5e"
                                "0000\x81\x5e"
                                "Admin"));
    EXPECT_EQ(cp932_decode(bytes), text);
}

TEST(Cp932, UnencodableAndInvalidInput) {
    const QString with_emoji = QStringLiteral("ok😀x");
    EXPECT_FALSE(cp932_encode(with_emoji).has_value());
    EXPECT_EQ(cp932_first_unencodable(with_emoji), with_emoji.at(2));
    EXPECT_EQ(cp932_encode_lossy(with_emoji), QByteArray("ok?x"));
    // a lead byte cut off at the end and a byte that is never valid
    EXPECT_EQ(cp932_decode(QByteArray("a\x81")), QStringLiteral("a\uFFFD"));
    EXPECT_EQ(cp932_decode(QByteArray("\xA0z")), QStringLiteral("\uFFFDz"));
}

TEST(Cp932, CharactersThatWouldComeBackAsOthersAreRefused) {
    // The converter writes these as bytes that read back as "\\", "～" and "‖".
    for (const QString& text :
         {QStringLiteral("C:¥x"), QStringLiteral("a〜b"), QStringLiteral("‖")}) {
        EXPECT_FALSE(cp932_encode(text).has_value()) << text.toStdString();
        ASSERT_TRUE(cp932_first_unencodable(text).has_value());
    }
    EXPECT_EQ(*cp932_first_unencodable(QStringLiteral("C:¥x")), QChar(0xA5));
    EXPECT_TRUE(cp932_encode(QStringLiteral("～\\～")).has_value());
}

TEST(Cp932, WhatInputMethodsTypeIsStoredAsTheCodePageHasIt) {
    const QString typed = QStringLiteral("〜−‖—¢£¬");
    const QString held = QStringLiteral("～－∥―￠￡￢");
    EXPECT_EQ(cp932_fold_typed(typed), held);
    const std::optional<QByteArray> bytes = cp932_encode(cp932_fold_typed(typed));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, QByteArray("\x81\x60\x81\x7C\x81\x61\x81\x5C\x81\x91\x81\x92\x81\xCA"));
    EXPECT_EQ(cp932_decode(*bytes), held); // reads back as the window showed it

    // Everything else is left alone, including characters the code page lacks.
    const QString others = QStringLiteral("a～¥😀한\\-");
    EXPECT_EQ(cp932_fold_typed(others), others);
    EXPECT_FALSE(cp932_encode(cp932_fold_typed(QStringLiteral("〜¥"))).has_value());
}
