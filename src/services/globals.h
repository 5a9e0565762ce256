#pragma once
// Process-wide state of the catalogue, set at start-up and read everywhere.

#include <QString>

// [main] protocol; "mysql" (exactly) selects the network dialect.
extern QString Protocol;
// True only in the network version.
extern bool IsNetwork;
extern QString MasterDb;
extern QString CurrentDb;
extern QString StatDatabase;
extern bool RunningUnderWine;

// The network dialect is chosen by an exact, case-sensitive comparison.
inline bool IsMysqlProtocol()
{
    return Protocol == QLatin1String("mysql");
}
