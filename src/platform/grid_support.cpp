#include "platform/grid_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace {
QColor PaletteColor(QPalette::ColorGroup group, QPalette::ColorRole role)
{
    return QApplication::palette().color(group, role);
}
} // namespace

QColor clWindow()
{
    return PaletteColor(QPalette::Active, QPalette::Base);
}
QColor clWindowText()
{
    return PaletteColor(QPalette::Active, QPalette::Text);
}
QColor clBtnFace()
{
    return PaletteColor(QPalette::Active, QPalette::Button);
}
QColor clHighlight()
{
    return PaletteColor(QPalette::Active, QPalette::Highlight);
}
QColor clHighlightText()
{
    return PaletteColor(QPalette::Active, QPalette::HighlightedText);
}
QColor clGrayText()
{
    return PaletteColor(QPalette::Disabled, QPalette::Text);
}
QColor clBtnShadow()
{
    return PaletteColor(QPalette::Active, QPalette::Dark);
}
QColor clBtnHighlight()
{
    return PaletteColor(QPalette::Active, QPalette::Light);
}

QColor ColorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// --- TFont ---------------------------------------------------------------

TFont::TFont(QObject *parent) : QObject(parent), m_font(QApplication::font()), m_color(clWindowText()) {}

void TFont::Notify()
{
    emit Changed();
}

void TFont::SetFont(const QFont &font)
{
    if (font == m_font)
        return;
    m_font = font;
    Notify();
}

void TFont::SetColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    Notify();
}

void TFont::SetCharset(int charset)
{
    // Qt picks glyphs by script itself; the set is kept because columns and
    // windows read it back, and setting it counts as a change of the font.
    m_charset = charset;
    Notify();
}

void TFont::SetName(const QString &name)
{
    QFont f = m_font;
    f.setFamily(name);
    SetFont(f);
}

void TFont::SetSize(int points)
{
    QFont f = m_font;
    f.setPointSize(points);
    SetFont(f);
}

void TFont::SetBold(bool bold)
{
    QFont f = m_font;
    f.setBold(bold);
    SetFont(f);
}

void TFont::Assign(const TFont &source)
{
    if (&source == this || source == *this)
        return;
    m_font = source.m_font;
    m_color = source.m_color;
    m_charset = source.m_charset;
    Notify();
}

bool TFont::SameHandle(const TFont &other) const
{
    return m_font == other.m_font && m_charset == other.m_charset;
}

bool TFont::operator==(const TFont &other) const
{
    return SameHandle(other) && m_color == other.m_color;
}

int TFont::TextHeight(const QString &text) const
{
    Q_UNUSED(text);
    return QFontMetrics(m_font).height();
}

int TFont::TextWidth(const QString &text) const
{
    return QFontMetrics(m_font).horizontalAdvance(text);
}

int TFont::AverageCharWidth() const
{
    return qMax(1, QFontMetrics(m_font).averageCharWidth());
}

// --- TCanvas -------------------------------------------------------------

TCanvas::TCanvas() : m_brush(clWindow()) {}

void TCanvas::FillRect(const QRect &rect)
{
    if (m_painter && rect.isValid())
        m_painter->fillRect(rect, m_brush);
}

void TCanvas::TextRect(const QRect &rect, int x, int y, const QString &text)
{
    if (!m_painter)
        return;
    m_painter->save();
    m_painter->setClipRect(rect, Qt::IntersectClip);
    m_painter->setFont(m_font.Font());
    m_painter->setPen(m_font.Color());
    const QFontMetrics fm(m_font.Font());
    m_painter->drawText(x, y + fm.ascent(), text);
    m_painter->restore();
}

void TCanvas::DrawFocusRect(const QRect &rect)
{
    if (!m_painter)
        return;
    m_painter->save();
    QPen pen(m_font.Color());
    pen.setStyle(Qt::DotLine);
    m_painter->setPen(pen);
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawRect(rect.adjusted(0, 0, -1, -1));
    m_painter->restore();
}

void TCanvas::DrawEdge(const QRect &rect, TEdgeKind kind, unsigned sides)
{
    if (!m_painter)
        return;
    const QColor light = kind == edRaisedInner ? clBtnHighlight() : clBtnShadow();
    const QColor dark = kind == edRaisedInner ? clBtnShadow() : clBtnHighlight();
    m_painter->save();
    if (sides & bfLeft) {
        m_painter->setPen(light);
        m_painter->drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
    }
    if (sides & bfTop) {
        m_painter->setPen(light);
        m_painter->drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    }
    if (sides & bfRight) {
        m_painter->setPen(dark);
        m_painter->drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
    }
    if (sides & bfBottom) {
        m_painter->setPen(dark);
        m_painter->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
    }
    m_painter->restore();
}

void TCanvas::DrawPixmap(int x, int y, const QPixmap &pixmap)
{
    if (m_painter)
        m_painter->drawPixmap(x, y, pixmap);
}

// --- TImageList ----------------------------------------------------------

int TImageList::AddMasked(const QImage &image, const QColor &transparent)
{
    QImage img = image.convertToFormat(QImage::Format_ARGB32);
    if (img.size() != QSize(m_width, m_height))
        img = img.copy(0, 0, m_width, m_height);
    const QRgb key = transparent.rgb() & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == key)
                img.setPixel(x, y, 0);
    m_images.append(QPixmap::fromImage(img));
    return m_images.size() - 1;
}

void TImageList::Draw(TCanvas &canvas, int x, int y, int index) const
{
    if (index >= 0 && index < m_images.size())
        canvas.DrawPixmap(x, y, m_images.at(index));
}

// --- TCoalescedEvent -----------------------------------------------------

bool TCoalescedEvent::Post(QObject *target)
{
    if (m_queued)
        return false;
    m_queued = true;
    QCoreApplication::postEvent(target, new QEvent(m_type));
    return true;
}

void TCoalescedEvent::Discard(QObject *target)
{
    if (!m_queued)
        return;
    QCoreApplication::removePostedEvents(target, m_type);
    m_queued = false;
}
