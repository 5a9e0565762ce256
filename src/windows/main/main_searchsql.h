#pragma once
// The SQL of the goods and organisation searches, assembled from fixed
// fragments in the dialect of the deployment (IsMysqlProtocol). Typed words
// reach the text only through EscapeSqlText and BuildWordCondition; every
// other part is a fixed fragment or a number.

#include <QString>

struct TGoodSearchParams {
    bool byUser = false;
    int level = 0;      // tree level of the selected node (0 all cities)
    int cid = 0;        // city of the node
    int nodeNumber = 0; // super_id at level 2, gid at level 3
    QString name;       // the boxes as typed
    QString enprName;
    bool useRegion = false; // a district other than the first is chosen
    int regionId = 0;
    bool useMicroRegion = false;
    int microRegionId = 0;
    bool workNow = false;
    bool discount = false;
    bool prdOrder = false; // network: the occasional org,prd,rand() order
    QString today;         // local: YYYY-MM-DD
};

struct TEnprSearchParams {
    bool byUser = false;
    int level = 0;
    int cid = 0;                                  // the node's number at level 1
    QString name, post, attr, web, people, phone; // the boxes as typed
    bool useRegion = false;
    int regionId = 0;
    bool useMicroRegion = false;
    int microRegionId = 0;
    bool workNow = false;
    bool discount = false;
    bool prdOrder = false;
    QString today;
};

struct TSearchSql {
    QString sql;          // without the order clause
    QString defaultOrder; // the order text of sort column -1
};

TSearchSql BuildGoodSearchSql(const TGoodSearchParams &p);
TSearchSql BuildEnprSearchSql(const TEnprSearchParams &p);
