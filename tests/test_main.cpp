// Test entry: one application for the whole run (a widgets one unless the
// program tests code without a window system), user settings redirected to a
// private folder so tests never touch the developer's own.
#include <gtest/gtest.h>

#ifdef TREVIN_TEST_WIDGETS
#include "platform/metafileprinter.h"
#include "platform/screen.h"

#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef TREVIN_TEST_WIDGETS
    QApplication app(argc, argv);
    // As the program's application object does at start-up.
    Screen::InstallSqlWaitCursor();
#else
    QCoreApplication app(argc, argv);
#endif
    QTemporaryDir settingsDir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsDir.path()));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef TREVIN_TEST_WIDGETS
    // A test's stopped layout gets far longer than the program gives one, so
    // that the leak check still runs; past that the run ends without it.
    if (!TMetaFilePrinter::WaitForStoppedLayouts(120000)) {
        std::fflush(nullptr);
        std::quick_exit(result);
    }
#endif
    return result;
}
