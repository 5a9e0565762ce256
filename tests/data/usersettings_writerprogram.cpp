// A program for usersettings_test: saves the user's settings over and over,
// each run a whole new state of forty values, and prints the number of each
// run once its flush has ended. The test kills it at random moments.

#include "data/usersettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QElapsedTimer clock;
    clock.start();
    // Bounded, should the test that starts it go away.
    for (int run = 1; clock.elapsed() < 60000; ++run) {
        TRegistryIniFile reg(QStringLiteral("Software\\selbran\\trevin\\2.0"));
        for (int i = 0; i < 40; ++i)
            reg.WriteString(QStringLiteral("run"), QStringLiteral("v%1").arg(i),
                            QStringLiteral("%1:%2:").arg(run).arg(i) + QString(200, u'ж'));
        reg.WriteInteger(QStringLiteral("run"), QStringLiteral("n"), run);
        if (!reg.Flush())
            return 1;
        std::printf("%d\n", run);
        std::fflush(stdout);
    }
    return 0;
}
