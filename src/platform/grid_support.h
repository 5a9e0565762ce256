#pragma once
// Small drawing pieces the grids stand on: a font object that carries its
// colour and character set and announces changes, the palette colours by
// their old names, a canvas over QPainter that knows its font and brush, an
// image list with a transparent colour, and a posted event that is queued at
// most once.

#include <QColor>
#include <QEvent>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QVector>

class QPainter;

// Palette colours of the running desktop.
QColor clWindow();
QColor clWindowText();
QColor clBtnFace();
QColor clHighlight();
QColor clHighlightText();
QColor clGrayText();
QColor clBtnShadow();
QColor clBtnHighlight();
// A colour written as blue-green-red from the high byte down ($808000 teal).
QColor ColorFromBgr(quint32 bgr);

constexpr int DEFAULT_CHARSET = 1;

// A font with colour and character set; every change emits Changed().
class TFont : public QObject
{
    Q_OBJECT
public:
    explicit TFont(QObject *parent = nullptr);

    const QFont &Font() const { return m_font; }
    void SetFont(const QFont &font);
    QColor Color() const { return m_color; }
    void SetColor(const QColor &color);
    int Charset() const { return m_charset; }
    void SetCharset(int charset);
    QString Name() const { return m_font.family(); }
    void SetName(const QString &name);
    int Size() const { return m_font.pointSize(); }
    void SetSize(int points);
    bool Bold() const { return m_font.bold(); }
    void SetBold(bool bold);

    // Takes every value of the source; announces one change when anything differed.
    void Assign(const TFont &source);
    // Same face, size, style and character set (colour not compared).
    bool SameHandle(const TFont &other) const;
    bool operator==(const TFont &other) const;

    // Height and width in this font, as the grid measures its rows and columns.
    int TextHeight(const QString &text) const;
    int TextWidth(const QString &text) const;
    int AverageCharWidth() const;
    // Extra width italic or synthesised bold glyphs take; 0 for the fonts we draw.
    int Overhang() const { return 0; }

signals:
    void Changed();

private:
    void Notify();
    QFont m_font;
    QColor m_color;
    int m_charset = DEFAULT_CHARSET;
};

// Sides and kinds of the 3D edges cells draw.
enum TEdgeKind { edRaisedInner, edSunkenInner };
enum TEdgeSide : unsigned { bfLeft = 1, bfTop = 2, bfRight = 4, bfBottom = 8 };

// Drawing surface handed to cell painters: a painter (none outside painting)
// with the font and brush the next drawing call uses.
class TCanvas
{
public:
    TCanvas();
    TCanvas(const TCanvas &) = delete;
    TCanvas &operator=(const TCanvas &) = delete;

    QPainter *Painter() const { return m_painter; }
    void SetPainter(QPainter *painter) { m_painter = painter; }
    TFont &Font() { return m_font; }
    QColor BrushColor() const { return m_brush; }
    void SetBrushColor(const QColor &color) { m_brush = color; }
    bool RightToLeft() const { return m_rightToLeft; }
    void SetRightToLeft(bool rtl) { m_rightToLeft = rtl; }

    void FillRect(const QRect &rect);
    // Text at (x, y) as its top-left corner, clipped to rect.
    void TextRect(const QRect &rect, int x, int y, const QString &text);
    int TextWidth(const QString &text) const { return m_font.TextWidth(text); }
    int TextHeight(const QString &text) const { return m_font.TextHeight(text); }
    void DrawFocusRect(const QRect &rect);
    void DrawEdge(const QRect &rect, TEdgeKind kind, unsigned sides);
    void DrawPixmap(int x, int y, const QPixmap &pixmap);

private:
    QPainter *m_painter = nullptr;
    TFont m_font;
    QColor m_brush;
    bool m_rightToLeft = false;
};

// Equal-sized pictures, each with one colour made transparent when added.
class TImageList
{
public:
    TImageList(int width, int height) : m_width(width), m_height(height) {}
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return m_images.size(); }
    // Returns the new index.
    int AddMasked(const QImage &image, const QColor &transparent);
    const QPixmap &At(int index) const { return m_images.at(index); }
    void Draw(TCanvas &canvas, int x, int y, int index) const;

private:
    int m_width;
    int m_height;
    QVector<QPixmap> m_images;
};

// A custom event posted to one object at most once until it is delivered or
// dropped; the receiver calls Delivered() when it handles the event.
class TCoalescedEvent
{
public:
    explicit TCoalescedEvent(QEvent::Type type) : m_type(type) {}
    QEvent::Type Type() const { return m_type; }
    bool IsQueued() const { return m_queued; }
    // False when one is already waiting.
    bool Post(QObject *target);
    void Discard(QObject *target);
    void Delivered() { m_queued = false; }

private:
    QEvent::Type m_type;
    bool m_queued = false;
};
