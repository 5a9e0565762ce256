#pragma once
// Texts made from catalogue values for grids, labels, cards and printouts:
// prices, one-line addresses, telephone lines, weekday names, and the date
// conversions the local version needs because SQLite hands dates over as text.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>

class TZReadOnlyQuery;

// Blanks and control characters (code below 33) removed at both ends; other
// white space such as the no-break blank is text.
QString TrimText(const QString &text);

// Catalogue text made safe to put into HTML: "&", "<" and ">" as entities,
// so that it shows as written and never becomes markup. Quotes stay, as text
// between tags needs no other change.
QString EscapeHtmlText(const QString &text);
// The same for an attribute value in double quotes: the quote too.
QString EscapeHtmlAttribute(const QString &text);

// Price with two decimals cut (not rounded), "." as the decimal mark, one
// group blank and the currency word; empty for 0 and below one hundredth.
QString FormatPrice(const QString &currency, double value);
// One blank before the last three integer digits; empty without a decimal mark.
QString GroupThousands(const QString &text);
// "." and "," both serve as the decimal mark; empty or unreadable text is 1.
double ParsePriceText(const QString &text);
QString FormatPriceText(const QString &text, const QString &currency);

QString FormatAddress(const QString &city, const QString &streetName, const QString &streetType, const QString &house,
                      const QString &letter, const QString &office, const QString &extension, const QString &district,
                      bool withCity);
// Reads one address through the lent query (left closed) and formats it.
QString LoadAddressText(TZReadOnlyQuery &query, int cid, int fid, int adr_id, bool withCity);

// The telephones of an address: the list itself in the local version, the
// count text in the network version.
QString LoadPhonesText(int cid, int fid, int adr_id, TZReadOnlyQuery &query);
QString FormatPhoneCount(int count);

// 1 Monday ... 7 Sunday; anything else gives the empty text.
QString GetWeekdayName(int day);
QString GetWeekdayNameOfDigit(const QString &digit);

// The zero date-time that empty or malformed dates stand for (30.12.1899).
QDateTime ZeroDateTime();
// "YYYY-MM-DD HH:MM:SS" read by position; any other length gives the zero
// date-time. Non-numeric fields or an impossible date or time raise Exception.
QDateTime ParseSqlDateTime(const QString &text);
// The locale dates are shown in: the catalogue is Russian, so its dates are
// written the Russian way (17.05.2006 08:30:05) whatever the user's locale.
QLocale DateLocale();
// Short date, then a blank and the long time unless the time is midnight.
QString DateTimeText(const QDateTime &value);

// Today from the system clock, or from the hook a test installs.
QDate GetToday();
// An empty hook restores the system clock.
void SetTodayHook(std::function<QDate()> hook);
// Today as "YYYY-MM-DD", the form local SQL texts compare dates in.
QString GetTodayIsoDate();
