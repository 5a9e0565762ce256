#pragma once
// One view of the main window: the current view and the data of every Back
// and Forward entry. A new record has every number 0, every flag false,
// every text empty and no node.

#include <QString>

class QTreeWidgetItem;

class THistoryRec
{
public:
    int Kind = 0; // -1 the empty start view, 0 goods search, 1 organisation search
    int TreeLevel = 0;
    bool ByUser = false;
    QString EnprName;
    QString EnprPost;
    QString EnprAttr;
    QString EnprWeb;
    QString EnprPeople;
    QString EnprPhone;
    QString EnprSql;
    QString EnprOrderBy;
    int EnprCid = 0;
    int EnprSortCol = 0;
    bool EnprWorkNow = false;
    bool EnprDiscount = false;
    int EnprRegion = 0;
    int EnprMicroRegion = 0;
    int GoodSortCol = 0;
    QString GoodSql;
    QString GoodOrderBy;
    QString GoodName;
    QString GoodEnprName;
    int GoodCid = 0;
    bool GoodWorkNow = false;
    bool GoodDiscount = false;
    int GoodRegion = 0;
    int GoodMicroRegion = 0;
    QString NavText;
    QTreeWidgetItem *Node = nullptr;
    QString StatusText;
};
