#include "data/codec.h"

#include <gtest/gtest.h>

TEST(Codec, EveryByteSurvivesTheRoundTrip)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    EXPECT_EQ(ToCp1251(FromCp1251(all)), all);
}

TEST(Codec, CyrillicLettersAndYo)
{
    const QString text = QStringLiteral("Ёлка ёж АБВ яЯ №");
    const QByteArray bytes = ToCp1251(text);
    EXPECT_EQ(uchar(bytes[0]), 0xA8); // Ё
    EXPECT_EQ(uchar(bytes[5]), 0xB8); // ё
    EXPECT_EQ(FromCp1251(bytes), text);
}

TEST(Codec, UnencodableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(ToCp1251(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
    EXPECT_FALSE(IsCp1251Encodable(QStringLiteral("\u4E2D")));
    EXPECT_TRUE(IsCp1251Encodable(QStringLiteral("Привет")));
}

TEST(Codec, UpperAndLowerCaseCoverTheWholeCodePage)
{
    EXPECT_EQ(Cp1251Upper('a'), 'A');
    EXPECT_EQ(Cp1251Upper(0xB8), 0xA8); // ё -> Ё
    EXPECT_EQ(Cp1251Upper(0xFF), 0xDF); // я -> Я
    EXPECT_EQ(Cp1251Upper(0xA2), 0xA1); // ў -> Ў
    EXPECT_EQ(Cp1251Upper(0x9A), 0x8A); // љ -> Љ
    EXPECT_EQ(Cp1251Lower(0xC0), 0xE0); // А -> а
    EXPECT_EQ(Cp1251Upper('1'), '1');
    for (int i = 0; i < 256; ++i) {
        const uchar u = Cp1251Upper(uchar(i));
        EXPECT_EQ(Cp1251Upper(u), u) << i;
    }
}
