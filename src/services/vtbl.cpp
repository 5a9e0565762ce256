#include "services/vtbl.h"

#include "data/query.h"

QList<TWSuperGroupRec> SuperGroupList;
QList<TWGroupRec> GroupList;

void LoadGroupLists(TZReadOnlyQuery &query)
{
    SuperGroupList.clear();
    GroupList.clear();

    query.Close();
    query.SetSQL(QStringLiteral("select * from wsupergroup  order by name"));
    query.Open();
    for (; !query.Eof(); query.Next()) {
        TWSuperGroupRec rec;
        rec.SuperId = query.FieldByName(QStringLiteral("super_id")).AsInteger();
        rec.Name = query.FieldByName(QStringLiteral("name")).AsString();
        SuperGroupList.append(rec);
    }

    query.Close();
    query.SetSQL(QStringLiteral("select * from wgroup  order by super_id,name"));
    query.Open();
    for (; !query.Eof(); query.Next()) {
        TWGroupRec rec;
        rec.SuperId = query.FieldByName(QStringLiteral("super_id")).AsInteger();
        rec.Gid = query.FieldByName(QStringLiteral("gid")).AsInteger();
        rec.Name = query.FieldByName(QStringLiteral("name")).AsString();
        GroupList.append(rec);
    }
    query.Close();
}

QString GetGroupName(int gid)
{
    for (const TWGroupRec &group : GroupList) {
        if (group.Gid == gid)
            return group.Name;
    }
    return QString();
}

QString GetSuperGroupName(int gid)
{
    for (const TWGroupRec &group : GroupList) {
        if (group.Gid != gid)
            continue;
        for (const TWSuperGroupRec &section : SuperGroupList) {
            if (section.SuperId == group.SuperId)
                return section.Name;
        }
    }
    return QString();
}
