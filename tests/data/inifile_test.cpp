#include "data/inifile.h"
#include "data/codec.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {
QString WriteIni(QTemporaryDir &dir, const QString &text)
{
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(ToCp1251(text));
    return path;
}
} // namespace

TEST(IniFile, SectionsAndKeysIgnoreCaseAndMissingGiveDefaults)
{
    QTemporaryDir dir;
    TIniFile ini(
        WriteIni(dir, QStringLiteral("[Main]\r\nProtocol = mysql \r\n; comment\r\n[transfer_city]\r\ncount=abc\r\n")));
    EXPECT_EQ(ini.ReadString(QStringLiteral("main"), QStringLiteral("PROTOCOL"), QStringLiteral("sqlite")),
              QStringLiteral("mysql"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("main"), QStringLiteral("missing"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("transfer_city"), QStringLiteral("count"), 0), 0);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("nosection"), QStringLiteral("count"), 7), 7);
}

TEST(IniFile, MissingFileGivesDefaults)
{
    TIniFile ini(QStringLiteral("/nonexistent/trevin.ini"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("protocol_mysql"), QStringLiteral("port"), 3306), 3306);
}

TEST(IniFile, IntegersAcceptSignsAndHexRejectGarbage)
{
    EXPECT_EQ(StrToIntDef(QStringLiteral(" -5 "), 0), -5);
    EXPECT_EQ(StrToIntDef(QStringLiteral("$10"), 0), 16);
    EXPECT_EQ(StrToIntDef(QStringLiteral("0x1F"), 0), 31);
    EXPECT_EQ(StrToIntDef(QStringLiteral("33o6"), 3306), 3306);
    EXPECT_EQ(StrToIntDef(QStringLiteral(""), 9), 9);
    EXPECT_EQ(StrToIntDef(QStringLiteral("99999999999"), 1), 1);
}

TEST(IniFile, CyrillicValuesAndQuotes)
{
    QTemporaryDir dir;
    TIniFile ini(WriteIni(dir, QStringLiteral("[main]\nname=\"Екатеринбург\"\n")));
    EXPECT_EQ(ini.ReadString(QStringLiteral("main"), QStringLiteral("name"), QString()),
              QStringLiteral("Екатеринбург"));
}

TEST(IniFile, ByteOrderMarkKeepsTheFirstSection)
{
    // The mark announces UTF-8: the values after it are read as such.
    const struct {
        QByteArray bytes;
        QString database;
    } cases[] = {
        {QByteArray("\xEF\xBB\xBF[main]\r\nprotocol=mysql\r\n[protocol_sqlite]\r\ndatabase=a.dat\r\n"), u"a.dat"_s},
        {QByteArray("\xEF\xBB\xBF[main]\nprotocol=mysql\n[protocol_sqlite]\ndatabase=") +
             QStringLiteral("Каталог.dat").toUtf8() + '\n',
         u"Каталог.dat"_s},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.ini"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        const TIniFile ini(path);
        EXPECT_EQ(ini.ReadString(u"main"_s, u"protocol"_s, u"sqlite"_s), u"mysql"_s);
        EXPECT_EQ(ini.ReadString(u"protocol_sqlite"_s, u"database"_s, QString()), c.database);
    }
}
