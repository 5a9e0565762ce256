#include "services/tools_format.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"
#include "services/globals.h"

#include <QLocale>

#include <cmath>

QString TrimText(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start].unicode() <= 32)
        ++start;
    while (end > start && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(start, end - start);
}

// ---- HTML

QString EscapeHtmlText(const QString &text)
{
    // Most catalogue texts have nothing to escape: they are given back as they are.
    qsizetype first = 0;
    while (first < text.size() && text[first] != u'&' && text[first] != u'<' && text[first] != u'>')
        ++first;
    if (first == text.size())
        return text;
    QString out;
    out.reserve(text.size() + 8);
    out.append(QStringView(text).left(first));
    for (const QChar c : QStringView(text).mid(first)) {
        switch (c.unicode()) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        default: out += c;
        }
    }
    return out;
}

QString EscapeHtmlAttribute(const QString &text)
{
    return EscapeHtmlText(text).replace(u'"', QLatin1String("&quot;"));
}

// ---- prices

QString GroupThousands(const QString &text)
{
    QString s = TrimText(text);
    if (s.isEmpty())
        return QString();
    s.replace(u',', u'.');
    const qsizetype dot = s.indexOf(u'.');
    if (dot < 0)
        return QString();
    QString integer = s.left(dot);
    const QString fraction = s.mid(dot + 1);
    // The blank goes in only with a digit before the last three, so that a
    // minus sign is never cut off from its number ("-123", not "- 123").
    const qsizetype digitsBefore = integer.size() - 3;
    if (digitsBefore > 0 && integer[digitsBefore - 1].isDigit())
        integer.insert(digitsBefore, u' ');
    return TrimText(integer) + u'.' + fraction;
}

QString FormatPrice(const QString &currency, double value)
{
    if (value == 0 || !std::isfinite(value))
        return QString();
    // Cut toward zero to whole hundredths; kept in a double, so any magnitude fits.
    const double hundredths = std::trunc(value * 100.0);
    if (hundredths == 0 || !std::isfinite(hundredths))
        return QString();
    // The decimal digits of a whole double are exact; dividing it by 100 as
    // a double is not (large prices would show wrong last digits), so the
    // point is put in front of the last two digits instead. 'f' formatting is
    // locale-free.
    QString digits = QString::number(std::fabs(hundredths), 'f', 0).rightJustified(3, u'0');
    const qsizetype units = digits.size() - 2;
    digits.insert(units, u'.');
    if (hundredths < 0)
        digits.prepend(u'-');
    const QString number = GroupThousands(digits);
    QString word;
    if (currency == QLatin1String("doll"))
        word = QStringLiteral("$");
    else if (currency == QLatin1String("euro"))
        word = QStringLiteral("euro");
    else
        word = QStringLiteral("руб");
    return number + u' ' + word;
}

namespace {

bool ConvertPrice(const QString &text, double &value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

} // namespace

double ParsePriceText(const QString &text)
{
    const QString s = TrimText(text);
    double value = 1;
    if (s.isEmpty())
        return value;
    QString commas = s;
    commas.replace(u'.', u',');
    if (ConvertPrice(commas, value))
        return value;
    QString dots = s;
    dots.replace(u',', u'.');
    if (ConvertPrice(dots, value))
        return value;
    return 1;
}

QString FormatPriceText(const QString &text, const QString &currency)
{
    return FormatPrice(currency, ParsePriceText(text));
}

// ---- addresses

QString FormatAddress(const QString &city, const QString &streetName, const QString &streetType, const QString &house,
                      const QString &letter, const QString &office, const QString &extension, const QString &district,
                      bool withCity)
{
    const auto isDashes = [](const QString &s) { return s == QLatin1String("--") || s == QLatin1String("---"); };
    const QString street = isDashes(streetName) ? QString() : streetName;
    const QString region = isDashes(district) ? QString() : district;
    const QString houseNo = house == QLatin1String("0") ? QString() : house;
    const QString officeNo = office == QLatin1String("0") ? QString() : office;

    QString streetPart;
    if (!street.isEmpty())
        streetPart = (streetType.isEmpty() ? QStringLiteral("ул. ") : streetType + u' ') + street;
    if (!houseNo.isEmpty()) {
        streetPart += u' ' + houseNo;
        if (!letter.isEmpty())
            streetPart += u'/' + letter;
    }
    streetPart = TrimText(streetPart);
    const QString officePart = officeNo.isEmpty() ? QString() : QStringLiteral("оф. ") + officeNo;
    const QString extPart = extension.isEmpty() ? QString() : u'(' + extension + u')';

    QString s;
    if (withCity) {
        s = QStringLiteral("г. ") + city;
        if (!streetPart.isEmpty() || !officePart.isEmpty())
            s += QStringLiteral(", ");
    }
    if (!streetPart.isEmpty()) {
        s += streetPart;
        if (!officePart.isEmpty())
            s += QStringLiteral(", ");
    }
    if (!officePart.isEmpty())
        s += officePart + u' ';
    s += u' ' + extPart;
    s = TrimText(s);
    if (!region.isEmpty()) {
        if (!s.isEmpty())
            s += QStringLiteral(", ");
        s += region;
    }
    return TrimText(s);
}

QString LoadAddressText(TZReadOnlyQuery &query, int cid, int fid, int adr_id, bool withCity)
{
    TSqlWaitCursorOff cursorOff(query.Connection);
    query.Close();
    query.SetSQL(
        QStringLiteral("select r.name_big as name_big,s.name as street_name,t.name_small as street_type,house,lit,"
                       "office,ext,y.name as city_name from address a, street_name s, street_type t, city y, "
                       "city_region r where a.cid=:cid and a.fid=:fid and a.adr_id=:adr_id and a.cid=y.cid and "
                       "a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id limit 1"));
    query.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
    query.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
    query.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr_id);
    query.Open();
    // Without a row every field reads as empty.
    const auto field = [&query](const char *name) {
        return query.IsEmpty() ? QString() : query.FieldByName(QLatin1String(name)).AsString();
    };
    const QString text = FormatAddress(field("city_name"), field("street_name"), field("street_type"), field("house"),
                                       field("lit"), field("office"), field("ext"), field("name_big"), withCity);
    query.Close();
    return text;
}

