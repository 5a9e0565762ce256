#pragma once
// Request statistics of the network version: one row per opened firm window
// or telephone list, in a table per month of the server's clock in the
// statistics database, created on first use from the template that database
// keeps. The same call notices, once per run, that the server has moved on
// to a newer catalogue database. The local version records nothing.

#include <QDate>
#include <QString>

class TZReadOnlyQuery;

// Set once the switch to a newer catalogue database has been reported.
extern bool DbSwitchWarned;

// Query: a scratch query on the catalogue connection, left closed. goodId
// above 0 is the good the window was opened for; otherwise a random good of
// the address stands for it. Database errors pass to the caller.
void WriteRequestStat(TZReadOnlyQuery &Query, int cid, int fid, int adr_id, qint64 goodId);

// StatDatabase + "." + this month's table, created from the template when
// the statistics database does not have it yet.
void GetStatTableName(TZReadOnlyQuery &Query, QString &FullName);

// "s" + year + "_" + two-digit month.
QString StatTableName(const QDate &month);

// The statement that reads the server's clock as the column now. Tests put
// a fixed moment in its place; an empty text puts the server's clock back.
void SetStatClockSql(const QString &sql);
