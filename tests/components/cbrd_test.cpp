#include "components/cbrd.h"
#include "data/codec.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

TEST(Clipboard, Cp1251TextArrivesAsTheSameUnicodeLetters)
{
    // "Привет, Ёж! №5" in Windows-1251 bytes, as the catalogue stores it.
    const QByteArray bytes("\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6! \xB9"
                           "5");
    CopyTextToClipboard(FromCp1251(bytes));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Привет, Ёж! №5"));
}

TEST(Clipboard, EmptyTextLeavesTheClipboardAlone)
{
    CopyTextToClipboard(QStringLiteral("было"));
    CopyTextToClipboard(QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("было"));
}

TEST(Clipboard, EachCopyReplacesTheLast)
{
    CopyTextToClipboard(QStringLiteral("первый\tстолбец\r\n"));
    CopyTextToClipboard(QStringLiteral("второй"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("второй"));
}
