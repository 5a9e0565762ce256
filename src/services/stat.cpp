#include "services/stat.h"

#include "components/SDialogs.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/tools_format.h"

bool DbSwitchWarned = false;

namespace {

const QString kServerClockSql = QStringLiteral("select now() as now");

QString &ClockSql()
{
    static QString sql = kServerClockSql;
    return sql;
}

// Leaves the lent query closed whichever way the work ends, so its next user
// finds no half-read result.
template <typename F> void ClosingOnError(TZReadOnlyQuery &query, F &&work)
{
    try {
        work();
    } catch (...) {
        try {
            query.Close();
        } catch (...) {
            // The first error is the one worth reporting.
        }
        throw;
    }
}

void CheckCatalogueSwitch(TZReadOnlyQuery &q)
{
    q.Close();
    q.SetSQL(QStringLiteral("select db from ") + MasterDb + QStringLiteral(".current_db"));
    q.Open();
    const QString db = q.FieldByName(QStringLiteral("db")).AsString();
    q.Close();
    if (db != CurrentDb) {
        DbSwitchWarned = true;
        ShowMessageText(QStringLiteral("    Внимание! База данных обновилась. Перезагрузите справочник.    "));
    }
}

} // namespace

QString StatTableName(const QDate &month)
{
    return QStringLiteral("s") + QString::number(month.year()) + u'_' +
           QStringLiteral("%1").arg(month.month(), 2, 10, QLatin1Char('0'));
}

void SetStatClockSql(const QString &sql)
{
    ClockSql() = sql.isEmpty() ? kServerClockSql : sql;
}

void GetStatTableName(TZReadOnlyQuery &Query, QString &FullName)
{
    ClosingOnError(Query, [&] {
        Query.Close();
        Query.SetSQL(ClockSql());
        Query.Open();
        const QDateTime now = ParseSqlDateTime(Query.FieldByName(QStringLiteral("now")).AsString());
        Query.Close();
        const QString name = StatTableName(now.date());
        FullName = StatDatabase + u'.' + name;

        Query.SetSQL(QStringLiteral("show tables from ") + StatDatabase + QStringLiteral(" like ") + u'"' + name +
                     u'"');
        Query.Open();
        if (Query.IsEmpty()) {
            Query.Close();
            Query.SetSQL(QStringLiteral("select format from ") + StatDatabase + QStringLiteral(".format where id=1"));
            Query.Open();
            QString sql = Query.FieldByName(QStringLiteral("format")).AsString();
            Query.Close();
            const QString placeholder = QStringLiteral("`DB_NAME`");
            const qsizetype at = sql.indexOf(placeholder);
            if (at >= 0)
                sql.replace(at, placeholder.size(), FullName);
            Query.SetSQL(sql);
            Query.ExecSQL();
        }
        Query.Close();
    });
}

void WriteRequestStat(TZReadOnlyQuery &Query, int cid, int fid, int adr_id, qint64 goodId)
{
    if (!IsNetwork)
        return;
    ClosingOnError(Query, [&] {
        if (!DbSwitchWarned)
            CheckCatalogueSwitch(Query);

        QString gid = QStringLiteral("0"), sid = QStringLiteral("0"), good;
        Query.Close();
        if (goodId > 0) {
            Query.SetSQL(QStringLiteral("select gid,name,super_id as sid from good where cid=:cid and id=:id limit 1"));
            Query.ParamByName(QStringLiteral("id")).SetAsInteger(goodId);
        } else {
            Query.SetSQL(QStringLiteral("select gid,super_id as sid from good where cid=:cid and fid=:fid and adr_id "
                                        "in (0,:adr_id) order by rand() limit 1"));
            Query.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
            Query.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr_id);
        }
        Query.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
        Query.Open();
        if (Query.RecordCount() == 1) {
            gid = QString::number(Query.FieldByName(QStringLiteral("gid")).AsLargeInt());
            sid = QString::number(Query.FieldByName(QStringLiteral("sid")).AsLargeInt());
            if (goodId > 0)
                good = Query.FieldByName(QStringLiteral("name")).AsString();
        }
        Query.Close();

        QString firm;
        Query.SetSQL(QStringLiteral("select sfn from address where cid=:cid and fid=:fid and adr_id=:adr_id limit 1"));
        Query.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
        Query.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
        Query.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr_id);
        Query.Open();
        if (Query.RecordCount() == 1)
            firm = Query.FieldByName(QStringLiteral("sfn")).AsString();
        Query.Close();

        QString table;
        GetStatTableName(Query, table);

        if (goodId > 0)
            Query.SetSQL(QStringLiteral("insert into ") + table +
                         QStringLiteral(" (source,fid,city,sid,gid,good,dt,firm) values "
                                        "(:source,:fid,:city,:sid,:gid,:good,now(),:firm)"));
        else
            Query.SetSQL(QStringLiteral("insert into ") + table +
                         QStringLiteral(" (source,fid,city,sid,gid,dt,firm) values "
                                        "(:source,:fid,:city,:sid,:gid,now(),:firm)"));
        Query.ParamByName(QStringLiteral("source")).SetAsString(QStringLiteral("trevin"));
        Query.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
        Query.ParamByName(QStringLiteral("city")).SetAsString(QStringLiteral("city_") + QString::number(cid));
        Query.ParamByName(QStringLiteral("sid")).SetAsString(sid);
        Query.ParamByName(QStringLiteral("gid")).SetAsString(gid);
        if (goodId > 0)
            Query.ParamByName(QStringLiteral("good")).SetAsString(good);
        Query.ParamByName(QStringLiteral("firm")).SetAsString(firm);
        Query.ExecSQL();
    });
}
