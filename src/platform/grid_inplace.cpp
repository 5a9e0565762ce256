#include "platform/grid_inplace.h"
#include "platform/application.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QToolButton>

// --- TInplaceEdit --------------------------------------------------------

TInplaceEdit::TInplaceEdit(TBaseGrid *grid) : QLineEdit(grid->viewport()), m_grid(grid)
{
    setFrame(false);
    connect(this, &QLineEdit::textEdited, this,
            GuardedSlot([this](const QString &text) { m_grid->KeepEditorText(m_grid->Col(), m_grid->Row(), text); }));
}

QString InputMaskFromEditMask(const QString &editMask)
{
    // Fields are separated by ';' outside escapes.
    QStringList parts{QString()};
    for (qsizetype i = 0; i < editMask.size(); ++i) {
        const QChar c = editMask[i];
        if (c == u'\\' && i + 1 < editMask.size()) {
            parts.back() += c;
            parts.back() += editMask[++i];
        } else if (c == u';')
            parts.append(QString());
        else
            parts.back() += c;
    }
    const QString &mask = parts.front();
    if (mask.isEmpty())
        return {};
    static const QString qtMeta = QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\;");
    QString out;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        switch (c.unicode()) {
        case u'\\':
            if (i + 1 < mask.size()) {
                const QChar lit = mask[++i];
                if (qtMeta.contains(lit))
                    out += u'\\';
                out += lit;
            }
            break;
        case u'!': // leading blanks are trimmed: Qt has no counterpart
            break;
        case u'<':
            if (i + 1 < mask.size() && mask[i + 1] == u'>') {
                out += u'!';
                ++i;
            } else
                out += u'<';
            break;
        case u'>': out += u'>'; break;
        case u'L': out += u'A'; break;
        case u'l': out += u'a'; break;
        case u'A': out += u'N'; break;
        case u'a': out += u'n'; break;
        case u'C': out += u'X'; break;
        case u'c': out += u'x'; break;
        case u'0': out += u'9'; break;
        case u'9': out += u'0'; break;
        case u'#': out += u'#'; break;
        case u'_': out += u' '; break;
        default:
            if (qtMeta.contains(c))
                out += u'\\';
            out += c;
        }
    }
    const QString blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : QStringLiteral("_");
    return out + u';' + blank;
}

void TInplaceEdit::RefreshContents()
{
    setInputMask(InputMaskFromEditMask(m_grid->EditorMask(m_grid->Col(), m_grid->Row())));
    if (inputMask().isEmpty())
        setMaxLength(m_grid->EditorTextLimit() > 0 ? m_grid->EditorTextLimit() : 32767);
    setText(m_grid->EditorTextOf(m_grid->Col(), m_grid->Row()));
    selectAll();
}

bool TInplaceEdit::ForwardsKey(int key, TShiftState shift) const
{
    switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_TAB:
    case VK_ESCAPE:
    case VK_INSERT:
    case VK_F2: return true;
    case VK_DELETE: return shift & ssCtrl;
    case VK_LEFT:
    case VK_HOME: return cursorPosition() == 0 && !hasSelectedText();
    case VK_RIGHT:
    case VK_END: return cursorPosition() == text().size() && !hasSelectedText();
    default: return false;
    }
}

void TInplaceEdit::keyPressEvent(QKeyEvent *e)
{
    GuardedEvent([this, e] { HandleKey(e); });
}

