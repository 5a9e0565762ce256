#include "services/globals.h"

QString Protocol = QStringLiteral("sqlite");
bool IsNetwork = false;
QString MasterDb;
QString CurrentDb;
QString StatDatabase;
bool RunningUnderWine = false;
