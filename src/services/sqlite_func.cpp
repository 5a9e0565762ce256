#include "services/sqlite_func.h"

#include "data/codec.h"
#include "data/connection.h"

#include <sqlite3.h>

#include <array>

namespace {

std::function<QDateTime()> &Clock()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime Now()
{
    return Clock() ? Clock()() : QDateTime::currentDateTime();
}

// Upper case of every byte of the code page, looked up per character.
const std::array<unsigned char, 256> &UpperTable()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[std::size_t(i)] = Cp1251Upper(static_cast<unsigned char>(i));
        return t;
    }();
    return table;
}

// An SQL NULL reads as the empty text.
std::string_view Arg(sqlite3_value *v)
{
    const unsigned char *text = sqlite3_value_text(v);
    if (!text)
        return {};
    return {reinterpret_cast<const char *>(text), std::size_t(sqlite3_value_bytes(v))};
}

void PosTextCallback(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc != 2) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    sqlite3_result_int(ctx, PosText(Arg(argv[0]), Arg(argv[1])) ? 1 : 0);
}

void CheckWorkTimeCallback(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc != 8) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const bool working = CheckWorkTime(Arg(argv[0]), Arg(argv[1]), Arg(argv[2]), Arg(argv[3]), Arg(argv[4]),
                                       Arg(argv[5]), Arg(argv[6]), Arg(argv[7]), Now());
    sqlite3_result_int(ctx, working ? 1 : 0);
}

bool Digit2(std::string_view s, std::size_t at, int *value)
{
    const char a = s[at], b = s[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return false;
    *value = (a - '0') * 10 + (b - '0');
    return true;
}

} // namespace

bool PosText(std::string_view needle, std::string_view text)
{
    const std::size_t n = needle.size();
    const std::size_t m = text.size();
    if (n == 0 || m == 0 || n > m)
        return false;
    const auto &up = UpperTable();
    const auto *t = reinterpret_cast<const unsigned char *>(text.data());
    const auto *p = reinterpret_cast<const unsigned char *>(needle.data());
    const unsigned char first = p[0];
    const std::size_t last = m - n;
    for (std::size_t i = 0; i <= last; ++i) {
        if (up[t[i]] != first)
            continue;
        std::size_t j = 1;
        while (j < n && up[t[i + j]] == p[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}

int GetTodayWeekday()
{
    return Now().date().dayOfWeek();
}

bool ParseTimeHMS(std::string_view text, QTime *time)
{
    if (text.size() != 8)
        return false;
    int h = 0, m = 0, s = 0;
    if (!Digit2(text, 0, &h) || !Digit2(text, 3, &m) || !Digit2(text, 6, &s))
        return false;
    if (h > 23 || m > 59 || s > 59)
        return false;
    *time = QTime(h, m, s);
    return true;
}

bool CheckWorkTime(std::string_view allDays, std::string_view allTimes, std::string_view noBreaks,
                   std::string_view days, std::string_view sw, std::string_view ew, std::string_view sb,
                   std::string_view eb, const QDateTime &now)
{
    if (allDays != "1") {
        const char today = char('0' + now.date().dayOfWeek());
        if (days.find(today) == std::string_view::npos)
            return false;
    }
    const QTime time = now.time();
    // A time that cannot be read fails the test that needs it.
    if (sw != ew && allTimes != "1") {
        if (sw > ew)
            return false; // hours over midnight never count as now
        QTime start, end;
        if (!ParseTimeHMS(sw, &start) || time <= start)
            return false;
        if (!ParseTimeHMS(ew, &end) || time >= end)
            return false;
    }
    if (sb != eb && noBreaks != "1" && sb < eb) {
        QTime start, end;
        if (!ParseTimeHMS(sb, &start) || !ParseTimeHMS(eb, &end))
            return false;
        if (time > start && time < end)
            return false;
    }
    return true;
}

void RegisterSqliteFunctionsOn(sqlite3 *db)
{
    if (!db)
        return;
    sqlite3_create_function(db, "postext", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, PosTextCallback, nullptr,
                            nullptr);
    sqlite3_create_function(db, "checkwt", 8, SQLITE_UTF8, nullptr, CheckWorkTimeCallback, nullptr, nullptr);
}

void RegisterSqliteFunctions()
{
    TZConnection::SetSqliteOpenHook(RegisterSqliteFunctionsOn);
}

void SetCheckWtClock(std::function<QDateTime()> clock)
{
    Clock() = std::move(clock);
}
