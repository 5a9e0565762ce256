#include "windows/main/main_searchsql.h"

#include "services/globals.h"
#include "services/tools_format.h"
#include "services/tools_searchwords.h"

namespace {

// The working-now test of the network version, after the join with wt.
QString NetworkWorkTimeTest()
{
    return QStringLiteral(" AND (AllDays = \"1\" OR IF(INSTR(wt.days,IF(DAYOFWEEK(CURDATE())-1 = 0,7,"
                          "DAYOFWEEK(CURDATE())-1)) > 0, ") +
           QStringLiteral(" INSTR(wt.days,IF(DAYOFWEEK(CURDATE())-1 = 0,7,DAYOFWEEK(CURDATE())-1)), 0)  > 0) AND ") +
           QStringLiteral(" IF(wt.sw < wt.ew, (AllTimes = \"1\" OR IF((CURTIME() > wt.sw AND CURTIME() < wt.ew), 1, "
                          "0) > 0), (AllTimes = \"1\" OR IF((CURTIME() > wt.sw AND CURTIME() > wt.ew), 1, 0) > 0))");
}

QString LocalWorkTimeTest()
{
    return QStringLiteral(" checkwt(wt.AllDays,wt.AllTimes,wt.NoBreaks,wt.days,wt.sw,wt.ew,wt.sb,wt.eb)=1 ");
}

// The typed words as a condition on one column; empty when the trimmed text is.
QString Words(const QString &typed, const QString &column)
{
    return BuildWordCondition(EscapeSqlText(typed), column, QString());
}

bool HasWords(const QString &typed)
{
    return !TrimText(typed).isEmpty();
}

QString Num(int n)
{
    return QString::number(n);
}

QString DefaultOrder(bool byUser, bool prd)
{
    if (!IsMysqlProtocol())
        return QStringLiteral(" random() ");
    return byUser && prd ? QStringLiteral(" org,prd,rand() ") : QStringLiteral(" org,rand() ");
}

} // namespace

TSearchSql BuildGoodSearchSql(const TGoodSearchParams &p)
{
    const bool network = IsMysqlProtocol();
    QString w = QStringLiteral(" a.cid=s.cid and a.fid=s.fid and (a.adr_id = s.adr_id OR a.adr_id = 0) ");
    QString s = QStringLiteral(" a.gid as gid, s.sfn as sfn,a.id as id,a.cid as cid,a.fid as fid,s.adr_id as "
                               "adr_id,a.name as name,a.price as price,a.cur as cur,a.price_rub as price_rub ");
    if (network)
        s += QStringLiteral(", case when exists (select * from discount d where d.cid=s.cid and d.fid=s.fid and "
                            "d.adr_id in (0,s.adr_id) and d.tp='d' and end_date>=now() and start_date<=now() "
                            "limit 1) then '1' else '0' end as discount ");
    else
        s += QStringLiteral(", case when exists (select * from discount d where d.cid=s.cid and d.fid=s.fid and "
                            "d.adr_id in (0,s.adr_id) and d.tp='d' and end_date>='") +
             p.today + QStringLiteral("' and start_date<='") + p.today +
             QStringLiteral("' limit 1) then '1' else '0' end as discount ");
    QString r = QStringLiteral(" good a, address s ");
    if (network) {
        s += QStringLiteral(" ,f.org as org ");
        r += QStringLiteral(" ,firm f ");
        w += QStringLiteral(" and s.cid=f.cid and s.fid=f.fid ");
    }

    if (p.byUser) {
        if (HasWords(p.name))
            w += QStringLiteral(" and ") + Words(p.name, QStringLiteral("a.name"));
        if (HasWords(p.enprName))
            w += QStringLiteral(" and ") + Words(p.enprName, QStringLiteral("s.sfn"));
        if (p.useRegion)
            w += QStringLiteral(" and s.cr_id=") + Num(p.regionId);
        if (p.useMicroRegion)
            w += QStringLiteral(" and exists (select * from address_micro_region d where d.cid=s.cid and "
                                "d.fid=s.fid and d.adr_id=s.adr_id and d.cmr_id=") +
                 Num(p.microRegionId) + QStringLiteral(") ");
        if (p.workNow) {
            s = QStringLiteral(" distinct ") + s;
            r += QStringLiteral(", wt ");
            w += QStringLiteral(" and wt.cid = a.cid and wt.fid = a.fid AND (wt.adr_id = s.adr_id OR wt.adr_id = 0) ");
            w += network ? NetworkWorkTimeTest() : QStringLiteral(" and") + LocalWorkTimeTest();
        }
        if (p.discount) {
            if (network)
                w += QStringLiteral(" and exists (select * from discount d where d.cid=s.cid and d.fid=s.fid and "
                                    "d.adr_id in (0,s.adr_id) and d.tp='d' and end_date>=now() and "
                                    "start_date<=now() limit 1) ");
            else
                w += QStringLiteral(" and exists (select * from discount d where d.cid=s.cid and d.fid=s.fid and "
                                    "d.adr_id in (0,s.adr_id) and d.tp='d' and end_date>='") +
                     p.today + QStringLiteral("' and start_date<='") + p.today + QStringLiteral("' limit 1) ");
        }
    }

    if (p.level == 1)
        w += QStringLiteral(" and a.cid=") + Num(p.cid);
    else if (p.level == 2)
        w += QStringLiteral(" and a.cid=") + Num(p.cid) + QStringLiteral(" and a.super_id=") + Num(p.nodeNumber);
    else if (p.level == 3)
        w += QStringLiteral(" and a.cid=") + Num(p.cid) + QStringLiteral(" and gid=") + Num(p.nodeNumber);

    return {QStringLiteral(" select ") + s + QStringLiteral(" from ") + r + QStringLiteral(" where ") + w,
            DefaultOrder(p.byUser, p.prdOrder)};
}

