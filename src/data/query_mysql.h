#pragma once
// Statements on a MySQL connection straight through the client library on
// the session's native handle: parameters are written into the text as
// literals, and a result streams row by row from the server into the row
// store without a buffered copy of it in between.

#include "data/dataset_rowstore.h"
#include "data/fields.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <vector>

class TParam;
class TZConnection;

namespace querydetail {

QByteArray ParamText(const QVariant &v);
bool IsIntegerParam(const QVariant &v);
bool IsNullParam(const QVariant &v);
// Index of a parameter by name regardless of case, -1 when none.
qsizetype ParamIndex(const QVector<TParam> &params, const QString &name);
qsizetype ParamIndex(const QVector<TParam> &params, const char *name);
// Calls found(start, end, name) for every ":name" of an SQL text, quotes and
// "::" skipped; end is one past the name.
void ForEachParam(const QString &sql, const std::function<void(qsizetype, qsizetype, const QString &)> &found);

// Whether the server connection is known dead without sending anything:
// closed by the client library after an error, or closed by the server
// since the last statement (idle past its wait_timeout, restarted).
bool MysqlConnectionDead(TZConnection &connection);
// Whether the statement that just failed certainly never reached the server.
bool MysqlStatementUnsent(TZConnection &connection);

// Runs the statement and reads every row of its result into store, with the
// columns' definitions in defs (none for a statement without result).
void OpenMysql(TZConnection &connection, const QString &sql, const QVector<TParam> &params, TRowStore &store,
               std::vector<TFieldDef> &defs);
// Runs a statement, dropping any rows it gives.
void ExecMysql(TZConnection &connection, const QString &sql, const QVector<TParam> &params);

} // namespace querydetail
