#include "windows/printwalk.h"

#include <utility>

TPrintWalk::TPrintWalk(TDBGrid &grid, TZReadOnlyQuery &query, bool detachCalcFields)
    : m_grid(grid), m_query(query), m_waitCursorOff(query.Connection), m_readRun(query.Connection),
      m_detached(detachCalcFields)
{
    m_query.DisableControls();
    m_row = m_grid.GetActiveRecord();
    if (m_detached)
        m_calcFields = std::exchange(m_query.OnCalcFields, nullptr);
}

TPrintWalk::~TPrintWalk()
{
    if (!m_done)
        Restore();
}

void TPrintWalk::Finish()
{
    m_done = true;
    Restore();
}

void TPrintWalk::Restore()
{
    const bool quiet = !m_done;
    const auto step = [quiet](auto &&body) {
        if (!quiet) {
            body();
            return;
        }
        try {
            body();
        } catch (...) {
        }
    };
    if (m_detached) {
        m_query.OnCalcFields = m_calcFields;
        step([this] {
            if (m_query.Active())
                m_query.Resync();
        });
    }
    step([this] { m_grid.SetActiveRecord(m_row); });
    step([this] { m_query.EnableControls(); });
}
