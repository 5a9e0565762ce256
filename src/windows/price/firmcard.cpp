#include "windows/price/firmcard.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"
#include "services/pagerules.h"
#include "services/globals.h"
#include "services/tools_format.h"
#include "services/tools_searchwords.h"
#include "windows/main/historyrec.h"
#include "windows/price/cardtelephony.h"

#include <QDate>
#include <QLocale>

namespace {

const QString kOpening = QStringLiteral("<table border=0 width=\"100%\"><tr><td>");
const QString kCompactAfterHeading = QStringLiteral("<br>");
const QString kTableAfterHeading =
    QStringLiteral("<center><table border=0 CELLPADDING=1 CELLSPACING=1 width=\"100%\">");
const QString kCompactClosing = QStringLiteral("</td></tr></table>");
const QString kTableClosing = QStringLiteral("</table></center></td></tr></table>");
const QString kTableTail = QStringLiteral("</td></tr>");
const QString kBr = QStringLiteral("<br>");

enum TSection { sAttr, sDiscount, sPhone, sPeople, sPost, sWeb, sFilial, sWt, sUpdateFirm, sUpdatePrice };

struct TSectionTexts {
    QString compactHead;
    QString compactTail;
    QString tableHead;
};

// A section's head in both layouts comes from its title; the address cell
// keeps its column narrow, the two dates leave a blank line after them.
TSectionTexts MakeTexts(const QString &title, const QString &compactTail = kBr, const QString &cellWidth = {})
{
    return {QStringLiteral("<b>") + title + QStringLiteral("</b><br>"), compactTail,
            QStringLiteral("<tr><td valign=top") + cellWidth + QStringLiteral("><b>") + title +
                QStringLiteral("</b></td><td valign=top>")};
}

const TSectionTexts &Texts(TSection s)
{
    static const QString kBlankLine = QStringLiteral("<br><br>");
    static const TSectionTexts texts[] = {
        MakeTexts(QStringLiteral("Вид деятельности")),
        MakeTexts(QStringLiteral("Скидки, распродажи")),
        MakeTexts(QStringLiteral("Телефоны")),
        MakeTexts(QStringLiteral("Персонал")),
        MakeTexts(QStringLiteral("Адрес"), kBr, QStringLiteral(" width=\"1%\"")),
        MakeTexts(QStringLiteral("Виртуальные адреса")),
        MakeTexts(QStringLiteral("Равноправные подразделения")),
        MakeTexts(QStringLiteral("Время работы")),
        MakeTexts(QStringLiteral("Дата измен. информации"), kBlankLine),
        MakeTexts(QStringLiteral("Дата измен. прайс-листа"), kBlankLine),
    };
    return texts[s];
}

class TCardBuilder
{
public:
    TCardBuilder(TZReadOnlyQuery &query, int cid, int fid, int adrId, bool compact, const THistoryRec *history,
                 const TCardSections &sections, int maxText)
        : m_q(query), m_cid(cid), m_fid(fid), m_adrId(adrId), m_compact(compact), m_history(history),
          m_sections(sections), m_maxText(maxText)
    {}

    QString Build();

private:
    QString HighlightSection(const QString &text, const QString &words) const;
    // A catalogue text as it is shown: cut to the card's bound, if it has one.
    QString Shown(const QString &text) const { return m_maxText > 0 ? CutLongText(text, m_maxText) : text; }
    QString Escape(const QString &text) const { return EscapeHtmlText(Shown(text)); }
    void Open(const QString &sql, bool withAddress = true);
    QString Text(const char *field) const { return m_q.FieldByName(QLatin1String(field)).AsString(); }
    QString AddressOfRow() const;
    void AddSection(TSection s, const QString &body);

    void ReadAddressRow();
    void AddActivity();
    void AddDiscounts();
    void AddPhones();
    void AddPeople();
    void AddAddress();
    void AddWeb();
    void AddBranches();
    void AddWorkTime();
    void AddDates();

