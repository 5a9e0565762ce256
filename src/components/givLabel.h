#pragma once
// A light label that draws a few lines written in a small subset of HTML:
// bold, italic and underlined runs, font face, size and colour, line and
// paragraph breaks, line alignment and named anchors that report clicks.
// Words wrap at blanks, every run of a line sits on one baseline, and the
// label can size itself to its text. Layout is redone on every paint.

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QFontMetrics;
class QPainter;

// Placement of a control inside its parent; here it only decides which
// auto-size directions apply (the parent's layout does the placing).
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TFontStyle : int { fsBold = 1, fsItalic = 2, fsUnderline = 4 };
using TFontStyles = int;

struct TObjRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// One run of text in one style; the style stack keeps these as saved states.
class TgivHTMLElement
{
public:
    int FontSize = 8;
    QString Text;
    QString Face; // empty: keep the face the drawing surface already has
    TFontStyles Style = 0;
    QColor Color = QColor(0, 0, 0);
    int Ascent = 0;
    int Height = 0;
    QString LineText; // the part placed on the line being laid out
    QString RestText; // the part still to be placed on following lines
    bool BreakBefore = false;
    bool BreakDone = false;
    QString AnchorName;
    QString Align = QStringLiteral("left");
    QList<TObjRect> HitRects;

    // Puts as much of the run as fits into room on the current line; see the
    // wrapping rules in the implementation.
    void FitToWidth(int room, int fullLineWidth, const QFontMetrics &metrics);
};

// Owning list of elements used both as the run list and as the style stack.
class TgivHTMLElementStack
{
public:
    void Push(std::unique_ptr<TgivHTMLElement> element);
    // The last entry, or null when empty.
    std::unique_ptr<TgivHTMLElement> Pop();
    void ClearAndFree();
    int Count() const { return int(m_items.size()); }
    TgivHTMLElement &operator[](int index) { return *m_items[size_t(index)]; }
    const TgivHTMLElement &operator[](int index) const { return *m_items[size_t(index)]; }

private:
    std::vector<std::unique_ptr<TgivHTMLElement>> m_items;
};

// "#RRGGBB" or a colour name ("red", "Navy", "BtnFace", ...); false when the
// value cannot be read.
bool ParseHtmlColor(const QString &value, QColor &colour);

class TgivHTMLabel : public QWidget
{
    Q_OBJECT

public:
    using TOnAnchor = std::function<void(TgivHTMLabel *Sender, const QString &Anchor)>;

    explicit TgivHTMLabel(QWidget *parent = nullptr);
    ~TgivHTMLabel() override;

    TAlign Align() const { return m_align; }
    void SetAlign(TAlign value);
    // The parent's background colour while ParentColor is on.
    QColor Color() const;
    void SetColor(const QColor &value);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool value);
    bool VAutoSize() const { return m_vAutoSize; }
    void SetVAutoSize(bool value);
    bool HAutoSize() const { return m_hAutoSize; }
    void SetHAutoSize(bool value);
    int MarginLeft() const { return m_marginLeft; }
    void SetMarginLeft(int value);
    int MarginRight() const { return m_marginRight; }
    void SetMarginRight(int value);
    int MarginTop() const { return m_marginTop; }
    void SetMarginTop(int value);
    const TOnAnchor &OnAnchor() const { return m_onAnchor; }
    void SetOnAnchor(TOnAnchor handler);

    const QStringList &Lines() const { return m_lines; }
    void SetLines(const QStringList &lines);
    // Replaces the lines by text split at its line breaks.
    void SetText(const QString &text);

    // The parsed runs, in text order.
    const TgivHTMLElementStack &Elements() const { return m_elements; }

    void ParseHtml(const QString &html);
    void AnchorMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void AnchorMouseMove(Qt::KeyboardModifiers shift, int x, int y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void LinesChanged();
    void AddText(const QString &text);
    void ParseTag(const QString &tag);
    void ParseAttributes(QString attributes);
    void PushStyle();
    void PopStyle();
    void MeasureElements();
    // Lays the runs out and, with a painter, draws them; without one it only
    // applies the auto-size so geometry is right before the first paint.
    void LayoutAndDraw(QPainter *painter);
    void DrawPiece(QPainter &painter, TgivHTMLElement &element, int &x, int top);
    QFont FontOf(const TgivHTMLElement &element);
    void Changed();
    const TgivHTMLElement *HitAt(int x, int y) const;

    QStringList m_lines;
    TgivHTMLElementStack m_elements;
    TgivHTMLElementStack m_styles;
    TgivHTMLElement m_state; // the parser's current style
    bool m_breakPending = false;
    QString m_surfaceFace; // face of the drawing surface, kept between runs
    TAlign m_align = alNone;
    QColor m_color;
    bool m_parentColor = true;
    bool m_vAutoSize = false;
    bool m_hAutoSize = false;
    int m_marginLeft = 1;
    int m_marginRight = 1;
    int m_marginTop = 1;
    TOnAnchor m_onAnchor;
};
