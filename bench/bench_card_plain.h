#pragma once
// The organisation card of the local version written the plain way, as the
// baseline of the card and firm window benchmarks: the card's statements run
// one by one on the bare SQLite API (prepared, bound by name, stepped,
// finalized), their rows read by column number, the HTML concatenated as
// the card gives it (every section, no telephony program). The small text
// helpers (escaping, address line, highlighting, dates) are the program's
// own, so the two cards can be compared byte for byte.

#include "bench_sqlite_rows.h"
#include "data/codec.h"
#include "services/tools_format.h"
#include "services/tools_searchwords.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <vector>

namespace plaincard {

// One statement's rows as texts (null as empty), by column number.
inline std::vector<QStringList> Rows(sqlite3 *db, const QString &sql, int cid, int fid, int adr)
{
    return SqliteRows(db, ToCp1251(sql), {{":cid", cid}, {":fid", fid}, {":adr_id", adr}});
}

struct TWords {
    bool byUser = false;
    QString name, attr, phone, people, post, web;
};

inline QString Shown(const QString &text, const TWords *words, const QString TWords::*which)
{
    if (!words || !words->byUser)
        return EscapeHtmlText(text);
    QStringList list;
    SplitSearchWords(words->*which, list);
    return list.isEmpty() ? EscapeHtmlText(text) : HighlightWordsHtml(text, list);
}

inline QString Address(const QStringList &r, int at)
{
    // street, type, house, lit, office, ext, city from column at on
    return FormatAddress(r[at + 6], r[at], r[at + 1], r[at + 2], r[at + 3], r[at + 4], r[at + 5], QStringLiteral("---"),
                         true);
}

inline QString DayName(const QString &d)
{
    return GetWeekdayNameOfDigit(d);
}

inline QString ChangeDate(const QString &value)
{
    const QDateTime when = ParseSqlDateTime(value);
    return when == ZeroDateTime() ? QString() : DateTimeText(when);
}

// The card of one address; words null for a card without a view.
inline QString Build(sqlite3 *db, int cid, int fid, int adr, bool compact, const TWords *words)
{
    const QString br = QStringLiteral("<br>");
    const QString where = QStringLiteral(" cid=:cid and fid=:fid and (adr_id in (:adr_id,0)  or :adr_id=0 )");
    QString html;
    const auto section = [&](const QString &title, const QString &body, const QString &tail = QStringLiteral("<br>"),
                             const QString &width = QString()) {
        if (body.isEmpty())
            return;
        if (compact)
            html += QStringLiteral("<b>") + title + QStringLiteral("</b><br>") + body + tail;
        else
            html += QStringLiteral("<tr><td valign=top") + width + QStringLiteral("><b>") + title +
                    QStringLiteral("</b></td><td valign=top>") + body + QStringLiteral("</td></tr>");
    };

    const auto head = Rows(
        db,
        QStringLiteral("select a.sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,"
                       "y.name as city_name from address a, street_name s, street_type t, city y where  y.cid=:cid "
                       "and a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and a.fid=:fid and "
                       "(a.adr_id in (:adr_id,0)  or :adr_id=0 ) limit 1"),
        cid, fid, adr);
    const QString name = head.empty() ? QString() : head[0][0];
    const QString address =
        head.empty() ? FormatAddress({}, {}, {}, {}, {}, {}, {}, QStringLiteral("---"), true) : Address(head[0], 1);
    html = QStringLiteral("<table border=0 width=\"100%\"><tr><td>");
    html += QStringLiteral("<p align=center><font size=\"+1\"><b>") + Shown(name, words, &TWords::name) +
            QStringLiteral("</b></font></p>");
    html += compact ? br : QStringLiteral("<center><table border=0 CELLPADDING=1 CELLSPACING=1 width=\"100%\">");

    QString body;
    for (const QStringList &r :
         Rows(db, QStringLiteral("SELECT attr FROM attr WHERE ") + where + QStringLiteral(" ORDER by adr_id"), cid, fid,
              adr))
        if (!r[0].isEmpty())
            body += Shown(r[0], words, &TWords::attr) + br;
    section(QStringLiteral("Вид деятельности"), body);

    body.clear();
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    for (const QStringList &r :
         Rows(db,
              QStringLiteral("SELECT name,start_date,end_date,tp FROM discount WHERE ") + where +
                  QStringLiteral("  and end_date>='") + today + QStringLiteral("' and start_date<='") + today +
                  QStringLiteral("' ORDER by end_date desc"),
              cid, fid, adr)) {
        if (r[0].isEmpty())
            continue;
        body += EscapeHtmlText(r[0]);
        if (r[3] == QLatin1String("a") && r[2] != QLatin1String("2100-01-01") &&
            QDate::fromString(r[2].left(10), QStringLiteral("yyyy-MM-dd")) != QDate(2100, 1, 1))
            body += QStringLiteral(" Акция проводится с ") + EscapeHtmlText(r[1]) + QStringLiteral(" по ") +
                    EscapeHtmlText(r[2]);
        body += br;
    }
    section(QStringLiteral("Скидки, распродажи"), body);

    body.clear();
    for (const QStringList &r : Rows(db,
                                     QStringLiteral("SELECT allinfo,code,phone FROM phone WHERE ") + where +
                                         QStringLiteral(" ORDER by adr_id, prior"),
                                     cid, fid, adr))
        if (!r[0].isEmpty())
            body += (words ? Shown(r[0], words, &TWords::phone) : EscapeHtmlText(r[0])) + br;
    section(QStringLiteral("Телефоны"), body);

    body.clear();
    for (const QStringList &r : Rows(db,
                                     QStringLiteral("SELECT name, post FROM people WHERE ") + where +
                                         QStringLiteral(" AND visible=\"1\" ORDER by adr_id, prior"),
                                     cid, fid, adr)) {
        if (r[0].isEmpty())
            continue;
        body += Shown(r[0], words, &TWords::people);
        if (!r[1].isEmpty())
            body += QStringLiteral(" - ") + EscapeHtmlText(r[1]);
        body += br;
    }
    section(QStringLiteral("Персонал"), body);

    if (!address.isEmpty()) {
        QString transport;
        for (const QStringList &r : Rows(db,
                                         QStringLiteral("SELECT name FROM transport WHERE ") + where +
                                             QStringLiteral(" ORDER by adr_id, prior"),
                                         cid, fid, adr))
            if (!r[0].isEmpty())
                transport += EscapeHtmlText(r[0]) + br;
        body = Shown(address, words, &TWords::post);
        if (!transport.isEmpty())
            body += QStringLiteral("<br><font size=\"-1\">Как проехать:<br>") + transport + QStringLiteral("</font>");
        section(QStringLiteral("Адрес"), body, br, QStringLiteral(" width=\"1%\""));
    }

    body.clear();
    for (const QStringList &r : Rows(db,
                                     QStringLiteral("SELECT tp, name, who FROM web WHERE  ") + where +
                                         QStringLiteral(" AND visible=\"1\" ORDER by adr_id, prior"),
                                     cid, fid, adr)) {
        if (r[1].isEmpty())
            continue;
        const QString shown = Shown(r[1], words, &TWords::web);
        if (r[0] == QLatin1String("w"))
            body += QStringLiteral("сайт: <a href=\"http://") + EscapeHtmlAttribute(r[1]) +
                    QStringLiteral("\" target=\"_blank\" rel=\"nofollow\">") + shown + QStringLiteral("</a>");
        else if (r[0] == QLatin1String("e"))
            body += QStringLiteral("e-mail: <a href=\"mailto:") + EscapeHtmlAttribute(r[1]) + QStringLiteral("\">") +
                    shown + QStringLiteral("</a>");
        else if (r[0] == QLatin1String("i"))
            body += QStringLiteral("ICQ: ") + shown;
        if (!r[2].isEmpty())
            body += u'(' + Shown(r[2], words, &TWords::web) + u')';
        body += br;
    }
    section(QStringLiteral("Виртуальные адреса"), body);

    body.clear();
    const QString link = QStringLiteral("<a href=filial_%1_%2_").arg(cid).arg(fid);
    for (const QStringList &r :
         Rows(db,
              QStringLiteral(" select a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as "
                             "street_type,house,lit,office,ext,y.name as city_name  from address a, street_name s, "
                             "street_type t, city y  where a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and "
                             "s.strt_id=t.id and a.cid=%1 and fid=%2 and adr_id<>%3 order by sfn")
                  .arg(cid)
                  .arg(fid)
                  .arg(adr),
              cid, fid, adr))
        if (!r[1].isEmpty())
            body += link + EscapeHtmlAttribute(r[0]) + u'>' + EscapeHtmlText(r[1]) + QStringLiteral("</a><br>") +
                    EscapeHtmlText(Address(r, 2)) + br;
    section(QStringLiteral("Равноправные подразделения"), body);

    body.clear();
    for (const QStringList &r :
         Rows(db,
              QStringLiteral("SELECT AllDays, AllTimes, NoBreaks, days, sw, ew, sb, eb, who FROM "
                             "wt WHERE ") +
                  where + QStringLiteral(" ORDER by adr_id, days"),
              cid, fid, adr)) {
        const QString &days = r[3];
        if (r[0] == QLatin1String("1"))
            body += QStringLiteral("без выходных");
        else if (days.size() == 1)
            body += DayName(days);
        else if (days.size() == 2)
            body += DayName(days.left(1)) + u',' + DayName(days.mid(1, 1));
        else if (days.size() > 2)
            body += DayName(days.left(1)) + u'-' + DayName(days.right(1));
        if (r[1] == QLatin1String("1"))
            body += QStringLiteral(" круглосуточно");
        else
            body += QStringLiteral(" с ") + EscapeHtmlText(r[4].left(5)) + QStringLiteral(" до ") +
                    EscapeHtmlText(r[5].left(5));
        if (r[2] == QLatin1String("1"))
            body += QStringLiteral(" без перерыва");
        else
            body += QStringLiteral(" с ") + EscapeHtmlText(r[6].left(5)) + QStringLiteral(" до ") +
                    EscapeHtmlText(r[7].left(5));
        if (!r[8].isEmpty())
            body += QStringLiteral(" - ") + EscapeHtmlText(r[8]);
        body += br;
    }
    section(QStringLiteral("Время работы"), body);

    const auto dates =
        Rows(db, QStringLiteral("select update_firm,update_price from firm where cid=:cid and fid=:fid limit 1"), cid,
             fid, adr);
    if (!dates.empty()) {
        const QString blank = QStringLiteral("<br><br>");
        section(QStringLiteral("Дата измен. информации"), ChangeDate(dates[0][0]), blank);
        const QString priceDate = ChangeDate(dates[0][1]);
        if (!priceDate.isEmpty() &&
            !Rows(db, QStringLiteral("select 1 from good where cid=:cid and fid=:fid limit 1"), cid, fid, adr).empty())
            section(QStringLiteral("Дата измен. прайс-листа"), priceDate, blank);
    }
    html += compact ? QStringLiteral("</td></tr></table>") : QStringLiteral("</table></center></td></tr></table>");
    return html;
}

} // namespace plaincard
