#pragma once
// Deterministic sample catalogue: the same data as an SQLite file and as an
// SQL script that loads it into MySQL/MariaDB.

#include <QString>

struct CatalogueOptions {
    int goods = 5000;       // number of goods rows
    unsigned seed = 20061;  // fixed: the same options give the same catalogue
};

// Writes a fresh SQLite catalogue (an existing file is replaced).
void WriteSqliteCatalogue(const QString &path, const CatalogueOptions &options);

// Writes the SQL that creates and fills the master database (with
// current_db), the catalogue database and the statistics database.
void WriteMysqlScript(const QString &path, const CatalogueOptions &options,
                      const QString &masterDb, const QString &catalogueDb,
                      const QString &statDb);
