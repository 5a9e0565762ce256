#pragma once
// TDBGrid: the marking data grid every result list uses. On top of the grid
// core the user marks rows and keeps them marked while moving about (no key,
// move or plain click empties the marks), copies the current row to the
// clipboard, marks or unmarks everything from the position menu, and the
// print paths put the current row back on screen after walking the marks.
//
// Implementation: DBGrid.cpp (menu, keys, mouse, wheel, row copy, active
// record), DBGrid_markall.cpp (marking every row under the progress window).

#include "components/DBGrids_core.h"

class QAction;
class QMenu;

class TDBGrid : public TCustomDBGrid
{
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    // The position menu and its five command items.
    QMenu *PositionMenu = nullptr;
    QAction *MarkAllItem = nullptr;
    QAction *UnmarkAllItem = nullptr;
    QAction *MarkItem = nullptr;
    QAction *UnmarkItem = nullptr;
    QAction *CopyItem = nullptr;

    // Sets the items' enabled state; runs just before the menu opens.
    void PositionMenuPopup();
    // One handler for the five command items.
    void PositionMenuClick(QAction *item);

    // Every wheel message is one Up or Down key.
    void WheelToArrowKey(QObject *sender, TShiftState shift, int wheelDelta, QPoint mousePos, bool &handled);

    // Place of the current row among the rows shown, counted from the top row.
    // Also remembers which record that is, for SetActiveRecord.
    int GetActiveRecord();
    // Makes the record remembered by GetActiveRecord current again and shows
    // it at that place; without one, the record at that place becomes current.
    void SetActiveRecord(int value);

    // Marks every row of the result under the progress window; count is the
    // bar's maximum.
    void MarkAllPositions(int count);
    // The job MarkAllPositions hands to the progress window.
    void MarkAllWorker(QObject *sender);

    // The current row as the clipboard gets it: the edit texts of every
    // column (hidden ones too) except "ico_" ones, TAB-separated.
    QString CurrentRowText();
    void CopyCurrentRow();

    void ReactToLinkState(bool value) override;

protected:
    void HandleKeyDown(int &key, TShiftState shift) override;
    void DropMarks() override;
    void MarkClickedRow(TShiftState shift) override;
    TCustomDBGrid *MakeSubGrid(QWidget *parent) override;

private:
    // Makes row number recNo (1-based) current and moves the record window
    // so that it stands at place slot of the window where the data allows.
    void PlaceRecordAt(int recNo, int slot);

    QByteArray m_activeBookmark;
};
