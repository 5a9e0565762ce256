// The HTML label's properties, layout, painting and anchors; the parser is in
// givLabelParse.cpp.
#include "components/givLabel.h"

#include "platform/application.h"
#include "platform/screen.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <limits>

TgivHTMLabel::TgivHTMLabel(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true); // the hand cursor follows the mouse over anchors
    resize(100, 50);
    SetText(QStringLiteral("TgivHTMLabel"));
}

TgivHTMLabel::~TgivHTMLabel() = default;

void TgivHTMLabel::SetAlign(TAlign value)
{
    if (m_align == value)
        return;
    m_align = value;
    Changed();
}

QColor TgivHTMLabel::Color() const
{
    if (!m_parentColor)
        return m_color;
    const QWidget *owner = parentWidget() ? parentWidget() : this;
    return owner->palette().color(owner->backgroundRole());
}

void TgivHTMLabel::SetColor(const QColor &value)
{
    if (!m_parentColor && m_color == value)
        return;
    m_color = value;
    m_parentColor = false;
    update();
}

void TgivHTMLabel::SetParentColor(bool value)
{
    if (m_parentColor == value)
        return;
    if (!value)
        m_color = Color(); // keep showing the colour in force
    m_parentColor = value;
    update();
}

void TgivHTMLabel::SetVAutoSize(bool value)
{
    if (m_vAutoSize == value)
        return;
    m_vAutoSize = value;
    Changed();
}

void TgivHTMLabel::SetHAutoSize(bool value)
{
    if (m_hAutoSize == value)
        return;
    m_hAutoSize = value;
    Changed();
}

void TgivHTMLabel::SetMarginLeft(int value)
{
    if (m_marginLeft == value)
        return;
    m_marginLeft = value;
    Changed();
}

void TgivHTMLabel::SetMarginRight(int value)
{
    if (m_marginRight == value)
        return;
    m_marginRight = value;
    Changed();
}

void TgivHTMLabel::SetMarginTop(int value)
{
    if (m_marginTop == value)
        return;
    m_marginTop = value;
    Changed();
}

void TgivHTMLabel::SetOnAnchor(TOnAnchor handler)
{
    m_onAnchor = std::move(handler);
}

void TgivHTMLabel::SetLines(const QStringList &lines)
{
    m_lines = lines;
    LinesChanged();
}

void TgivHTMLabel::SetText(const QString &text)
{
    // Split at CR LF, CR or LF; a final break adds no empty line.
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    SetLines(lines);
}

void TgivHTMLabel::LinesChanged()
{
    QString text;
    for (const QString &line : std::as_const(m_lines))
        text += line + QStringLiteral("\r\n");
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] <= u' ')
        --end;
    text.truncate(end);
    ParseHtml(text);
    Changed();
}

void TgivHTMLabel::Changed()
{
    // Auto-size takes effect at once, not only at the next paint.
    if (m_vAutoSize || m_hAutoSize)
        LayoutAndDraw(nullptr);
    update();
}

QFont TgivHTMLabel::FontOf(const TgivHTMLElement &element)
{
    // A run without a face takes whatever face the surface last had.
    if (!element.Face.isEmpty())
        m_surfaceFace = element.Face;
    QFont f = font();
    f.setFamily(m_surfaceFace);
    f.setPointSize(element.FontSize);
    f.setBold(element.Style & fsBold);
    f.setItalic(element.Style & fsItalic);
    f.setUnderline(element.Style & fsUnderline);
    return f;
}

void TgivHTMLabel::MeasureElements()
{
    for (int i = 0; i < m_elements.Count(); ++i) {
        TgivHTMLElement &element = m_elements[i];
        const QFontMetrics metrics(FontOf(element), this);
        element.Ascent = metrics.ascent();
        element.Height = metrics.height();
    }
}

