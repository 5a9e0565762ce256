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
#include <QSettings>
#include <QTemporaryDir>

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
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef TREVIN_TEST_WIDGETS
    TMetaFilePrinter::WaitForStoppedLayouts();
#endif
    return result;
}
