#pragma once
// The two levels of the classification, loaded once at start so that the
// result grids can name a good's section and subsection without a join.

#include <QList>
#include <QString>

class TZReadOnlyQuery;

class TWSuperGroupRec
{
public:
    qint32 SuperId = 0;
    QString Name;
};

class TWGroupRec
{
public:
    qint32 SuperId = 0;
    qint32 Gid = 0;
    QString Name;
};

// Sections by name; subsections by section and name. Ids need not be unique.
extern QList<TWSuperGroupRec> SuperGroupList;
extern QList<TWGroupRec> GroupList;

// Fills both lists through the given query (left closed).
void LoadGroupLists(TZReadOnlyQuery &query);
// The subsection's name; empty when unknown.
QString GetGroupName(int gid);
// The name of the subsection's section; empty when either is unknown.
QString GetSuperGroupName(int gid);
