// The SQLite half: the catalogue file of the local version.
#include "catgen/catgen.h"
#include "catgen/catgen_generator.h"

#include <QFile>

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace catgen {
namespace {

const char *SqliteType(ColType type)
{
    switch (type) {
    case ColType::Key64:
    case ColType::Key32:
    case ColType::Int: return "INTEGER";
    case ColType::Real: return "REAL";
    default: return "TEXT"; // texts, and times and dates as text
    }
}

class SqliteFile : public RowSink
{
public:
    explicit SqliteFile(const QString &path, bool withPrd) : m_tables(CatalogueTables(withPrd))
    {
        if (QFile::exists(path) && !QFile::remove(path))
            throw std::runtime_error("cannot replace " + path.toStdString());
        const QByteArray name = path.toUtf8();
        if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            m_db = nullptr;
            throw std::runtime_error("cannot create " + path.toStdString() + ": " + message);
        }
    }
    ~SqliteFile() override
    {
        for (sqlite3_stmt *s : m_inserts)
            sqlite3_finalize(s);
        sqlite3_close(m_db);
    }

    void Exec(const std::string &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error("SQLite: " + message + " in: " + sql.substr(0, 200));
        }
    }

    void CreateTables()
    {
        // No journal and no syncing: the file is written once from scratch.
        Exec("PRAGMA page_size=4096; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
        for (const TableDef &t : m_tables) {
            std::string sql = std::string("CREATE TABLE ") + t.name + " (";
            std::string marks;
            for (size_t i = 0; i < t.columns.size(); ++i) {
                if (i) {
                    sql += ", ";
                    marks += ",";
                }
                sql += std::string(t.columns[i].name) + ' ' + SqliteType(t.columns[i].type);
                marks += '?';
            }
            Exec(sql + ")");
            sqlite3_stmt *stmt = nullptr;
            const std::string insert = std::string("INSERT INTO ") + t.name + " VALUES (" + marks + ")";
            if (sqlite3_prepare_v2(m_db, insert.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
                throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(m_db));
            m_inserts.push_back(stmt);
        }
    }

    void CreateIndexes()
    {
        for (const IndexDef &i : CatalogueIndexes())
            Exec(std::string("CREATE INDEX ") + i.name + " ON " + m_tables[i.table].name + " (" + i.columns + ")");
    }

    void Row(Table table, const Value *values, int count) override
    {
        sqlite3_stmt *stmt = m_inserts[table];
        const int columns = int(m_tables[table].columns.size());
        for (int i = 0; i < columns; ++i) {
            const Value &v = i < count ? values[i] : Value();
            switch (v.kind) {
            case Value::Null: sqlite3_bind_null(stmt, i + 1); break;
            case Value::Int: sqlite3_bind_int64(stmt, i + 1, v.i); break;
            case Value::Real: sqlite3_bind_double(stmt, i + 1, v.d); break;
            case Value::Text: sqlite3_bind_text(stmt, i + 1, v.t.constData(), int(v.t.size()), SQLITE_TRANSIENT); break;
            }
        }
        if (sqlite3_step(stmt) != SQLITE_DONE)
            throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(m_db));
        sqlite3_reset(stmt);
        m_rows.Add(table);
    }

    void FillStats(CatalogueStats *stats) const { m_rows.Fill(m_tables, stats); }

private:
    std::vector<TableDef> m_tables;
    sqlite3 *m_db = nullptr;
    std::vector<sqlite3_stmt *> m_inserts;
    TableRowCounts m_rows;
};

} // namespace
} // namespace catgen

void WriteSqliteCatalogue(const QString &path, const CatalogueOptions &options, CatalogueStats *stats)
{
    try {
        catgen::SqliteFile file(path, options.firmPrd);
        file.CreateTables();
        file.Exec("BEGIN");
        catgen::GenerateCatalogue(options, file);
        file.Exec("COMMIT");
        // Indexes after the rows: building them once is much faster.
        file.CreateIndexes();
        file.Exec("ANALYZE");
        file.FillStats(stats);
    } catch (...) {
        QFile::remove(path); // never leave half a catalogue behind
        throw;
    }
}
