#pragma once
// The plain baselines' one way to read a statement: prepared, bound by name
// (a name the statement lacks is skipped), stepped, finalized, its rows read
// by column number as Windows-1251 texts (null as empty).

#include "data/codec.h"

#include <QByteArray>
#include <QStringList>

#include <sqlite3.h>

#include <initializer_list>
#include <utility>
#include <vector>

inline std::vector<QStringList> SqliteRows(sqlite3 *db, const QByteArray &sql,
                                           std::initializer_list<std::pair<const char *, int>> params)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
    for (const auto &[name, value] : params)
        if (const int at = sqlite3_bind_parameter_index(st, name))
            sqlite3_bind_int(st, at, value);
    std::vector<QStringList> rows;
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < columns; ++c)
            row.append(
                FromCp1251(reinterpret_cast<const char *>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c)));
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return rows;
}
