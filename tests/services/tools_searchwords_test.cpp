#include "services/tools_searchwords.h"

#include "data/codec.h"
#include "data/dberror.h"
#include "scratchdb.h"
#include "services/sqlite_func.h"
#include "services/tools_format.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QSet>

// ---- escaping

TEST(EscapeSqlText, QuotesAndBackslashes)
{
    EXPECT_EQ(EscapeSqlText(QString()), QString());
    EXPECT_EQ(EscapeSqlText(QStringLiteral("O'Neil")), QStringLiteral("O\\'Neil"));
    EXPECT_EQ(EscapeSqlText(EscapeSqlText(QStringLiteral("O'Neil"))), QStringLiteral("O\\\\\\'Neil"));
    EXPECT_EQ(EscapeSqlText(QStringLiteral("ООО \"Ромашка\"")), QStringLiteral("ООО \\\"Ромашка\\\""));
    EXPECT_EQ(EscapeSqlText(EscapeSqlText(QStringLiteral("a\"b"))), QStringLiteral("a\\\"b"));
    EXPECT_EQ(EscapeSqlText(QStringLiteral("c:\\dir")), QStringLiteral("c:\\\\dir"));
    EXPECT_EQ(EscapeSqlText(EscapeSqlText(QStringLiteral("c:\\dir"))), QStringLiteral("c:\\\\dir"));
    EXPECT_EQ(EscapeSqlText(QStringLiteral("a\r\nb")), QStringLiteral("a\\nb"));
    EXPECT_EQ(EscapeSqlText(QStringLiteral("a\\nb")), QStringLiteral("a\\nb"));
}

TEST(EscapeSqlText, TrimsFoldsAndDropsNul)
{
    EXPECT_EQ(EscapeSqlText(QStringLiteral(" \t хлеб    белый \t")), QStringLiteral("хлеб белый"));
    // The line break is escaped before the ends are trimmed.
    EXPECT_EQ(EscapeSqlText(QStringLiteral("хлеб\r\n")), QStringLiteral("хлеб\\n"));
    EXPECT_EQ(EscapeSqlText(QStringLiteral("a") + QChar(0) + QStringLiteral("b")), QStringLiteral("ab"));
    EXPECT_EQ(EscapeSqlText(QString(QChar(0))), QString());
}

// ---- conditions: the fragments

TEST(BuildWordCondition, NetworkFragments)
{
    scratch::TDeployment network(true);
    EXPECT_EQ(BuildWordCondition(QStringLiteral("хлеб|батон"), QStringLiteral("a.name"), QString()),
              QStringLiteral(" (( a.name like '%хлеб%') OR a.name like '%батон%')"));
    EXPECT_EQ(BuildWordCondition(QStringLiteral("мёд"), QStringLiteral("a.name"), QString()),
              QStringLiteral(" ( a.name like '%мёд%')"));
    EXPECT_EQ(BuildWordCondition(QStringLiteral("  a   b!c|d  "), QStringLiteral("s.sfn"), QStringLiteral("and")),
              QStringLiteral("and (( s.sfn like '%a%') AND( s.sfn like '%b%') AND NOT( s.sfn like '%c%') OR"
                             " s.sfn like '%d%')"));
    EXPECT_EQ(BuildWordCondition(QStringLiteral("x !y"), QStringLiteral("f"), QString()),
              QStringLiteral(" (( f like '%x%') AND( f like '%%') AND NOT f like '%y%')"));
    EXPECT_EQ(BuildWordCondition(QStringLiteral("x|"), QStringLiteral("f"), QString()),
              QStringLiteral(" (( f like '%x%') OR f like '%%')"));
    EXPECT_EQ(BuildWordCondition(QString(), QStringLiteral("f"), QString()), QString());
}