void TInplaceEdit::HandleKey(QKeyEvent *e)
{
    int key = VirtualKeyFromQt(e->key());
    const TShiftState shift = ShiftFromQt(e->modifiers());
    if (key != 0 && ForwardsKey(key, shift)) {
        m_grid->HandleKeyDown(key, shift);
        e->accept();
        return;
    }
    if (key == VK_RETURN) {
        QChar ch(u'\r');
        m_grid->HandleKeyPress(ch);
        e->accept();
        return;
    }
    const QString text = e->text();
    if (!text.isEmpty() && text.at(0).unicode() >= 32 && !(shift & (ssCtrl | ssAlt))) {
        // The grid decides whether the cell may change and takes the character.
        if (!m_grid->EditorAcceptsKey(text.at(0)) || !m_grid->EditorMayModify()) {
            e->accept();
            return;
        }
    } else if ((key == VK_BACK || key == VK_DELETE) && !m_grid->EditorMayModify()) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

// --- TInplaceEditList ----------------------------------------------------

TInplaceEditList::TInplaceEditList(TBaseGrid *grid) : TInplaceEdit(grid)
{
    m_button = new QToolButton(this);
    m_button->setCursor(Qt::ArrowCursor);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->hide();
    connect(m_button, &QToolButton::clicked, this, GuardedSlot([this] {
                if (m_editStyle == esEllipsis)
                    ForwardEditButton();
                else if (m_editStyle == esPickList) {
                    if (m_listVisible)
                        CloseList(false);
                    else
                        OpenList();
                }
            }));
}

void TInplaceEditList::SetEditStyle(TEditStyle style)
{
    if (style == m_editStyle)
        return;
    m_editStyle = style;
    m_button->setText(style == esEllipsis ? QStringLiteral("...") : QStringLiteral("\u25BE"));
    m_button->setVisible(style != esSimple);
    PlaceButton();
}

QListWidget *TInplaceEditList::PickList()
{
    if (!m_pickList) {
        m_pickList = new QListWidget(Grid()->viewport());
        m_pickList->hide();
        m_pickList->setFocusPolicy(Qt::NoFocus);
        connect(m_pickList, &QListWidget::itemClicked, this, GuardedSlot([this] { ListClicked(); }));
        m_activeList = m_pickList;
    }
    return m_pickList;
}

void TInplaceEditList::RefreshContents()
{
    TInplaceEdit::RefreshContents();
    SetEditStyle(Grid()->EditorKind(Grid()->Col(), Grid()->Row()));
    if (m_editStyle == esPickList && !m_activeList)
        m_activeList = PickList();
}

void TInplaceEditList::PlaceButton()
{
    const int w = m_editStyle == esSimple ? 0 : qMin(height(), 18);
    if (w > 0)
        m_button->setGeometry(width() - w, 0, w, height());
    setTextMargins(0, 0, w, 0);
}

void TInplaceEditList::resizeEvent(QResizeEvent *e)
{
    TInplaceEdit::resizeEvent(e);
    PlaceButton();
}

void TInplaceEditList::OpenList()
{
    DropDown();
}

void TInplaceEditList::DropDown()
{
    if (m_listVisible || !m_activeList)
        return;
    QListWidget *list = m_activeList;
    const int rows = qMax(1, qMin(m_dropDownRows, qMax(1, list->count())));
    const int rowHeight = list->sizeHintForRow(0) > 0 ? list->sizeHintForRow(0) : fontMetrics().height() + 2;
    const QRect cell = geometry();
    list->setParent(Grid()->viewport());
    const int width = qMax(cell.width(), 60);
    // Right to left the list hangs from the cell's right edge.
    const int left = Grid()->layoutDirection() == Qt::RightToLeft ? cell.right() + 1 - width : cell.left();
    list->setGeometry(left, cell.bottom() + 1, width, rows * rowHeight + 2 * list->frameWidth());
    // The line matching the text is selected; none when no line matches.
    list->clearSelection();
    list->setCurrentItem(nullptr);
    const auto found = list->findItems(text(), Qt::MatchExactly);
    if (!found.isEmpty())
        list->setCurrentItem(found.first());
    list->show();
    list->raise();
    m_listVisible = true;
}

void TInplaceEditList::HideList()
{
    if (!m_listVisible)
        return;
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (m_activeList)
        m_activeList->hide();
    m_listVisible = false;
    update();
}

void TInplaceEditList::CloseList(bool)
{
    HideList();
}

void TInplaceEditList::ListClicked()
{
    CloseList(true);
}

void TInplaceEditList::focusOutEvent(QFocusEvent *e)
{
    if (m_listVisible)
        GuardedEvent([this] { CloseList(false); });
    TInplaceEdit::focusOutEvent(e);
}

void TInplaceEditList::keyPressEvent(QKeyEvent *e)
{
    GuardedEvent([this, e] { HandleListKey(e); });
}

void TInplaceEditList::HandleListKey(QKeyEvent *e)
{
    const int key = VirtualKeyFromQt(e->key());
    const TShiftState shift = ShiftFromQt(e->modifiers());
    if (m_editStyle == esPickList) {
        if ((key == VK_DOWN && (shift & ssAlt)) || e->key() == Qt::Key_F4) {
            if (m_listVisible)
                CloseList(true);
            else
                OpenList();
            e->accept();
            return;
        }
        if (m_listVisible && m_activeList) {
            if (key == VK_RETURN || key == VK_ESCAPE) {
                CloseList(key == VK_RETURN);
                e->accept();
                return;
            }
            if (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT) {
                QApplication::sendEvent(m_activeList, e);
                return;
            }
        }
    }
    if (m_editStyle == esEllipsis && key == VK_RETURN && (shift & ssCtrl)) {
        ForwardEditButton();
        e->accept();
        return;
    }
    TInplaceEdit::keyPressEvent(e);
}
