#pragma once
// The organisation card: everything the catalogue holds about one address of
// one firm as an HTML fragment, in the compact layout (sections one below the
// other, beside the organisation grid) or the table layout (caption column and
// value column, in the firm window and in printouts).

#include "windows/price/cardsections.h"

#include <QString>

class QDate;

class TZReadOnlyQuery;
class THistoryRec;

// Query: a scratch query on the catalogue connection, left in no defined
// state. adr_id 0 stands for the firm as a whole. History: the view whose
// search words are highlighted, or null; with a view no telephone becomes a
// transfer link. Database errors pass to the caller; the connection's
// SQL-wait cursor is off while the card is built and restored afterwards.
// MaxTextLength above 0 cuts every catalogue text as CutLongText does before
// it is highlighted, which costs more than the text's length (a card that is
// only shown); 0 keeps them whole.
void BuildFirmCardHtml(TZReadOnlyQuery &Query, int cid, int fid, int adr_id, bool Compact, const THistoryRec *History,
                       const TCardSections &Sections, QString &Html, int MaxTextLength = 0);

// A promotion's date as it is shown: the stored text on the local version,
// the date in the short date format on the network version; date gets the
// date itself (invalid when the text is none).
QString DiscountDateText(const QString &value, QDate *date);

// The one-address condition of the card's and the telephones window's
// look-ups (:cid, :fid, :adr_id; adr_id 0 means every address).
inline const QString kAddressCondition =
    QStringLiteral(" cid=:cid and fid=:fid and (adr_id in (:adr_id,0)  or :adr_id=0 )");
// The discounts of an address running today, newest end first.
QString CurrentDiscountsSql();