TEST(BuildWordCondition, LocalFragments)
{
    scratch::TDeployment local(false);
    EXPECT_EQ(BuildWordCondition(QStringLiteral("хлеб|батон"), QStringLiteral("a.name"), QString()),
              QStringLiteral(" (( postext('ХЛЕБ' , a.name)>0 ) OR postext('БАТОН' , a.name)>0)"));
    EXPECT_EQ(BuildWordCondition(QStringLiteral("мёд"), QStringLiteral("a.name"), QString()),
              QStringLiteral(" ( postext('МЁД' , a.name)>0)"));
    EXPECT_EQ(BuildWordCondition(QStringLiteral("a b!c"), QStringLiteral("f"), QString()),
              QStringLiteral(" (( postext('A' , f)>0 ) AND( postext('B' , f)>0 ) AND NOT postext('C' , f)>0)"));
    // A backslash word goes as the hex of what was typed; percent and
    // underscore are plain.
    EXPECT_EQ(BuildWordCondition(EscapeSqlText(QStringLiteral("c:\\dir 5%_")), QStringLiteral("f"), QString()),
              QStringLiteral(" (( postext(CAST(x'433A5C444952' AS TEXT) , f)>0 ) AND postext('5%_' , f)>0)"));
}

TEST(BuildWordCondition, DialectNeedsExactProtocol)
{
    scratch::TDeployment local(false);
    Protocol = QStringLiteral("MySQL");
    EXPECT_TRUE(
        BuildWordCondition(QStringLiteral("a"), QStringLiteral("f"), QString()).contains(QLatin1String("postext")));
}

TEST(BuildWordCondition, QuotesReachTheSqlOnlyAsEscapesOrHex)
{
    {
        scratch::TDeployment network(true);
        EXPECT_EQ(BuildWordCondition(EscapeSqlText(QStringLiteral("O'Neil")), QStringLiteral("f"), QString()),
                  QStringLiteral(" ( f like '%O\\\\\\'Neil%')"));
    }
    scratch::TDeployment local(false);
    // 'O''NEIL' in Windows-1251 bytes.
    EXPECT_EQ(BuildWordCondition(EscapeSqlText(QStringLiteral("O'Neil")), QStringLiteral("f"), QString()),
              QStringLiteral(" ( postext(CAST(x'4F274E45494C' AS TEXT) , f)>0)"));
    EXPECT_EQ(BuildWordCondition(EscapeSqlText(QStringLiteral("\"Я\" б")), QStringLiteral("f"), QString()),
              QStringLiteral(" (( postext(CAST(x'22DF22' AS TEXT) , f)>0 ) AND postext('Б' , f)>0)"));
}

TEST(BuildWordCondition, SplitsAtTheFirstSeparatorHoweverFar)
{
    scratch::TDeployment network(true);
    const QString longWord(12000, u'я');
    const QString condition = BuildWordCondition(longWord + QStringLiteral("!ы"), QStringLiteral("f"), QString());
    EXPECT_EQ(condition, QStringLiteral(" (( f like '%") + longWord + QStringLiteral("%') AND NOT f like '%ы%')"));
}

// ---- words for highlighting

