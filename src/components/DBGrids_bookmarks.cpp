#include "components/DBGrids_bookmarks.h"

#include "components/DBGrids_core.h"

TBookmarkList::TBookmarkList(TCustomDBGrid *grid) : m_grid(grid) {}

TBookmarkList::~TBookmarkList()
{
    ClearMarks();
}

void TBookmarkList::MarksChanged()
{
    m_cacheIndex = -1;
    m_cacheBookmark.clear();
}

QByteArray TBookmarkList::MarkedBookmarkAt(int index) const
{
    if (index < 0 || index >= m_list.size())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_list.at(index);
}

int TBookmarkList::CompareMarks(const QByteArray &a, const QByteArray &b) const
{
    TDataSet *ds = m_grid->DataLink().DataSet();
    return ds ? ds->CompareBookmarks(a, b) : 0;
}

QByteArray TBookmarkList::CurrentRowBookmark() const
{
    if (!m_linkActive)
        RaiseInvalidGridError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    return m_grid->DataLink().DataSet()->Bookmark();
}

bool TBookmarkList::FindMark(const QByteArray &bookmark, int &index)
{
    if (bookmark == m_cacheBookmark && m_cacheIndex >= 0) {
        index = m_cacheIndex;
        return m_cacheFound;
    }
    ++m_searches;
    int low = 0, high = m_list.size() - 1;
    bool found = false;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int c = CompareMarks(m_list.at(middle), bookmark);
        if (c < 0)
            low = middle + 1;
        else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                low = middle;
            }
        }
    }
    index = low;
    m_cacheBookmark = bookmark;
    m_cacheIndex = low;
    m_cacheFound = found;
    return found;
}

bool TBookmarkList::IsCurrentRowMarked()
{
    int index = 0;
    return FindMark(CurrentRowBookmark(), index);
}

void TBookmarkList::SetCurrentRowMarked(bool value)
{
    const QByteArray bookmark = CurrentRowBookmark();
    if (bookmark.isEmpty())
        return;
    int index = 0;
    if (FindMark(bookmark, index) == value)
        return;
    if (value)
        m_list.insert(index, bookmark);
    else
        m_list.removeAt(index);
    MarksChanged();
    m_grid->InvalidateRow(m_grid->Row());
}

void TBookmarkList::ClearMarks()
{
    if (m_list.isEmpty())
        return;
    m_list.clear();
    MarksChanged();
    m_grid->InvalidateGrid();
}

void TBookmarkList::SetLinkActive(bool value)
{
    ClearMarks();
    m_linkActive = value;
}

void TBookmarkList::DeleteMarkedRecords()
{
    TDataSet *ds = m_grid->DataLink().DataSet();
    if (!ds)
        return;
    ds->DisableControls();
    struct Enable {
        TDataSet *d;
        ~Enable() { d->EnableControls(); }
    } enable{ds};
    for (int i = m_list.size() - 1; i >= 0; --i) {
        ds->GotoBookmark(m_list.at(i));
        ds->Delete();
        m_list.removeAt(i);
        MarksChanged();
    }
}