    TZReadOnlyQuery &m_q;
    const int m_cid;
    const int m_fid;
    const int m_adrId;
    const bool m_compact;
    const THistoryRec *m_history;
    const TCardSections m_sections;
    const int m_maxText;
    QString m_name;
    QString m_address;
    QString m_html;
};

// Catalogue text as HTML; the words are highlighted only in a view the user
// typed.
QString TCardBuilder::HighlightSection(const QString &text, const QString &words) const
{
    if (!m_history || !m_history->ByUser)
        return Escape(text);
    QStringList list;
    SplitSearchWords(words, list);
    if (list.isEmpty())
        return Escape(text);
    return HighlightWordsHtml(Shown(text), list);
}

void TCardBuilder::Open(const QString &sql, bool withAddress)
{
    m_q.Close();
    m_q.SetSQL(sql);
    m_q.ParamByName(QStringLiteral("cid")).SetAsInteger(m_cid);
    m_q.ParamByName(QStringLiteral("fid")).SetAsInteger(m_fid);
    if (withAddress)
        m_q.ParamByName(QStringLiteral("adr_id")).SetAsInteger(m_adrId);
    m_q.Open();
}

QString TCardBuilder::AddressOfRow() const
{
    return FormatAddress(Text("city_name"), Text("street_name"), Text("street_type"), Text("house"), Text("lit"),
                         Text("office"), Text("ext"), QStringLiteral("---"), true);
}

void TCardBuilder::AddSection(TSection s, const QString &body)
{
    if (body.isEmpty())
        return;
    const TSectionTexts &t = Texts(s);
    if (m_compact)
        m_html += t.compactHead + body + t.compactTail;
    else
        m_html += t.tableHead + body + kTableTail;
}

void TCardBuilder::ReadAddressRow()
{
    Open(QStringLiteral("select a.sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,"
                        "y.name as city_name from address a, street_name s, street_type t, city y where ") +
         QStringLiteral(" y.cid=:cid and a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id "
                        "and a.fid=:fid and (a.adr_id in (:adr_id,0)  or :adr_id=0 )") +
         QStringLiteral(" limit 1"));
    if (m_q.IsEmpty()) {
        // Without a row only the city prefix of the address is left.
        m_address = FormatAddress(QString(), QString(), QString(), QString(), QString(), QString(), QString(),
                                  QStringLiteral("---"), true);
    } else {
        m_name = Text("sfn");
        m_address = AddressOfRow();
    }
    m_q.Close();
}

void TCardBuilder::AddActivity()
{
    Open(QStringLiteral("SELECT attr FROM attr WHERE ") + kAddressCondition + QStringLiteral(" ORDER by adr_id"));
    QString body;
    for (; !m_q.Eof(); m_q.Next()) {
        const QString attr = Text("attr");
        if (!attr.isEmpty())
            body += HighlightSection(attr, m_history ? m_history->EnprAttr : QString()) + kBr;
    }
    AddSection(sAttr, body);
}

void TCardBuilder::AddDiscounts()
{
    Open(CurrentDiscountsSql());
    QString body;
    for (; !m_q.Eof(); m_q.Next()) {
        const QString name = Text("name");
        if (name.isEmpty())
            continue;
        body += Escape(name);
        if (Text("tp") == QLatin1String("a")) {
            QDate start, end;
            const QString startText = DiscountDateText(Text("start_date"), &start);
            const QString endText = DiscountDateText(Text("end_date"), &end);
            // Open-ended promotions end on 2100-01-01 and show no period,
            // whatever the short date format looks like.
            const bool openEnded = endText == QLatin1String("2100-01-01") || endText == QLatin1String("01.01.2100") ||
                                   end == QDate(2100, 1, 1);
            if (!openEnded)
                body += QStringLiteral(" Акция проводится с ") + Escape(startText) + QStringLiteral(" по ") +
                        Escape(endText);
        }
        body += kBr;
    }
    if (IsNetwork && !body.isEmpty())
        body = QStringLiteral("<font color=red>") + body + QStringLiteral("</font>");
    AddSection(sDiscount, body);
}

void TCardBuilder::AddPhones()
{
    // The telephony program answers inside this call, before the list below
    // decides on transfer links.
    TCardTelephony *telephony = CardTelephony();
    if (telephony)
        telephony->QueryCanTransfer(m_cid);
    if (!m_sections.Phone)
        return;
    const bool transfer = telephony && telephony->CanTransfer() && telephony->IsTransferCity(m_cid);

    Open(QStringLiteral("SELECT allinfo,code,phone FROM phone WHERE ") + kAddressCondition +
         QStringLiteral(" ORDER by adr_id, prior"));
    int rows = 0;
    QString body;
    for (; !m_q.Eof(); m_q.Next()) {
        ++rows;
        const QString info = Text("allinfo");
        if (info.isEmpty())
            continue;
        if (m_history) {
            body += HighlightSection(info, m_history->EnprPhone);
        } else if (transfer) {
            QString number = TrimText(Text("code"));
            if (number.isEmpty())
                number = QString::number(m_cid);
            number += TrimText(Text("phone"));
            if (number.size() == 10 && number[0] != u'9')
                body += QStringLiteral("<a href=transfer_") + EscapeHtmlAttribute(number) + u'>' + Escape(info) +
                        QStringLiteral("</a>");
            else
                body += Escape(info);
        } else {
            body += Escape(info);
        }
        body += kBr;
    }
    if (body.isEmpty())
        return;
    // The network version lists the numbers in the telephones window only.
    if (m_compact && IsNetwork)
        m_html += Texts(sPhone).compactHead + FormatPhoneCount(rows) + QStringLiteral("<br><br>");
    else
        AddSection(sPhone, body);
}

void TCardBuilder::AddPeople()
{
    Open(QStringLiteral("SELECT name, post FROM people WHERE ") + kAddressCondition +
         QStringLiteral(" AND visible=\"1\" ORDER by adr_id, prior"));
    QString body;
    for (; !m_q.Eof(); m_q.Next()) {
        const QString name = Text("name");
        if (name.isEmpty())
            continue;
        body += HighlightSection(name, m_history ? m_history->EnprPeople : QString());
        const QString post = Text("post");
        if (!post.isEmpty())
            body += QStringLiteral(" - ") + Escape(post);
        body += kBr;
    }
    AddSection(sPeople, body);
}

void TCardBuilder::AddAddress()
{
    if (m_address.isEmpty())
        return;
    QString transport;
    if (m_sections.Transport) {
        Open(QStringLiteral("SELECT name FROM transport WHERE ") + kAddressCondition +
             QStringLiteral(" ORDER by adr_id, prior"));
        for (; !m_q.Eof(); m_q.Next()) {
            const QString name = Text("name");
            if (!name.isEmpty())
                transport += Escape(name) + kBr;
        }
    }
    QString body = HighlightSection(m_address, m_history ? m_history->EnprPost : QString());
    if (!transport.isEmpty())
        body += QStringLiteral("<br><font size=\"-1\">Как проехать:<br>") + transport + QStringLiteral("</font>");
    AddSection(sPost, body);
}

void TCardBuilder::AddWeb()
{
    Open(QStringLiteral("SELECT tp, name, who FROM web WHERE  ") + kAddressCondition +
         QStringLiteral(" AND visible=\"1\" ORDER by adr_id, prior"));
    const QString words = m_history ? m_history->EnprWeb : QString();
    QString body;
    for (; !m_q.Eof(); m_q.Next()) {
        const QString name = Text("name");
        if (name.isEmpty())
            continue;
        const QString shown = HighlightSection(name, words);
        const QString tp = Text("tp");
        if (tp == QLatin1String("w"))
            body += QStringLiteral("сайт: <a href=\"http://") + EscapeHtmlAttribute(name) +
                    QStringLiteral("\" target=\"_blank\" rel=\"nofollow\">") + shown + QStringLiteral("</a>");
        else if (tp == QLatin1String("e"))
            body += QStringLiteral("e-mail: <a href=\"mailto:") + EscapeHtmlAttribute(name) + QStringLiteral("\">") +
                    shown + QStringLiteral("</a>");
        else if (tp == QLatin1String("i"))
            body += QStringLiteral("ICQ: ") + shown;
        const QString who = Text("who");
        if (!who.isEmpty())
            body += u'(' + HighlightSection(who, words) + u')';
        body += kBr;
    }
    AddSection(sWeb, body);
}

void TCardBuilder::AddBranches()
{
    m_q.Close();
    m_q.SetSQL(QStringLiteral(" select a.adr_id as adr_id,a.sfn as sfn,s.name as street_name,t.name_small as "
                              "street_type,house,lit,office,ext,y.name as city_name  from address a, "
                              "street_name s, street_type t, city y  where a.cid=y.cid and a.cid=s.cid and "
                              "a.strn_id=s.id and s.strt_id=t.id and a.cid=") +
               QString::number(m_cid) + QStringLiteral(" and fid=") + QString::number(m_fid) +
               QStringLiteral(" and adr_id<>") + QString::number(m_adrId) + QStringLiteral(" order by sfn"));
    m_q.Open();
    const QString link =
        QStringLiteral("<a href=filial_") + QString::number(m_cid) + u'_' + QString::number(m_fid) + u'_';
    QString body;
    for (; !m_q.Eof(); m_q.Next()) {
        const QString sfn = Text("sfn");
        if (sfn.isEmpty())
            continue;
        body += link + EscapeHtmlAttribute(Text("adr_id")) + u'>' + Escape(sfn) + QStringLiteral("</a><br>") +
                Escape(AddressOfRow()) + kBr;
    }
    AddSection(sFilial, body);
}

QString DaysText(const QString &days)
{
    switch (days.size()) {
    case 0: return QString();
    case 1: return GetWeekdayNameOfDigit(days);
    case 2: return GetWeekdayNameOfDigit(days.left(1)) + u',' + GetWeekdayNameOfDigit(days.mid(1, 1));
    default:
        // First and last day only: 135 reads Monday to Friday.
        return GetWeekdayNameOfDigit(days.left(1)) + u'-' + GetWeekdayNameOfDigit(days.right(1));
    }
}

void TCardBuilder::AddWorkTime()
{
    if (IsMysqlProtocol())
        Open(QStringLiteral("SELECT AllDays, AllTimes, NoBreaks, days, date_format(sw,'%H:%i:%S') as sw, "
                            "date_format(ew,'%H:%i:%S') as ew, date_format(sb,'%H:%i:%S') as sb, "
                            "date_format(eb,'%H:%i:%S') as eb, who FROM wt WHERE ") +
             kAddressCondition + QStringLiteral(" ORDER by adr_id, days"));
    else
        Open(QStringLiteral("SELECT AllDays, AllTimes, NoBreaks, days, sw, ew, sb, eb, who FROM wt WHERE ") +
             kAddressCondition + QStringLiteral(" ORDER by adr_id, days"));
    const QString one = QStringLiteral("1");
    QString body;
    for (; !m_q.Eof(); m_q.Next()) {
        body += Text("AllDays") == one ? QStringLiteral("без выходных") : DaysText(Text("days"));
        if (Text("AllTimes") == one)
            body += QStringLiteral(" круглосуточно");
        else
            body += QStringLiteral(" с ") + Escape(Text("sw").left(5)) + QStringLiteral(" до ") +
                    Escape(Text("ew").left(5));
        if (Text("NoBreaks") == one)
            body += QStringLiteral(" без перерыва");
        else
            body += QStringLiteral(" с ") + Escape(Text("sb").left(5)) + QStringLiteral(" до ") +
                    Escape(Text("eb").left(5));
        const QString who = Text("who");
        if (!who.isEmpty())
            body += QStringLiteral(" - ") + Escape(who);
        body += kBr;
    }
    AddSection(sWt, body);
}

// The date and time of a change; empty when the catalogue holds none.
QString ChangeDateText(const QString &value)
{
    QDateTime when;
    if (IsMysqlProtocol()) {
        // The server's zero date is no date either.
        try {
            when = ParseSqlDateTime(value);
        } catch (const Exception &) {
            when = ZeroDateTime();
        }
    } else {
        when = ParseSqlDateTime(value);
    }
    // A missing date would otherwise read as 30.12.1899.
    if (when == ZeroDateTime())
        return QString();
    return DateTimeText(when);
}

void TCardBuilder::AddDates()
{
    Open(QStringLiteral("select update_firm,update_price from firm where cid=:cid and fid=:fid limit 1"), false);
    if (m_q.IsEmpty())
        return;
    const QString firmDate = ChangeDateText(Text("update_firm"));
    const QString priceDate = ChangeDateText(Text("update_price"));
    AddSection(sUpdateFirm, firmDate);
    if (priceDate.isEmpty())
        return;
    Open(QStringLiteral("select 1 from good where cid=:cid and fid=:fid limit 1"), false);
    if (!m_q.IsEmpty())
        AddSection(sUpdatePrice, priceDate);
}

QString TCardBuilder::Build()
{
    ReadAddressRow();
    m_html = kOpening;
    if (m_sections.Name)
        m_html += QStringLiteral("<p align=center><font size=\"+1\"><b>") +
                  HighlightSection(m_name, m_history ? m_history->EnprName : QString()) +
                  QStringLiteral("</b></font></p>");
    m_html += m_compact ? kCompactAfterHeading : kTableAfterHeading;
    if (m_sections.Attr) {
        AddActivity();
        AddDiscounts();
    }
    AddPhones();
    if (m_sections.People)
        AddPeople();
    if (m_sections.Post)
        AddAddress();
    if (m_sections.Web)
        AddWeb();
    if (m_sections.Filial)
        AddBranches();
    if (m_sections.Wt)
        AddWorkTime();
    if (m_sections.Update)
        AddDates();
    m_q.Close();
    m_html += m_compact ? kCompactClosing : kTableClosing;
    return m_html;
}

} // namespace

