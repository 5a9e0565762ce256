#include "windows/cursor.h"

#include "platform/screen.h"
#include "services/globals.h"

#include <QFile>

// Resources of a static library are registered by hand.
static void InitCursorResources()
{
    Q_INIT_RESOURCE(cursors);
}

Tfrmcursor *frmcursor = nullptr;

Tfrmcursor::Tfrmcursor(QWidget *parent) : QWidget(parent), mpAnimatedCursors1(std::make_unique<TmpAnimatedCursors>())
{
    setObjectName(QStringLiteral("frmcursor"));
    InitCursorResources();
    // The window's stored form: one item whose bytes are the cursor file.
    mpAnimatedCursors1->Read([this] {
        TmpAnimatedCursorItem *item = mpAnimatedCursors1->Cursors()->Add();
        item->SetDescription(QStringLiteral("selbran_cursor"));
        item->SetCursorID(1);
        QFile file(QStringLiteral(":/cursors/selbran.ani"));
        if (!file.open(QIODevice::ReadOnly))
            throw ECursorError(file.errorString());
        item->DefineAniCur().Load(file);
    });
}

Tfrmcursor::~Tfrmcursor() = default;

void InstallAnimatedCursors()
{
    if (RunningUnderWine)
        return;
    FreeAnimatedCursors();
    // The cursor goes through a temporary file; when that cannot be written
    // (a full, read-only or missing temporary folder) the program goes on
    // with the standard cursors rather than stop at start.
    try {
        frmcursor = new Tfrmcursor();
        const std::optional<TCursorHandle> wait =
            frmcursor->mpAnimatedCursors1->Cursors()->ItemAt(0)->LoadCursorHandle();
        if (wait && *wait)
            Screen::SetCursorHandle(crSQLWait, *wait);
    } catch (const ECursorError &) {
        FreeAnimatedCursors();
        Screen::ClearCursor(crSQLWait);
    }
    Screen::SetCursorHandle(1, LoadCursorResource(1003));
}

void FreeAnimatedCursors()
{
    delete frmcursor;
    frmcursor = nullptr;
}
