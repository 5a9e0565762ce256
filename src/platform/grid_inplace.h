#pragma once
// The in-place cell editor of the base grid: an edit box laid over the
// current cell, and its list variant with an edit style (plain, ellipsis
// button, drop-down pick list) whose list drops below the cell.

#include "platform/grid.h"

#include <QLineEdit>

class QListWidget;
class QToolButton;

// An edit mask in the classic notation ("!99/99/0000;1;_": mask, whether
// literals are saved, blank character) as a QLineEdit input mask.
QString InputMaskFromEditMask(const QString &editMask);

class TInplaceEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TInplaceEdit(TBaseGrid *grid);
    TBaseGrid *Grid() const { return m_grid; }
    // Loads the current cell's text from the grid.
    virtual void RefreshContents();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    // Keys the grid handles although the editor has the focus.
    virtual bool ForwardsKey(int key, TShiftState shift) const;

private:
    void HandleKey(QKeyEvent *e);
    TBaseGrid *m_grid;
};

class TInplaceEditList : public TInplaceEdit
{
    Q_OBJECT
public:
    explicit TInplaceEditList(TBaseGrid *grid);

    TEditStyle EditStyle() const { return m_editStyle; }
    void SetEditStyle(TEditStyle style);
    int DropDownRows() const { return m_dropDownRows; }
    void SetDropDownRows(int rows) { m_dropDownRows = rows; }
    bool ListVisible() const { return m_listVisible; }
    // Made on first need.
    QListWidget *PickList();
    QListWidget *ActiveList() const { return m_activeList; }
    void SetActiveList(QListWidget *list) { m_activeList = list; }
    QToolButton *Button() const { return m_button; }

    // Drops the active list below the cell.
    virtual void OpenList();
    // Hides the list; the derived editor decides what accepting means.
    virtual void CloseList(bool accept);
    // The ellipsis button was pressed.
    virtual void ForwardEditButton() {}

    void RefreshContents() override;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    // Base drop-down: shows the active list under the editor.
    void DropDown();
    // Base close-up: hides the list without touching the field.
    void HideList();
    // A click in the list chose a line.
    void ListClicked();

private:
    void HandleListKey(QKeyEvent *e);
    void PlaceButton();
    TEditStyle m_editStyle = esSimple;
    int m_dropDownRows = 7;
    bool m_listVisible = false;
    QListWidget *m_pickList = nullptr;
    QListWidget *m_activeList = nullptr;
    QToolButton *m_button = nullptr;
};
