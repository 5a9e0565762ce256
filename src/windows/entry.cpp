#include "windows/entry.h"

#include "components/Progress.h"
#include "components/SDialogs.h"
#include "platform/application.h"
#include "services/tools_dbdate.h"
#include "windows/main/main.h"

#include <memory>

int ProgramMain(int argc, char **argv)
{
    TApplication app(argc, argv);
    DetectWine();
    // The splash window joins here.
    TApplication::SetTitle(QStringLiteral("SELBRAN - Информационно-торговая система."));
    TApplication::SetExceptionHandler([](const QString &text) { ShowMessageText(text); });

    std::unique_ptr<TfrmMain> window;
    try {
        window = std::make_unique<TfrmMain>();
    } catch (const EApplicationHalt &halt) {
        return halt.ExitCode();
    }
    frmMain = window.get();
    // Every long job runs in this one window; it lives until the program ends.
    const auto progress = std::make_unique<TfrmProgress>();
    frmProgress = progress.get();
    // The splash closes here.
    window->show();
    const int code = app.exec();
    frmMain = nullptr;
    return code;
}
