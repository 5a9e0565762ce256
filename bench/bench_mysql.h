#pragma once
// The bare MariaDB C API, the network benchmarks' baseline: a connection
// with the catalogue's character set, and a statement whose every row and
// column is read.

#include "bench_search_common.h"

#include <mysql.h>

#include <QByteArray>

#include <cstdio>

namespace searchbench {

// Null, with the server's text printed, when the server refuses.
inline MYSQL *ConnectBareMysql(const TTarget &t, const QString &database)
{
    MYSQL *m = mysql_init(nullptr);
    if (!mysql_real_connect(m, t.host.toUtf8().constData(), t.user.toUtf8().constData(),
                            t.password.toUtf8().constData(), database.toUtf8().constData(), unsigned(t.port), nullptr,
                            0)) {
        std::fprintf(stderr, "mysql: %s\n", mysql_error(m));
        mysql_close(m);
        return nullptr;
    }
    mysql_query(m, "set names CP1251");
    return m;
}

// The rows the statement gave, -1 (and the server's text printed) on an
// error; bytes grows by the length of every value read.
inline long long QueryBareMysql(MYSQL *m, const QByteArray &sql, std::size_t &bytes)
{
    if (mysql_real_query(m, sql.constData(), sql.size()) != 0) {
        std::fprintf(stderr, "mysql: %s\n", mysql_error(m));
        return -1;
    }
    MYSQL_RES *res = mysql_store_result(m);
    long long rows = 0;
    const unsigned n = mysql_num_fields(res);
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        const unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned i = 0; i < n; ++i)
            bytes += row[i] ? lengths[i] : 0;
        ++rows;
    }
    mysql_free_result(res);
    return rows;
}

} // namespace searchbench
