// Banners, the one-shot work of the first idle moments, and the closing
// banner.
#include "windows/main/main.h"

#include "platform/application.h"
#include "services/globals.h"
#include "services/hex_utl.h"
#include "services/tools_dbdate.h"
#include "windows/reclama.h"

#include <QPointer>

namespace {

// One-shot idle work of the run, in this order: the opening banner, then the
// freshness warning.
bool BannerStarted = false;
bool BannerDone = false;
bool FreshnessChecked = false;

// The banner called name: the file beside the program wins over the row of
// the catalogue's files table. A file that cannot be read (a FIFO, a device,
// one too large) counts as missing. Errors of the banner itself are
// swallowed (no banner); errors of the look-up go to the caller.
void ShowBannerOf(const QString &appDir, TZReadOnlyQuery &query, const QString &name, bool isLast, bool withButton)
{
    QByteArray bytes;
    if (ReadBannerFile(appDir + QStringLiteral("city_sp/banner/") + name, &bytes)) {
        try {
            ShowBanner(HexEncode(bytes), isLast, withButton);
        } catch (const EApplicationHalt &) {
            throw;
        } catch (...) {
        }
        return;
    }
    query.Close();
    query.SetSQL(QStringLiteral("select body from files where prefix='banner' and name='") + name +
                 QStringLiteral("' limit 1"));
    query.Open();
    if (query.RecordCount() == 1) {
        const QString hex = query.FieldByName(QStringLiteral("Body")).AsString();
        query.Close();
        ShowBanner(hex, isLast, withButton);
    }
    query.Close();
}

} // namespace

void TfrmMain::HookAppIdle()
{
    // One main window per run; a new one starts the work over.
    BannerStarted = false;
    BannerDone = false;
    FreshnessChecked = false;
    QPointer<TfrmMain> self(this);
    TApplication::SetIdleHandler([self] {
        if (self)
            self->AppIdle();
    });
}

void TfrmMain::AppIdle()
{
    if (!BannerStarted) {
        BannerStarted = true;
        // The banner is modal: idle moments while it is open find the step
        // begun and the warning not yet due. A failed look-up leaves
        // BannerDone unset, so no warning follows in this run.
        if (!IsNetwork)
            ShowBannerOf(AppDir, Query1, QStringLiteral("m1.jpg"), false, BannerButton);
        BannerDone = true;
    }
    if (!FreshnessChecked && BannerDone) {
        FreshnessChecked = true;
        CheckDbFreshness(Query1);
    }
}

void TfrmMain::FormCloseQuery(bool &CanClose)
{
    CanClose = true;
    if (IsNetwork)
        return;
    // The program must stay closable: a failed look-up is shown, and the
    // window closes all the same.
    try {
        ShowBannerOf(AppDir, Query1, QStringLiteral("m2.jpg"), true, BannerButton);
    } catch (...) {
        TApplication::HandleException();
    }
}
