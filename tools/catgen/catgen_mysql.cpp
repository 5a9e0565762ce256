// The MySQL half: one Windows-1251 SQL script that creates the master, the
// catalogue and the statistics databases of the network version.
#include "catgen/catgen.h"
#include "catgen/catgen_generator.h"
#include "data/codec.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <stdexcept>

namespace catgen {
namespace {

// Rows per INSERT statement, and statements per transaction.
constexpr int kRowsPerInsert = 400;
constexpr int kInsertsPerCommit = 50;
constexpr qsizetype kMaxStatementBytes = 1 << 20;

// The month-table template of the statistics database; the program puts the
// qualified table name in place of `DB_NAME`.
const char kStatTemplate[] = "create table if not exists `DB_NAME` ("
                             "`source` varchar(20) not null default '', "
                             "`fid` bigint not null default 0, "
                             "`city` varchar(20) not null default '', "
                             "`sid` int not null default 0, "
                             "`gid` int not null default 0, "
                             "`good` varchar(255) not null default '', "
                             "`dt` datetime not null, "
                             "`firm` varchar(255) not null default '', "
                             "key `dt` (`dt`), key `city_fid` (`city`,`fid`)"
                             ") DEFAULT CHARSET=cp1251";

QByteArray MysqlType(const ColumnDef &c)
{
    switch (c.type) {
    case ColType::Key64: return "BIGINT";
    case ColType::Key32:
    case ColType::Int: return "INT";
    case ColType::Real: return "DOUBLE";
    case ColType::Text: return "VARCHAR(" + QByteArray::number(c.size) + ")";
    case ColType::LongText: return "LONGTEXT";
    case ColType::Time: return "TIME";
    case ColType::Date: return "DATE";
    case ColType::DateTime: return "DATETIME";
    }
    return "TEXT";
}

void AppendLiteral(QByteArray &out, const QByteArray &text)
{
    out += '\'';
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\'': out += "\\'"; break;
        case '\0': out += "\\0"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\x1a': out += "\\Z"; break;
        default: out += c;
        }
    }
    out += '\'';
}

QByteArray Quoted(const QString &name)
{
    return '`' + name.toLatin1() + '`';
}

class MysqlScript : public RowSink
{
public:
    MysqlScript(const QString &path, bool withPrd)
        : m_file(path), m_tables(CatalogueTables(withPrd)), m_pending(kTableCount), m_pendingRows(kTableCount, 0)
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write " + path.toStdString() + ": " + m_file.errorString().toStdString());
    }

    void Write(const QByteArray &text)
    {
        if (m_file.write(text) != text.size())
            throw std::runtime_error("cannot write the script: " + m_file.errorString().toStdString());
    }

    void CreateTables()
    {
        for (const TableDef &t : m_tables) {
            QByteArray sql = QByteArray("CREATE TABLE `") + t.name + "` (";
            for (size_t i = 0; i < t.columns.size(); ++i) {
                if (i)
                    sql += ", ";
                sql += QByteArray("`") + t.columns[i].name + "` " + MysqlType(t.columns[i]);
            }
            Write(sql + ") ENGINE=InnoDB DEFAULT CHARSET=cp1251;\n");
        }
    }

    void Row(Table table, const Value *values, int count) override
    {
        QByteArray &out = m_pending[table];
        out += m_pendingRows[table] ? ",(" : "(";
        const int columns = int(m_tables[table].columns.size());
        for (int i = 0; i < columns; ++i) {
            if (i)
                out += ',';
            const Value &v = i < count ? values[i] : Value();
            switch (v.kind) {
            case Value::Null: out += "NULL"; break;
            case Value::Int: out += QByteArray::number(v.i); break;
            case Value::Real: out += QByteArray::number(v.d, 'g', QLocale::FloatingPointShortest); break;
            case Value::Text: AppendLiteral(out, v.t); break;
            }
        }
        out += ')';
        m_rows.Add(table);
        if (++m_pendingRows[table] >= kRowsPerInsert || out.size() >= kMaxStatementBytes)
            Flush(table);
    }

    void Flush(int table)
    {
        if (!m_pendingRows[table])
            return;
        Write(QByteArray("INSERT INTO `") + m_tables[table].name + "` VALUES " + m_pending[table] + ";\n");
        m_pending[table].clear();
        m_pendingRows[table] = 0;
        if (++m_inserts % kInsertsPerCommit == 0)
            Write("COMMIT;\n");
    }

    void FlushAll()
    {
        for (int t = 0; t < kTableCount; ++t)
            Flush(t);
        Write("COMMIT;\n");
    }

    void CreateIndexes()
    {
        for (int t = 0; t < kTableCount; ++t) {
            QByteArray sql;
            for (const IndexDef &i : CatalogueIndexes()) {
                if (i.table != t)
                    continue;
                sql += sql.isEmpty() ? QByteArray("ALTER TABLE `") + m_tables[t].name + "` " : QByteArray(", ");
                QByteArray cols = QByteArray("`") + i.columns + "`";
                cols.replace(",", "`,`");
                sql += QByteArray("ADD INDEX `") + i.name + "` (" + cols + ")";
            }
            if (!sql.isEmpty())
                Write(sql + ";\n");
        }
    }

    void Close()
    {
        if (!m_file.flush())
            throw std::runtime_error("cannot write the script: " + m_file.errorString().toStdString());
        m_file.close();
    }

    void FillStats(CatalogueStats *stats) const { m_rows.Fill(m_tables, stats); }

