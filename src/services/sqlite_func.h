#pragma once
// The two SQL functions of the local version, registered on every SQLite
// connection as it opens:
//   postext(needle, text): 1 when the (already upper-cased) needle occurs in
//     the upper-cased Windows-1251 text, else 0;
//   checkwt(AllDays, AllTimes, NoBreaks, days, sw, ew, sb, eb): 1 when one
//     working-time row of the table wt says "working now", else 0.

#include <QByteArray>
#include <QDateTime>
#include <QTime>

#include <functional>
#include <string_view>

struct sqlite3;

// Registers both functions on one open connection.
void RegisterSqliteFunctionsOn(sqlite3 *db);
// Makes every SQLite connection opened from now on register them (installs
// the connection's open hook; calling it again changes nothing).
void RegisterSqliteFunctions();

// The clock checkwt reads (the PC's local time); tests set their own, null
// puts the real one back.
void SetCheckWtClock(std::function<QDateTime()> clock);

// Monday 1 ... Sunday 7 of the clock's date.
int GetTodayWeekday();
// "hh:mm:ss" (exactly 8 characters, a valid time of day) to a time; false
// for anything else.
bool ParseTimeHMS(std::string_view text, QTime *time);
// The test of postext on raw bytes.
bool PosText(std::string_view needle, std::string_view text);
// The test of checkwt at the time now (byte texts as the columns hold them).
bool CheckWorkTime(std::string_view allDays, std::string_view allTimes, std::string_view noBreaks,
                   std::string_view days, std::string_view sw, std::string_view ew, std::string_view sb,
                   std::string_view eb, const QDateTime &now);
