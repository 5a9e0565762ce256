#pragma once
// Deterministic sample catalogue: the same data as an SQLite file and as an
// SQL script that loads it into MySQL/MariaDB.

#include <QString>

#include <map>
#include <string>

struct CatalogueOptions {
    int goods = 5000;      // number of goods rows
    unsigned seed = 20061; // fixed: the same options give the same catalogue
    // The date of the data (table db_date); firm update dates lie before it.
    QString dbDate = QStringLiteral("2026-12-01 09:30:00");
    // The firm table carries the optional column prd.
    bool firmPrd = true;
};

// Rows written per table, for the summary of the command-line tool.
using CatalogueStats = std::map<std::string, long long>;

// Writes a fresh SQLite catalogue (an existing file is replaced). Texts are
// Windows-1251 bytes, times 'hh:mm:ss' and dates 'YYYY-MM-DD' texts.
// Throws std::runtime_error on failure.
void WriteSqliteCatalogue(const QString &path, const CatalogueOptions &options, CatalogueStats *stats = nullptr);

// Writes the SQL that creates and fills the master database (with
// current_db), the catalogue database and the statistics database; a
// single-byte Windows-1251 file. Throws std::runtime_error on failure.
void WriteMysqlScript(const QString &path, const CatalogueOptions &options, const QString &masterDb,
                      const QString &catalogueDb, const QString &statDb, CatalogueStats *stats = nullptr);