TSearchSql BuildEnprSearchSql(const TEnprSearchParams &p)
{
    const bool network = IsMysqlProtocol();
    QString s = QStringLiteral(" r.name_big as name_big, a.cid as cid, a.fid as fid, a.adr_id as adr_id,a.sfn as "
                               "sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name "
                               "as city_name ");
    QString r = QStringLiteral(" address a, street_name s, street_type t, city y, city_region r ");
    QString w = QStringLiteral(" a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and "
                               "r.cid=a.cid and r.id=a.cr_id ");
    if (network) {
        s += QStringLiteral(" ,f.org as org ");
        r += QStringLiteral(" ,firm f ");
        w += QStringLiteral(" and a.cid=f.cid and a.fid=f.fid ");
    }
    if (p.level == 1)
        w += QStringLiteral(" and a.cid=") + Num(p.cid);

    if (p.byUser) {
        s = QStringLiteral(" distinct ") + s;
        if (HasWords(p.name))
            w += QStringLiteral(" and ") + Words(p.name, QStringLiteral("a.sfn"));
        // SQLite's || gives NULL for a NULL part; each part brings its own
        // blank, so that a NULL part is skipped as CONCAT_WS skips it.
        if (HasWords(p.post))
            w += QStringLiteral(" and ") +
                 Words(p.post, network ? QStringLiteral("CONCAT_WS(' ',s.name,house,lit,office,ext)")
                                       : QStringLiteral("substr(ifnull(' '||s.name,'')||ifnull(' '||house,'')||"
                                                        "ifnull(' '||lit,'')||ifnull(' '||office,'')||"
                                                        "ifnull(' '||ext,''),2)"));
        if (HasWords(p.attr)) {
            r += QStringLiteral(", attr b ");
            w += QStringLiteral(" and a.cid=b.cid and a.fid=b.fid and (b.adr_id = a.adr_id OR b.adr_id = 0) and ") +
                 Words(p.attr, QStringLiteral("b.attr"));
        }
        if (HasWords(p.phone)) {
            r += QStringLiteral(", phone c ");
            w += QStringLiteral(" and a.cid=c.cid and a.fid=c.fid and (c.adr_id = a.adr_id OR c.adr_id = 0) and ") +
                 Words(p.phone, QStringLiteral("c.allinfo"));
        }
        if (HasWords(p.web)) {
            r += QStringLiteral(", web d ");
            w += QStringLiteral(" and a.cid=d.cid and a.fid=d.fid and (d.adr_id = a.adr_id OR d.adr_id = 0) and ") +
                 QStringLiteral("(") + Words(p.web, QStringLiteral("d.name")) + QStringLiteral(" or ") +
                 Words(p.web, QStringLiteral("d.who")) + QStringLiteral(")");
        }
        if (HasWords(p.people)) {
            r += QStringLiteral(", people e ");
            w += QStringLiteral(" and a.cid=e.cid and a.fid=e.fid and (e.adr_id = a.adr_id OR e.adr_id = 0) and ") +
                 Words(p.people, QStringLiteral("e.name"));
        }
        if (p.useRegion)
            w += QStringLiteral(" and a.cr_id=") + Num(p.regionId);
        if (p.useMicroRegion)
            w += QStringLiteral(" and exists (select * from address_micro_region d where d.cid=a.cid and "
                                "d.fid=a.fid and d.adr_id=a.adr_id and d.cmr_id=") +
                 Num(p.microRegionId) + QStringLiteral(") ");
        if (p.workNow) {
            r += QStringLiteral(", wt ");
            if (network)
                w += QStringLiteral(" and wt.cid = a.cid and wt.fid = a.fid AND (wt.adr_id = a.adr_id OR "
                                    "wt.adr_id = 0) ") +
                     NetworkWorkTimeTest();
            else
                w += QStringLiteral(" and wt.cid = a.cid and wt.fid = a.fid AND (wt.adr_id = a.adr_id OR "
                                    "wt.adr_id = 0) and ") +
                     LocalWorkTimeTest();
        }
        if (p.discount) {
            if (network)
                w += QStringLiteral(" and exists (select * from discount d where d.cid=a.cid and d.fid=a.fid and "
                                    "d.adr_id in (0,a.adr_id) and d.tp='d' and end_date>=now() and "
                                    "start_date<=now()) ");
            else
                w += QStringLiteral(" and exists (select * from discount d where d.cid=a.cid and d.fid=a.fid and "
                                    "d.adr_id in (0,a.adr_id) and d.tp='d' and end_date>='") +
                     p.today + QStringLiteral("' and start_date<='") + p.today + QStringLiteral("') ");
        }
    }

    return {QStringLiteral("select ") + s + QStringLiteral(" from ") + r + QStringLiteral(" where ") + w,
            DefaultOrder(p.byUser, p.prdOrder)};
}