// ---- telephones

QString LoadPhonesText(int cid, int fid, int adr_id, TZReadOnlyQuery &query)
{
    query.Close();
    query.SetSQL(QStringLiteral("SELECT allinfo FROM phone WHERE cid=:cid and fid=:fid and "
                                "(adr_id in (:adr_id,0)  or :adr_id=0 ) ORDER by adr_id, prior"));
    query.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
    query.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
    query.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr_id);
    query.Open();
    int rows = 0;
    QString list;
    while (!query.Eof()) {
        ++rows;
        const QString info = query.FieldByName(QStringLiteral("allinfo")).AsString();
        if (!info.isEmpty()) {
            if (!list.isEmpty())
                list += QStringLiteral(", ");
            list += info;
        }
        query.Next();
    }
    query.Close();
    if (list.isEmpty())
        return QString();
    // The network version shows the numbers only in the card and the
    // telephones window.
    return IsNetwork ? FormatPhoneCount(rows) : list;
}

QString FormatPhoneCount(int count)
{
    if (count < 1)
        return QString();
    return QString::number(count) + QStringLiteral(" телефонов (смотри карточку организации или нажми пробел)");
}

// ---- weekdays

QString GetWeekdayName(int day)
{
    switch (day) {
    case 1: return QStringLiteral("Понедельник");
    case 2: return QStringLiteral("Вторник");
    case 3: return QStringLiteral("Среда");
    case 4: return QStringLiteral("Четверг");
    case 5: return QStringLiteral("Пятница");
    case 6: return QStringLiteral("Суббота");
    case 7: return QStringLiteral("Воскресенье");
    default: return QString();
    }
}

QString GetWeekdayNameOfDigit(const QString &digit)
{
    if (digit.size() != 1 || digit[0] < u'1' || digit[0] > u'7')
        return QString();
    return GetWeekdayName(digit[0].unicode() - u'0');
}

// ---- dates

QDateTime ZeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

namespace {

int DateField(const QString &text, qsizetype from, qsizetype length)
{
    const QString part = text.mid(from, length);
    bool ok = false;
    const int v = part.toInt(&ok);
    if (!ok)
        throw Exception(u'\'' + part + QStringLiteral("' is not a valid integer value"));
    return v;
}

} // namespace

QDateTime ParseSqlDateTime(const QString &text)
{
    if (text.size() != 19)
        return ZeroDateTime();
    const int year = DateField(text, 0, 4);
    const int month = DateField(text, 5, 2);
    const int day = DateField(text, 8, 2);
    const int hour = DateField(text, 11, 2);
    const int minute = DateField(text, 14, 2);
    const int second = DateField(text, 17, 2);
    if (year < 1 || !QDate::isValid(year, month, day))
        throw Exception(QStringLiteral("Invalid argument to date encode"));
    if (!QTime::isValid(hour, minute, second))
        throw Exception(QStringLiteral("Invalid argument to time encode"));
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

QLocale DateLocale()
{
    return QLocale(QLocale::Russian, QLocale::Russia);
}

QString DateTimeText(const QDateTime &value)
{
    const QLocale locale = DateLocale();
    QString text = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() != QTime(0, 0)) {
        // The long time format without the time zone the toolkit appends.
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QLatin1Char('t'));
        text += u' ' + value.time().toString(format.trimmed());
    }
    return text;
}

namespace {

std::function<QDate()> &TodayHook()
{
    static std::function<QDate()> hook;
    return hook;
}

} // namespace

QDate GetToday()
{
    return TodayHook() ? TodayHook()() : QDate::currentDate();
}

void SetTodayHook(std::function<QDate()> hook)
{
    TodayHook() = std::move(hook);
}

QString GetTodayIsoDate()
{
    return GetToday().toString(QStringLiteral("yyyy-MM-dd"));
}
