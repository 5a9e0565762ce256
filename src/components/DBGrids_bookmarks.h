#pragma once
// The rows marked in a data grid, known by their bookmarks and kept sorted in
// the dataset's row order, without duplicates.

#include <QByteArray>
#include <QList>

class TCustomDBGrid;

class TBookmarkList
{
public:
    explicit TBookmarkList(TCustomDBGrid *grid);
    ~TBookmarkList();
    TBookmarkList(const TBookmarkList &) = delete;
    TBookmarkList &operator=(const TBookmarkList &) = delete;

    int MarkedCount() const { return m_list.size(); }
    QByteArray MarkedBookmarkAt(int index) const;
    bool IsCurrentRowMarked();
    void SetCurrentRowMarked(bool value);
    void ClearMarks();
    bool FindMark(const QByteArray &bookmark, int &index);
    int CompareMarks(const QByteArray &a, const QByteArray &b) const;
    QByteArray CurrentRowBookmark() const;
    void SetLinkActive(bool value);
    bool LinkActive() const { return m_linkActive; }
    void DeleteMarkedRecords();
    // Searches made so far (the cache answers repeated ones).
    int SearchCount() const { return m_searches; }

private:
    void MarksChanged();
    TCustomDBGrid *m_grid;
    QList<QByteArray> m_list;
    QByteArray m_cacheBookmark;
    int m_cacheIndex = -1;
    bool m_cacheFound = false;
    bool m_linkActive = false;
    int m_searches = 0;
};
