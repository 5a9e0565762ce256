// The marking grid: position menu, keys, mouse, wheel, row copy and putting
// the current row back on screen.
#include "components/DBGrid.h"

#include "components/cbrd.h"
#include "platform/application.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <utility>

namespace {
constexpr int VK_C = 'C';
}

TDBGrid::TDBGrid(QWidget *parent) : TCustomDBGrid(parent)
{
    OnMouseWheel = [this](QObject *sender, TShiftState shift, int delta, QPoint pos, bool &handled) {
        WheelToArrowKey(sender, shift, delta, pos, handled);
    };

    // Owned by the grid, so it goes with the window that holds the grid.
    PositionMenu = new QMenu(this);
    PositionMenu->setObjectName(QStringLiteral("PositionMenu"));
    connect(PositionMenu, &QMenu::aboutToShow, this, GuardedSlot(this, &TDBGrid::PositionMenuPopup));
    auto addItem = [this](const QString &caption, const QString &name) {
        QAction *item = PositionMenu->addAction(caption);
        item->setObjectName(name);
        connect(item, &QAction::triggered, this, GuardedSlot([this, item] { PositionMenuClick(item); }));
        return item;
    };
    CopyItem = addItem(QStringLiteral("Копировать позицию в буфер"), QStringLiteral("CopyItem"));
    PositionMenu->addSeparator();
    MarkItem = addItem(QStringLiteral("Выделить позицию"), QStringLiteral("MarkItem"));
    UnmarkItem = addItem(QStringLiteral("Снять выделение"), QStringLiteral("UnmarkItem"));
    PositionMenu->addSeparator();
    MarkAllItem = addItem(QStringLiteral("Выделить ВСЕ позиции"), QStringLiteral("MarkAllItem"));
    UnmarkAllItem = addItem(QStringLiteral("Снять выделение со ВСЕХ позиций"), QStringLiteral("UnmarkAllItem"));
    SetPopupMenu(PositionMenu);
}

TDBGrid::~TDBGrid() = default;

TCustomDBGrid *TDBGrid::MakeSubGrid(QWidget *parent)
{
    return new TDBGrid(parent);
}

// --- position menu -----------------------------------------------------------

void TDBGrid::PositionMenuPopup()
{
    TGridDataLink &link = DataLink();
    const bool open = link.Active();
    const int rows = open ? link.DataSet()->RecordCount() : 0;
    const int marked = MarkedRows().MarkedCount();
    const bool haveRows = open && rows != 0;
    const bool currentMarked = haveRows && MarkedRows().IsCurrentRowMarked();
    MarkAllItem->setEnabled(haveRows && rows != marked);
    UnmarkAllItem->setEnabled(haveRows && marked != 0);
    MarkItem->setEnabled(haveRows && !currentMarked);
    UnmarkItem->setEnabled(haveRows && currentMarked);
}

void TDBGrid::PositionMenuClick(QAction *item)
{
    if (item == MarkAllItem) {
        if (DataLink().Active())
            MarkAllPositions(DataLink().DataSet()->RecordCount());
    } else if (item == UnmarkAllItem)
        MarkedRows().ClearMarks();
    else if (item == MarkItem)
        MarkedRows().SetCurrentRowMarked(true);
    else if (item == UnmarkItem)
        MarkedRows().SetCurrentRowMarked(false);
    else if (item == CopyItem)
        CopyCurrentRow();
}

// --- row copy ------------------------------------------------------------------

QString TDBGrid::CurrentRowText()
{
    QString text;
    if (!DataLink().Active())
        return text;
    TDBGridColumns &columns = Columns();
    for (int i = 0; i < columns.Count(); ++i) {
        TColumn *column = columns[i];
        // Picture columns carry no text worth pasting.
        if (column->FieldName().startsWith(QLatin1String("ico_")))
            continue;
        // A column bound to no field has nothing to give.
        TField *field = column->GetBoundField();
        if (!field)
            continue;
        if (!text.isEmpty())
            text += u'\t';
        text += field->Text();
    }
    return text;
}

void TDBGrid::CopyCurrentRow()
{
    CopyTextToClipboard(CurrentRowText());
}

// --- keys and mouse ------------------------------------------------------------

void TDBGrid::HandleKeyDown(int &key, TShiftState shift)
{
    // The core fires the form's key handler first and does nothing with
    // Ctrl+C or Ctrl+Insert, so copying after it keeps that order.
    TCustomDBGrid::HandleKeyDown(key, shift);
    if ((shift & ssCtrl) && (key == VK_C || key == VK_INSERT) && DataLink().Active() && AcceptsKey(key, shift))
        CopyCurrentRow();
}

// Marks outlive every move: only the user's own unmarking removes them, and
// a Shift extension lasts until a left click.
void TDBGrid::DropMarks() {}

void TDBGrid::MarkClickedRow(TShiftState shift)
{
    m_selecting = false;
    if (shift & ssCtrl)
        MarkedRows().SetCurrentRowMarked(!MarkedRows().IsCurrentRowMarked());
}

void TDBGrid::WheelToArrowKey(QObject *, TShiftState shift, int wheelDelta, QPoint, bool &handled)
{
    handled = true;
    // Horizontal wheels and touchpad phase messages carry no vertical turn.
    if (wheelDelta == 0)
        return;
    int key = wheelDelta > 0 ? VK_UP : VK_DOWN;
    HandleKeyDown(key, shift);
}

// --- active record ---------------------------------------------------------------

void TDBGrid::ReactToLinkState(bool value)
{
    // A remembered record belongs to the result it was read from.
    m_activeBookmark.clear();
    TCustomDBGrid::ReactToLinkState(value);
}

int TDBGrid::GetActiveRecord()
{
    TGridDataLink &link = DataLink();
    m_activeBookmark = link.Active() ? link.DataSet()->Bookmark() : QByteArray();
    return link.ActiveRecord();
}

void TDBGrid::SetActiveRecord(int value)
{
    TGridDataLink &link = DataLink();
    if (!link.Active())
        return;
    TDataSet *ds = link.DataSet();
    const QByteArray bookmark = std::exchange(m_activeBookmark, QByteArray());
    if (bookmark.isEmpty() || !ds->BookmarkValid(bookmark)) {
        const int rows = link.RecordCount();
        if (rows > 0)
            link.MoveBy(std::clamp(value, 0, rows - 1) - link.ActiveRecord());
        return;
    }
    // A walk over the marks left the cursor elsewhere: go back to the record
    // that was current, so the row on screen and the current record agree.
    ds->GotoBookmark(bookmark);
    const int linkFirst = ds->ActiveRecord() - link.ActiveRecord();
    PlaceRecordAt(ds->RecNo(), linkFirst + value);
}

void TDBGrid::PlaceRecordAt(int recNo, int slot)
{
    TDataSet *ds = DataLink().DataSet();
    if (!ds || !ds->Active())
        return;
    const int rows = ds->RecordCount();
    if (rows == 0 || recNo < 1)
        return;
    const int target = std::min(recNo, rows) - 1;
    const int size = std::min(ds->BufferCount(), rows);
    slot = std::clamp(slot, 0, size - 1);
    const int first = std::clamp(target - slot, 0, rows - size);
    const int windowFirst = ds->RecNo() - 1 - ds->ActiveRecord();
    // Moving past an edge of the record window shifts it just far enough.
    if (first < windowFirst)
        ds->SetRecNo(first + 1);
    else if (first > windowFirst)
        ds->SetRecNo(first + size);
    ds->SetRecNo(target + 1);
}
