#include "windows/entry.h"

#include "components/Progress.h"
#include "components/SDialogs.h"
#include "platform/application.h"
#include "platform/sessionbus.h"
#include "services/tools_dbdate.h"
#include "windows/cursor.h"
#include "windows/main/main.h"
#include "windows/start.h"

#include <memory>

int ProgramMain(int argc, char **argv)
{
    // Before the application object: Qt's accessibility bridge and theme
    // connect to the session bus while the first windows are made.
    DropSilentSessionBus();
    TApplication app(argc, argv);
    DetectWine();
    // Painted at once: the main window's creation below keeps the event
    // loop from running for a while.
    frmStart = new TfrmStart();
    frmStart->ShowPainted();
    TApplication::SetTitle(QStringLiteral("SELBRAN - Информационно-торговая система."));
    TApplication::SetExceptionHandler([](const QString &text) { ShowMessageText(text); });

    std::unique_ptr<TfrmMain> window;
    try {
        window = std::make_unique<TfrmMain>();
    } catch (const EApplicationHalt &halt) {
        delete frmStart;
        frmStart = nullptr;
        FreeAnimatedCursors();
        return halt.ExitCode();
    }
    frmMain = window.get();
    // Every long job runs in this one window; it lives until the program ends.
    const auto progress = std::make_unique<TfrmProgress>();
    frmProgress = progress.get();
    if (frmStart)
        frmStart->close(); // frees itself
    window->show();
    const int code = app.exec();
    frmMain = nullptr;
    window.reset();
    FreeAnimatedCursors();
    return code;
}
