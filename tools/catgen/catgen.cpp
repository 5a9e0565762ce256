#include "catgen/catgen.h"

#include <stdexcept>

// Placeholder until the generator lands.
void WriteSqliteCatalogue(const QString &, const CatalogueOptions &)
{
    throw std::runtime_error("catalogue generator not built yet");
}

void WriteMysqlScript(const QString &, const CatalogueOptions &, const QString &, const QString &,
                      const QString &)
{
    throw std::runtime_error("catalogue generator not built yet");
}
