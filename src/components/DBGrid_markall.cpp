// Marking every row of the result under the progress window. The walk runs
// with the dataset's controls off, its calculated fields detached and the
// connection's wait cursor off, so no row is drawn or calculated on the way.
#include "components/DBGrid.h"

#include "components/Progress.h"
#include "data/connection.h"
#include "data/query.h"

namespace {

// Gives the connection's wait-cursor switch and the grid back their state
// however the job ends.
struct TMarkAllScope {
    TDBGrid *grid;
    TZConnection *connection;
    bool hourGlass;
    ~TMarkAllScope()
    {
        if (connection)
            connection->SQLHourGlass = hourGlass;
        grid->InvalidateGrid();
    }
};

} // namespace

void TDBGrid::MarkAllPositions(int count)
{
    TGridDataLink &link = DataLink();
    if (!link.Active())
        return;
    auto *query = dynamic_cast<TZReadOnlyQuery *>(link.DataSet());
    TZConnection *connection = query ? query->Connection : nullptr;
    TMarkAllScope scope{this, connection, connection && connection->SQLHourGlass};
    if (connection)
        connection->SQLHourGlass = false;
    RunWithProgress(count, QStringLiteral("Пометить позиции ..."), [this](QObject *sender) { MarkAllWorker(sender); });
}

void TDBGrid::MarkAllWorker(QObject *)
{
    TGridDataLink &link = DataLink();
    if (!link.Active()) {
        StopProgress();
        return;
    }
    TDataSet *ds = link.DataSet();
    const int recNo = ds->RecNo();
    const int slot = ds->ActiveRecord();
    const TDataSetNotifyEvent calcFields = ds->OnCalcFields;
    ds->OnCalcFields = nullptr;
    ds->DisableControls();
    try {
        ds->First();
        for (int n = 0; !ds->Eof(); ++n) {
            MarkedRows().SetCurrentRowMarked(true);
            if (ProgressStep(n))
                SetProgressText(QStringLiteral(" Отмечено ") + QString::number(n) + QStringLiteral(" позиций"));
            if (ProgressStopFlag)
                break;
            ds->Next();
        }
        ds->OnCalcFields = calcFields;
        PlaceRecordAt(recNo, slot);
    } catch (...) {
        // Leave the dataset as the walk found it, then let the error go on
        // to the default handler.
        ds->OnCalcFields = calcFields;
        try {
            PlaceRecordAt(recNo, slot);
        } catch (...) {
            // The first error is the one worth showing.
        }
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    StopProgress();
}