private:
    QFile m_file;
    std::vector<TableDef> m_tables;
    std::vector<QByteArray> m_pending;
    std::vector<int> m_pendingRows;
    TableRowCounts m_rows;
    long long m_inserts = 0;
};

void CheckDatabaseName(const QString &name)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_$]{1,64}$"));
    if (!valid.match(name).hasMatch())
        throw std::runtime_error("invalid database name: \"" + name.toStdString() + "\"");
}

} // namespace
} // namespace catgen

void WriteMysqlScript(const QString &path, const CatalogueOptions &options, const QString &masterDb,
                      const QString &catalogueDb, const QString &statDb, CatalogueStats *stats)
{
    using namespace catgen;
    CheckDatabaseName(masterDb);
    CheckDatabaseName(catalogueDb);
    CheckDatabaseName(statDb);
    try {
        MysqlScript script(path, options.firmPrd);
        const QByteArray cat = Quoted(catalogueDb);
        const QByteArray master = Quoted(masterDb);
        const QByteArray stat = Quoted(statDb);
        script.Write("-- Sample catalogue, Windows-1251.\n"
                     "SET NAMES cp1251;\n"
                     "SET autocommit=0, unique_checks=0, foreign_key_checks=0;\n");
        // The catalogue is replaced; master and statistics keep what else they hold.
        script.Write("DROP DATABASE IF EXISTS " + cat + ";\nCREATE DATABASE " + cat +
                     " DEFAULT CHARACTER SET cp1251;\nUSE " + cat + ";\n");
        script.CreateTables();
        GenerateCatalogue(options, script);
        script.FlushAll();
        script.CreateIndexes();

        script.Write("CREATE DATABASE IF NOT EXISTS " + master + " DEFAULT CHARACTER SET cp1251;\n");
        script.Write("DROP TABLE IF EXISTS " + master + ".`current_db`;\n");
        script.Write("CREATE TABLE " + master + ".`current_db` (`db` VARCHAR(64) NOT NULL) DEFAULT CHARSET=cp1251;\n");
        QByteArray insert = "INSERT INTO " + master + ".`current_db` VALUES (";
        AppendLiteral(insert, catalogueDb.toLatin1());
        script.Write(insert + ");\n");

        script.Write("CREATE DATABASE IF NOT EXISTS " + stat + " DEFAULT CHARACTER SET cp1251;\n");
        script.Write("DROP TABLE IF EXISTS " + stat + ".`format`;\n");
        script.Write("CREATE TABLE " + stat +
                     ".`format` (`id` INT NOT NULL PRIMARY KEY, `format` TEXT NOT NULL) "
                     "DEFAULT CHARSET=cp1251;\n");
        insert = "INSERT INTO " + stat + ".`format` VALUES (1,";
        AppendLiteral(insert, kStatTemplate);
        script.Write(insert + ");\nCOMMIT;\n");
        script.Close();
        script.FillStats(stats);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}