void BuildFirmCardHtml(TZReadOnlyQuery &Query, int cid, int fid, int adr_id, bool Compact, const THistoryRec *History,
                       const TCardSections &Sections, QString &Html, int MaxTextLength)
{
    TSqlWaitCursorOff cursorOff(Query.Connection);
    Html = TCardBuilder(Query, cid, fid, adr_id, Compact, History, Sections, MaxTextLength).Build();
}

QString CurrentDiscountsSql()
{
    QString sql = QStringLiteral("SELECT name,start_date,end_date,tp FROM discount WHERE ") + kAddressCondition;
    if (IsMysqlProtocol()) {
        sql += QStringLiteral("  and end_date>=now() and start_date<=now() ORDER by end_date desc");
    } else {
        const QString today = GetTodayIsoDate();
        sql += QStringLiteral("  and end_date>='") + today + QStringLiteral("' and start_date<='") + today +
               QStringLiteral("' ORDER by end_date desc");
    }
    return sql;
}

QString DiscountDateText(const QString &value, QDate *date)
{
    *date = QDate::fromString(value.left(10), QStringLiteral("yyyy-MM-dd"));
    if (!IsMysqlProtocol() || !date->isValid())
        return value;
    return DateLocale().toString(*date, QLocale::ShortFormat);
}
