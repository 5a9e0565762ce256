#pragma once
// The tables of the catalogue as the writers create them, and the row values
// the generator hands to a writer. Both writers create the same columns; only
// the column types differ (SQLite keeps times and dates as text).

#include "catgen/catgen.h"

#include <QByteArray>

#include <vector>

namespace catgen {

enum class ColType {
    Key64,    // BIGINT on MySQL
    Key32,    // INT
    Int,      // INT (counters, flags as numbers)
    Real,     // DOUBLE
    Text,     // VARCHAR(size)
    LongText, // LONGTEXT
    Time,     // TIME; 'hh:mm:ss' text on SQLite
    Date,     // DATE; 'YYYY-MM-DD' text on SQLite
    DateTime, // DATETIME; 'YYYY-MM-DD hh:mm:ss' text on SQLite
};

struct ColumnDef {
    const char *name;
    ColType type;
    int size = 0;
};

enum Table {
    tCity,
    tWsupergroup,
    tWgroup,
    tStreetType,
    tStreetName,
    tCityRegion,
    tCityMicroRegion,
    tFirm,
    tAddress,
    tAddressMicroRegion,
    tGood,
    tPhone,
    tPeople,
    tAttr,
    tDiscount,
    tTransport,
    tWeb,
    tWt,
    tGoodGidCnt,
    tGoodCnt,
    tFirmCnt,
    tDbDate,
    tFiles,
    kTableCount
};

struct TableDef {
    const char *name;
    std::vector<ColumnDef> columns;
};

struct IndexDef {
    const char *name;
    Table table;
    const char *columns; // comma separated
};

// withPrd: the firm table gets its optional last column `prd`.
std::vector<TableDef> CatalogueTables(bool withPrd);
const std::vector<IndexDef> &CatalogueIndexes();

// One value of a row. Text is Windows-1251 bytes.
struct Value {
    enum Kind { Null, Int, Real, Text } kind = Null;
    qint64 i = 0;
    double d = 0;
    QByteArray t;

    Value() = default;
    Value(std::nullptr_t) {}
    Value(int v) : kind(Int), i(v) {}
    Value(qint64 v) : kind(Int), i(v) {}
    Value(double v) : kind(Real), d(v) {}
    Value(const QByteArray &v) : kind(Text), t(v) {}
    Value(const char *v) : kind(Text), t(v) {}
};

// Receives the rows in generation order; rows of different tables interleave.
class RowSink
{
public:
    virtual ~RowSink() = default;
    virtual void Row(Table table, const Value *values, int count) = 0;
};

// Rows written per table, kept by both writers for their summary.
struct TableRowCounts {
    long long rows[kTableCount] = {};
    void Add(Table table) { ++rows[table]; }
    void Fill(const std::vector<TableDef> &tables, CatalogueStats *stats) const;
};

} // namespace catgen