TEST(SplitSearchWords, SeparatorsAndEmptyText)
{
    QStringList words{QStringLiteral("kept")};
    SplitSearchWords(QStringLiteral(" хлеб!(батон)  O'Neil | a#b&c "), words);
    EXPECT_EQ(words,
              (QStringList{QStringLiteral("kept"), QStringLiteral("хлеб"), QStringLiteral("батон"), QStringLiteral("O"),
                           QStringLiteral("Neil"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    QStringList empty;
    SplitSearchWords(QStringLiteral(" !|() "), empty);
    EXPECT_EQ(empty, QStringList{QString()});
    QStringList none;
    SplitSearchWords(QString(), none);
    EXPECT_EQ(none, QStringList{QString()});
}

TEST(HighlightWordsHtml, MarksEveryOccurrenceInAnyCase)
{
    const QString text = QStringLiteral("Хлеб и ХЛЕБОЗАВОД, хлев");
    EXPECT_EQ(HighlightWordsHtml(text, {}), text);
    EXPECT_EQ(HighlightWordsHtml(text, {QStringLiteral("хлеб")}),
              QStringLiteral("<font color=red>Хлеб</font> и <font color=red>ХЛЕБ</font>ОЗАВОД, хлев"));
    EXPECT_EQ(HighlightWordsHtml(text, {QString()}), text);
    EXPECT_EQ(HighlightWordsHtml(QStringLiteral("ёлка"), {QStringLiteral("ЁЛ")}),
              QStringLiteral("<font color=red>ёл</font>ка"));
    EXPECT_EQ(HighlightWordsHtml(QStringLiteral("aaa"), {QStringLiteral("aa")}),
              QStringLiteral("<font color=red>aa</font>a"));
}

TEST(HighlightWordsHtml, LaterWordsNestInsideEarlierMarks)
{
    EXPECT_EQ(HighlightWordsHtml(QStringLiteral("хлебозавод"), {QStringLiteral("хлебозавод"), QStringLiteral("завод")}),
              QStringLiteral("<font color=red>хлебо<font color=red>завод</font></font>"));
}

TEST(HighlightWordsHtml, MarkCharactersInTextOrWordsStayText)
{
    const QString text = QStringLiteral("mail@@@@@@@@@@@x.ru ###########");
    EXPECT_EQ(HighlightWordsHtml(text, {QStringLiteral("zzz")}), text);
    EXPECT_EQ(HighlightWordsHtml(QStringLiteral("a@b"), {QStringLiteral("a"), QStringLiteral("@")}),
              QStringLiteral("<font color=red>a</font><font color=red>@</font>b"));
}

// Catalogue text is text: its markup characters are escaped, the marks are
// the only markup, and a word never matches inside an entity.
TEST(HighlightWordsHtml, TextMarkupIsEscapedAndOnlyTheMarksAreHtml)
{
    const struct {
        QString text;
        QStringList words;
        QString html;
    } cases[] = {
        {QStringLiteral("<b>жирный</b>"), {}, QStringLiteral("&lt;b&gt;жирный&lt;/b&gt;")},
        {QStringLiteral("<h1>Хлеб & Co</h1>"),
         {QStringLiteral("хлеб")},
         QStringLiteral("&lt;h1&gt;<font color=red>Хлеб</font> &amp; Co&lt;/h1&gt;")},
        {QStringLiteral("a<b"), {QStringLiteral("<")}, QStringLiteral("a<font color=red>&lt;</font>b")},
        {QStringLiteral("&lt;"), {QStringLiteral("lt")}, QStringLiteral("&amp;<font color=red>lt</font>;")},
        {QStringLiteral("ООО \"Д'Артаньян\""),
         {QStringLiteral("д'")},
         QStringLiteral("ООО \"<font color=red>Д'</font>Артаньян\"")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HighlightWordsHtml(c.text, c.words), c.html) << c.text.toStdString();
}

// ---- conditions run on real databases

namespace {

struct TWordsTable {
    std::unique_ptr<TZConnection> connection;
    bool network = false;
    QStringList rows; // row id - 1 -> text
};

// Texts whose words are hard to put into SQL, and plain ones.
const QStringList &FixedRows()
{
    static const QStringList rows{
        QStringLiteral("' or 1=1 --"),
        QStringLiteral("O'Neil и партнёры"),
        QStringLiteral("ООО \"Ромашка\""),
        QStringLiteral("скидка 100%"),
        QStringLiteral("a_b"),
        QStringLiteral("c:\\dir\\new"),
        QStringLiteral("хлеб белый"),
        QStringLiteral("Батон нарезной"),
        QStringLiteral("ХЛЕБОЗАВОД №1"),
        QStringLiteral("хлев"),
        QStringLiteral("(скобки) | ! ;"),
        QStringLiteral("1=1"),
    };
    return rows;
}

void FillWordsTable(TWordsTable &t, const QStringList &rows)
{
    TZConnection &c = *t.connection;
    c.ExecuteDirect(t.network ? QStringLiteral("create temporary table words (id int, name varchar(250))")
                              : QStringLiteral("create table words (id int, name varchar(250))"));
    TZReadOnlyQuery q(&c);
    q.SetSQL(QStringLiteral("insert into words values (:id, :name)"));
    for (int i = 0; i < rows.size(); ++i) {
        q.ParamByName(QStringLiteral("id")).SetAsInteger(i + 1);
        q.ParamByName(QStringLiteral("name")).SetAsString(rows[i]);
        q.ExecSQL();
    }
    t.rows = rows;
}

QSet<int> Found(TWordsTable &t, const QString &condition)
{
    TZReadOnlyQuery q(t.connection.get());
    q.SetSQL(QStringLiteral("select id from words where ") + condition);
    q.Open();
    QSet<int> ids;
    for (; !q.Eof(); q.Next())
        ids.insert(q.FieldByName(QStringLiteral("id")).AsInteger());
    return ids;
}

int Count(TWordsTable &t, const QString &where)
{
    TZReadOnlyQuery q(t.connection.get());
    q.SetSQL(QStringLiteral("select count(*) as n from words where ") + where);
    q.Open();
    return q.FieldByName(QStringLiteral("n")).AsInteger();
}

// What a search text means, evaluated here: words split at the first blank,
// "!" or "|"; a word matches a row that contains it in any letter case, an
// empty word matches every row on the network version and none on the local
// one; AND binds tighter than OR. Holds for texts without backslash, % and _.
QSet<int> Expected(const TWordsTable &t, const QString &text, bool network)
{
    QString s = TrimText(text);
    s.remove(QChar(0));
    while (s.contains(QLatin1String("  ")))
        s.replace(QLatin1String("  "), QLatin1String(" "));
    s = TrimText(s);
    QStringList words;
    QList<QChar> separators;
    qsizetype start = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u' ' || s[i] == u'!' || s[i] == u'|') {
            words << TrimText(s.mid(start, i - start));
            separators << s[i];
            start = i + 1;
        }
    }
    words << TrimText(s.mid(start));
    // Characters outside the code page reach the database as '?'.
    const auto norm = [](const QString &x) { return UpperAnsi(FromCp1251(ToCp1251(x))); };
    QSet<int> ids;
    for (int r = 0; r < t.rows.size(); ++r) {
        const QString row = norm(t.rows[r]);
        const auto match = [&](const QString &w) { return w.isEmpty() ? network : row.contains(norm(w)); };
        bool any = false;
        bool term = match(words[0]);
        for (int i = 1; i < words.size(); ++i) {
            const QChar sep = separators[i - 1];
            if (sep == u'|') {
                any = any || term;
                term = match(words[i]);
            } else if (sep == u'!') {
                term = term && !match(words[i]);
            } else {
                term = term && match(words[i]);
            }
        }
        if (any || term)
            ids.insert(r + 1);
    }
    return ids;
}

QString Condition(const QString &text, bool network)
{
    scratch::TDeployment deployment(network);
    return BuildWordCondition(EscapeSqlText(text), QStringLiteral("words.name"), QString());
}

TWordsTable LocalWordsTable(QTemporaryDir &dir, const QStringList &rows)
{
    TWordsTable t;
    t.connection = scratch::OpenScratchSqlite(dir);
    RegisterSqliteFunctionsOn(t.connection->SqliteHandle());
    FillWordsTable(t, rows);
    return t;
}

TWordsTable NetworkWordsTable(const QStringList &rows)
{
    TWordsTable t;
    t.network = true;
    t.connection = scratch::OpenScratchMysql();
    FillWordsTable(t, rows);
    return t;
}

void CheckRepresentativeSearches(TWordsTable &t)
{
    const bool net = t.network;
    for (const QString &text : {QStringLiteral("хлеб|батон"), QStringLiteral("' or 1=1 --"), QStringLiteral("O'Neil"),
                                QStringLiteral("\"Ромашка\""), QStringLiteral("хлеб !белый"),
                                QStringLiteral("хле !в|завод"), QStringLiteral("(скобки) ;"), QStringLiteral("1=1")}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(Found(t, Condition(text, net)), Expected(t, text, net));
    }
    EXPECT_EQ(Found(t, Condition(QStringLiteral("O'Neil"), net)), QSet<int>{2});
    EXPECT_EQ(Found(t, Condition(QStringLiteral("' or 1=1 --"), net)), QSet<int>{1});
    // x !y: the empty word finds everything on the network version and
    // nothing on the local one.
    EXPECT_EQ(Found(t, Condition(QStringLiteral("хлеб !белый"), net)), net ? QSet<int>{9} : QSet<int>{});
    EXPECT_EQ(Found(t, Condition(QStringLiteral("хлеб |белый"), net)), (net ? QSet<int>{7, 9} : QSet<int>{7}));
    // A typed backslash is a plain character in both dialects.
    EXPECT_EQ(Found(t, Condition(QStringLiteral("c:\\dir"), net)), QSet<int>{6});
    EXPECT_EQ(Found(t, Condition(QStringLiteral("dir\\"), net)), QSet<int>{6});
    EXPECT_EQ(Found(t, Condition(QStringLiteral("\\"), net)), QSet<int>{6});
    EXPECT_EQ(Found(t, Condition(QStringLiteral("c:dir"), net)), QSet<int>{});
    // % and _ are wildcards of LIKE only.
    EXPECT_EQ(Found(t, Condition(QStringLiteral("100%"), net)), QSet<int>{4});
    EXPECT_EQ(Found(t, Condition(QStringLiteral("a_b"), net)), QSet<int>{5});
    EXPECT_EQ(Found(t, Condition(QStringLiteral("0_"), net)), net ? QSet<int>{4} : QSet<int>{});
}

} // namespace

TEST(WordConditionSql, LocalVersion)
{
    QTemporaryDir dir;
    TWordsTable t = LocalWordsTable(dir, FixedRows());
    CheckRepresentativeSearches(t);
}

TEST(WordConditionSql, NetworkVersion)
{
    REQUIRE_MYSQL();
    TWordsTable t = NetworkWordsTable(FixedRows());
    CheckRepresentativeSearches(t);
}

// ---- random search texts

namespace {

QString RandomText(QRandomGenerator &rng, bool withEscapes)
{
    static const QString plain = QStringLiteral(":абвгАБВГabcdXY01 !|'\"()-=;*/?#&@.,\tпр\u4E2D\u00E9");
    static const QString escapes = QStringLiteral("\\%_\r\n") + QChar(0) + QChar(1) + QChar(0x1F);
    const QString &alphabet = withEscapes ? plain + escapes : plain;
    const int length = rng.bounded(100) == 0 ? 3000 + rng.bounded(3000) : rng.bounded(1, withEscapes ? 25 : 8);
    QString s;
    for (int i = 0; i < length; ++i) {
        // Long texts are mostly long words, so the word count stays sane.
        if (length > 100 && rng.bounded(60) != 0)
            s += u'я';
        else
            s += alphabet[rng.bounded(int(alphabet.size()))];
    }
    return s;
}

QStringList RandomRows(QRandomGenerator &rng)
{
    QStringList rows = FixedRows();
    static const QString alphabet = QStringLiteral(":абвгАБВГabcdXY01 '\"()-=;?");
    for (int i = 0; i < 150; ++i) {
        QString s;
        for (int n = rng.bounded(1, 12); n > 0; --n)
            s += alphabet[rng.bounded(int(alphabet.size()))];
        rows << s;
    }
    return rows;
}

void RunRandomSearches(TWordsTable &t, QRandomGenerator &rng, int count)
{
    const int total = t.rows.size();
    for (int i = 0; i < count; ++i) {
        const bool withEscapes = i % 3 == 0;
        const QString text = RandomText(rng, withEscapes);
        // The searches build no condition for a box that trims to nothing.
        if (TrimText(text).isEmpty())
            continue;
        SCOPED_TRACE(text.left(200).toStdString());
        const QString condition = Condition(text, t.network);
        try {
            if (withEscapes) {
                // The condition stays one boolean term: it, its negation and
                // its NULL case split the rows.
                EXPECT_EQ(Count(t, condition) + Count(t, QStringLiteral(" not (") + condition + u')') +
                              Count(t, QStringLiteral(" (") + condition + QStringLiteral(") is null")),
                          total);
            } else {
                ASSERT_EQ(Found(t, condition), Expected(t, text, t.network));
            }
        } catch (const Exception &e) {
            FAIL() << e.Message().toStdString();
        }
    }
}

} // namespace

TEST(WordConditionSql, RandomTextsLocalVersion)
{
    QRandomGenerator rng(4711);
    QTemporaryDir dir;
    TWordsTable t = LocalWordsTable(dir, RandomRows(rng));
    RunRandomSearches(t, rng, 3000);
}

TEST(WordConditionSql, RandomTextsNetworkVersion)
{
    REQUIRE_MYSQL();
    QRandomGenerator rng(4712);
    TWordsTable t = NetworkWordsTable(RandomRows(rng));
    RunRandomSearches(t, rng, 3000);
}

TEST(WordConditionSql, SampleCatalogueFindsTheSameGoodsInBothDeployments)
{
    REQUIRE_MYSQL();
    auto local = scratch::OpenSqlite(testenv::SampleCatalogue());
    RegisterSqliteFunctionsOn(local->SqliteHandle());
    auto network = scratch::OpenMysql(testenv::Mysql().catalogue);
    TZReadOnlyQuery lq(local.get());
    TZReadOnlyQuery nq(network.get());
    lq.SetSQL(QStringLiteral("select name from good order by cid, id limit 40"));
    lq.Open();
    QStringList searches;
    for (; !lq.Eof(); lq.Next()) {
        const QStringList words = lq.FieldByName(QStringLiteral("name")).AsString().split(u' ', Qt::SkipEmptyParts);
        if (words.size() >= 2)
            searches << words[0].left(4).toLower() + u' ' + words[1].toUpper()
                     << words[0] + QStringLiteral("|") + words.last()
                     << words[0] + QStringLiteral(" !") + words[1].left(3);
    }
    ASSERT_FALSE(searches.isEmpty());
    const auto found = [](TZReadOnlyQuery &q, const QString &text, bool net) {
        q.SetSQL(QStringLiteral("select cid, id from good a where ") +
                 Condition(text, net).replace(QLatin1String("words.name"), QLatin1String("a.name")));
        q.Open();
        QSet<QString> keys;
        for (; !q.Eof(); q.Next())
            keys.insert(q.FieldByName(QStringLiteral("cid")).AsString() + u'/' +
                        q.FieldByName(QStringLiteral("id")).AsString());
        return keys;
    };
    int nonEmpty = 0;
    for (const QString &text : searches) {
        if (text.contains(u'!'))
            continue; // the empty word of "x !y" differs by design
        SCOPED_TRACE(text.toStdString());
        const QSet<QString> l = found(lq, text, false);
        const QSet<QString> n = found(nq, text, true);
        EXPECT_TRUE(l == n) << QStringList((l - n).values()).join(u',').toStdString() << " / "
                            << QStringList((n - l).values()).join(u',').toStdString();
        nonEmpty += l.isEmpty() ? 0 : 1;
    }
    EXPECT_GT(nonEmpty, 0);
}