void TgivHTMLabel::LayoutAndDraw(QPainter *painter)
{
    m_surfaceFace = font().family();
    MeasureElements();
    const bool widthFollows = m_hAutoSize && (m_align == alNone || m_align == alLeft || m_align == alRight);
    const bool heightFollows = m_vAutoSize && (m_align == alNone || m_align == alTop || m_align == alBottom);
    const int count = m_elements.Count();
    int widest = 0;
    int y = m_marginTop;

    for (int pass = widthFollows ? 1 : 2; pass <= 2; ++pass) {
        const int limit = pass == 1      ? std::numeric_limits<int>::max()
                          : widthFollows ? m_marginLeft + widest + m_marginRight
                                         : width() - m_marginRight;
        const bool drawing = pass == 2 && painter;
        for (int i = 0; i < count; ++i) {
            TgivHTMLElement &element = m_elements[i];
            element.LineText.clear();
            element.RestText.clear();
            element.BreakDone = false;
            if (drawing)
                element.HitRects.clear();
        }
        if (count == 0)
            return;
        y = m_marginTop;
        if (drawing)
            painter->fillRect(rect(), Color());

        int s = 0;
        for (;;) {
            int room = limit;
            int lineHeight = 0;
            int lineAscent = 0;
            bool endedAtBreak = false;
            int e = s;
            for (int i = s;; ++i) {
                TgivHTMLElement &element = m_elements[i];
                if (element.BreakBefore && !element.BreakDone) {
                    element.BreakDone = true;
                    endedAtBreak = true;
                    e = i;
                    break;
                }
                // A run counts for the line's height even if none of it lands here.
                lineHeight = std::max(lineHeight, element.Height);
                lineAscent = std::max(lineAscent, element.Ascent);
                const QFontMetrics metrics(FontOf(element), this);
                element.FitToWidth(room, limit - m_marginLeft, metrics);
                if (!element.LineText.isEmpty())
                    room -= metrics.horizontalAdvance(element.LineText);
                if (element.LineText.isEmpty() || !element.RestText.isEmpty() || i == count - 1) {
                    e = i;
                    break;
                }
            }

            int lineWidth = 0;
            for (int i = s; i <= e; ++i) {
                TgivHTMLElement &element = m_elements[i];
                lineWidth += QFontMetrics(FontOf(element), this).horizontalAdvance(element.LineText);
            }
            widest = std::max(widest, lineWidth);

            if (drawing) {
                int x = m_marginLeft;
                const QString &align = m_elements[s].Align;
                if (align == u"right")
                    x = std::max(0, limit - m_marginLeft - lineWidth);
                else if (align == u"center")
                    x = std::max(0, (limit - m_marginLeft - lineWidth) / 2);
                for (int i = s; i <= e; ++i)
                    DrawPiece(*painter, m_elements[i], x, y + lineAscent - m_elements[i].Ascent);
            }

            y += lineHeight;
            const bool more = e != count - 1 || !m_elements[e].RestText.isEmpty() || endedAtBreak;
            s = e; // partly placed, not placed at all, or the run after the break
            if (!more)
                break;
        }
    }

    QSize size = this->size();
    if (heightFollows)
        size.setHeight(y);
    if (widthFollows)
        size.setWidth(m_marginLeft + widest + m_marginRight);
    if (size != this->size())
        resize(size);
}

void TgivHTMLabel::DrawPiece(QPainter &painter, TgivHTMLElement &element, int &x, int top)
{
    const QFont f = FontOf(element);
    if (element.LineText.isEmpty())
        return;
    const QFontMetrics metrics(f, this);
    painter.setFont(f);
    painter.setPen(element.Color);
    painter.drawText(x, top + element.Ascent, element.LineText); // at the shared baseline
    const int textWidth = metrics.horizontalAdvance(element.LineText);
    if (!element.AnchorName.isEmpty())
        element.HitRects.append(TObjRect{x, top, x + textWidth, top + element.Height});
    x += textWidth;
}

void TgivHTMLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    LayoutAndDraw(&painter);
}

const TgivHTMLElement *TgivHTMLabel::HitAt(int x, int y) const
{
    for (int i = 0; i < m_elements.Count(); ++i) {
        const TgivHTMLElement &element = m_elements[i];
        for (const TObjRect &r : element.HitRects) {
            if (r.left <= x && x <= r.right && r.top <= y && y <= r.bottom)
                return &element;
        }
    }
    return nullptr;
}

void TgivHTMLabel::AnchorMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (!m_onAnchor)
        return;
    if (const TgivHTMLElement *element = HitAt(x, y))
        m_onAnchor(this, element->AnchorName);
}

void TgivHTMLabel::AnchorMouseMove(Qt::KeyboardModifiers, int x, int y)
{
    if (!m_onAnchor)
        return;
    if (HitAt(x, y))
        setCursor(Screen::Cursor(crHandPoint));
    else
        unsetCursor();
}

void TgivHTMLabel::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    GuardedEvent([&] { AnchorMouseDown(event->button(), event->modifiers(), at.x(), at.y()); });
    QWidget::mousePressEvent(event);
}

void TgivHTMLabel::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    AnchorMouseMove(event->modifiers(), at.x(), at.y());
    QWidget::mouseMoveEvent(event);
}
