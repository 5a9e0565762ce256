#pragma once
// The date of the catalogue's data (table db_date): reading it in either
// deployment, its caption text and the once-per-run freshness warning; and
// the command-line switch that says the program runs under Wine.

#include <QDateTime>
#include <QString>
#include <QStringList>

class TZReadOnlyQuery;

// Sets RunningUnderWine from the command line ("wine" or "-wine", any case).
void DetectWine();
// The same for a given argument list; the first entry is the program path.
void DetectWine(const QStringList &arguments);

// The catalogue's data date; the zero date-time when db_date is empty. The
// query is left closed.
QDateTime ReadDbDate(TZReadOnlyQuery &query);
// The data date for the main window's caption.
QString GetDbDateText(TZReadOnlyQuery &query);

// Days the data are warned about from.
constexpr int DbFreshnessDays = 30;
// The warning shown when the data are the given number of days old.
QString BuildFreshnessWarningText(int days);
// Shows the warning when the data are DbFreshnessDays or more days old.
void CheckDbFreshness(TZReadOnlyQuery &query);
