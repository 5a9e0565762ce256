#pragma once
// The guard of a print walk over a result's rows: whatever way the walk
// ends, the grid's visible row comes back, the dataset's controls are on
// again and the connection's wait cursor is as it was. Meanwhile the
// catalogue file is read in one transaction.

#include "components/DBGrid.h"
#include "data/connection.h"
#include "data/query.h"

class TPrintWalk
{
public:
    // With detachCalcFields, a row the walk passes is not calculated: its
    // display texts (and their look-ups) are computed again for the rows on
    // screen afterwards, which are read again rather than the query run
    // again (a result in random order would come back shuffled, with
    // another row under the cursor and the marks on other rows).
    TPrintWalk(TDBGrid &grid, TZReadOnlyQuery &query, bool detachCalcFields = true);
    // Without Finish, the walk failed: restoring goes on past errors, which
    // are swallowed so that the walk's own error is the one reported.
    ~TPrintWalk();
    TPrintWalk(const TPrintWalk &) = delete;
    TPrintWalk &operator=(const TPrintWalk &) = delete;

    // The regular end; errors on the way go to the caller.
    void Finish();

private:
    void Restore();

    TDBGrid &m_grid;
    TZReadOnlyQuery &m_query;
    TSqlWaitCursorOff m_waitCursorOff;
    TSqliteReadRun m_readRun;
    bool m_detached;
    TDataSetNotifyEvent m_calcFields;
    int m_row = 0;
    bool m_done = false;
};
