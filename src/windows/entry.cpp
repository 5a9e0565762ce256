#include "windows/entry.h"

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
    // The progress window is created and the splash closed here.
    window->show();
    const int code = app.exec();
    frmMain = nullptr;
    return code;
}
