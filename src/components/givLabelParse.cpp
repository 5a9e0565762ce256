// The HTML label's parser: runs, tags, attributes, colours and the element
// list, plus the wrapping of one run into the room left on a line.
#include "components/givLabel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>

namespace {

// Trim as the label's texts expect it: blanks and control characters.
QString TrimBlanks(const QString &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text[from] <= u' ')
        ++from;
    while (to > from && text[to - 1] <= u' ')
        --to;
    return text.mid(from, to - from);
}

struct TNamedColor {
    const char16_t *name;
    QRgb rgb;
};

// The standard colour names, red-green-blue.
constexpr TNamedColor kStandardColors[] = {
    {u"clBlack", 0x000000},      {u"clMaroon", 0x800000},  {u"clGreen", 0x008000}, {u"clOlive", 0x808000},
    {u"clNavy", 0x000080},       {u"clPurple", 0x800080},  {u"clTeal", 0x008080},  {u"clGray", 0x808080},
    {u"clSilver", 0xC0C0C0},     {u"clRed", 0xFF0000},     {u"clLime", 0x00FF00},  {u"clYellow", 0xFFFF00},
    {u"clBlue", 0x0000FF},       {u"clFuchsia", 0xFF00FF}, {u"clAqua", 0x00FFFF},  {u"clWhite", 0xFFFFFF},
    {u"clMoneyGreen", 0xC0DCC0}, {u"clSkyBlue", 0xA6CAF0}, {u"clCream", 0xFFFBF0}, {u"clMedGray", 0xA0A0A4},
    {u"clLtGray", 0xC0C0C0},     {u"clDkGray", 0x808080},  {u"clNone", 0x000000},  {u"clDefault", 0x000000},
};

struct TSystemColor {
    const char16_t *name;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// System colour names follow the application palette.
constexpr TSystemColor kSystemColors[] = {
    {u"clScrollBar", QPalette::Active, QPalette::Button},
    {u"clBackground", QPalette::Active, QPalette::Window},
    {u"clActiveCaption", QPalette::Active, QPalette::Highlight},
    {u"clInactiveCaption", QPalette::Active, QPalette::Mid},
    {u"clMenu", QPalette::Active, QPalette::Window},
    {u"clWindow", QPalette::Active, QPalette::Base},
    {u"clWindowFrame", QPalette::Active, QPalette::Shadow},
    {u"clMenuText", QPalette::Active, QPalette::WindowText},
    {u"clWindowText", QPalette::Active, QPalette::Text},
    {u"clCaptionText", QPalette::Active, QPalette::HighlightedText},
    {u"clActiveBorder", QPalette::Active, QPalette::Button},
    {u"clInactiveBorder", QPalette::Active, QPalette::Button},
    {u"clAppWorkSpace", QPalette::Active, QPalette::Dark},
    {u"clHighlight", QPalette::Active, QPalette::Highlight},
    {u"clHighlightText", QPalette::Active, QPalette::HighlightedText},
    {u"clBtnFace", QPalette::Active, QPalette::Button},
    {u"clBtnShadow", QPalette::Active, QPalette::Dark},
    {u"clGrayText", QPalette::Disabled, QPalette::Text},
    {u"clBtnText", QPalette::Active, QPalette::ButtonText},
    {u"clInactiveCaptionText", QPalette::Inactive, QPalette::WindowText},
    {u"clBtnHighlight", QPalette::Active, QPalette::Light},
    {u"cl3DDkShadow", QPalette::Active, QPalette::Shadow},
    {u"cl3DLight", QPalette::Active, QPalette::Midlight},
    {u"clInfoText", QPalette::Active, QPalette::ToolTipText},
    {u"clInfoBk", QPalette::Active, QPalette::ToolTipBase},
    {u"clHotLight", QPalette::Active, QPalette::Link},
    {u"clGradientActiveCaption", QPalette::Active, QPalette::Highlight},
    {u"clGradientInactiveCaption", QPalette::Active, QPalette::Mid},
    {u"clMenuHighlight", QPalette::Active, QPalette::Highlight},
    {u"clMenuBar", QPalette::Active, QPalette::Window},
};

// The style a run takes from the parser's state, and a saved state gives back.
void CopyStyle(const TgivHTMLElement &from, TgivHTMLElement &to)
{
    to.Face = from.Face;
    to.FontSize = from.FontSize;
    to.Style = from.Style;
    to.Color = from.Color;
    to.AnchorName = from.AnchorName;
    to.Align = from.Align;
}

} // namespace

bool ParseHtmlColor(const QString &value, QColor &colour)
{
    if (value.startsWith(u'#')) {
        // #RRGGBB read as the number $BBGGRR, as the colour values are kept.
        const QString hex = value.mid(5, 2) + value.mid(3, 2) + value.mid(1, 2);
        bool ok = false;
        const uint bgr = hex.toUInt(&ok, 16);
        if (!ok || hex.isEmpty() || hex.startsWith(u'+'))
            return false;
        colour = QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
        return true;
    }
    const QString name = QStringLiteral("cl") + value;
    for (const TNamedColor &c : kStandardColors) {
        if (name.compare(QStringView(c.name), Qt::CaseInsensitive) == 0) {
            colour = QColor::fromRgb(c.rgb);
            return true;
        }
    }
    for (const TSystemColor &c : kSystemColors) {
        if (name.compare(QStringView(c.name), Qt::CaseInsensitive) == 0) {
            colour = QApplication::palette().color(c.group, c.role);
            return true;
        }
    }
    return false; // "cl" + anything is never a number
}

void TgivHTMLElement::FitToWidth(int room, int fullLineWidth, const QFontMetrics &metrics)
{
    // A run already broken once continues with what is left of it.
    const QString d = LineText.isEmpty() ? Text : RestText;
    if (metrics.horizontalAdvance(d) <= room) {
        LineText = d;
        RestText.clear();
        return;
    }
    bool hasBlank = false;
    for (qsizetype i = d.size() - 1; i >= 0; --i) {
        if (d[i] != u' ')
            continue;
        hasBlank = true;
        LineText = d.left(i + 1); // the blank stays at the end of the line
        RestText = d.mid(i + 1);
        if (metrics.horizontalAdvance(LineText) <= room)
            return;
    }
    // With blanks the first word stays here even if it passes the room; a
    // single word wider than a whole line stays whole and overflows; one that
    // fits a whole line waits for the next line.
    if (!hasBlank && metrics.horizontalAdvance(d) > fullLineWidth) {
        LineText = d;
        RestText.clear();
    }
}

void TgivHTMLElementStack::Push(std::unique_ptr<TgivHTMLElement> element)
{
    m_items.push_back(std::move(element));
}

std::unique_ptr<TgivHTMLElement> TgivHTMLElementStack::Pop()
{
    if (m_items.empty())
        return nullptr;
    std::unique_ptr<TgivHTMLElement> last = std::move(m_items.back());
    m_items.pop_back();
    return last;
}

void TgivHTMLElementStack::ClearAndFree()
{
    m_items.clear();
}

void TgivHTMLabel::ParseHtml(const QString &html)
{
    m_elements.ClearAndFree();
    m_styles.ClearAndFree();
    m_state = TgivHTMLElement();
    m_breakPending = false;
    QString s = html;
    for (;;) {
        const qsizetype p = s.indexOf(u'<');
        if (p < 0) {
            AddText(s); // text that ends with a tag leaves an empty final run
            return;
        }
        if (p > 0) {
            AddText(s.left(p));
            s.remove(0, p);
        }
        const qsizetype q = s.indexOf(u'>');
        if (q < 0)
            return; // an unterminated tag ends the text
        const QString tag = s.mid(1, q - 1);
        s.remove(0, q + 1);
        ParseTag(tag);
    }
}

void TgivHTMLabel::AddText(const QString &text)
{
    auto element = std::make_unique<TgivHTMLElement>();
    element->Text = text;
    CopyStyle(m_state, *element);
    element->BreakBefore = m_breakPending;
    m_breakPending = false;
    m_elements.Push(std::move(element));
}

void TgivHTMLabel::PushStyle()
{
    auto saved = std::make_unique<TgivHTMLElement>();
    CopyStyle(m_state, *saved);
    m_styles.Push(std::move(saved));
}

void TgivHTMLabel::PopStyle()
{
    // Closing tags follow the stack, not their names.
    const std::unique_ptr<TgivHTMLElement> saved = m_styles.Pop();
    if (!saved)
        return;
    CopyStyle(*saved, m_state);
}

void TgivHTMLabel::ParseTag(const QString &tag)
{
    const QString t = TrimBlanks(tag);
    const qsizetype blank = t.indexOf(u' ');
    const QString name = (blank < 0 ? t : t.left(blank)).toLower();
    const QString attributes = blank < 0 ? QString() : TrimBlanks(t.mid(blank + 1));

    if (name == u"br") {
        m_breakPending = true;
    } else if (name == u"b" || name == u"i" || name == u"u") {
        PushStyle();
        m_state.Style |= name == u"b" ? fsBold : name == u"i" ? fsItalic : fsUnderline;
    } else if (name == u"/b" || name == u"/i" || name == u"/u") {
        m_state.Style &= ~(name == u"/b" ? fsBold : name == u"/i" ? fsItalic : fsUnderline);
        PopStyle();
    } else if (name == u"font" || name == u"a") {
        PushStyle();
    } else if (name == u"/font" || name == u"/a") {
        PopStyle();
    } else if (name == u"p") {
        m_breakPending = true;
        PushStyle();
    } else if (name == u"/p") {
        m_breakPending = true;
        PopStyle();
    }
    // Attributes act on every tag that has them, known or not.
    if (!attributes.isEmpty())
        ParseAttributes(attributes);
}

void TgivHTMLabel::ParseAttributes(QString attributes)
{
    for (;;) {
        const qsizetype eq = attributes.indexOf(u"=\"");
        if (eq < 0)
            return;
        const QString name = TrimBlanks(attributes.left(eq)).toLower();
        attributes.remove(0, eq + 2);
        const qsizetype quote = attributes.indexOf(u'"');
        if (quote < 0)
            return;
        const QString value = attributes.left(quote);
        attributes.remove(0, quote + 1);

        if (name == u"face") {
            m_state.Face = value;
        } else if (name == u"size") {
            bool ok = false;
            const int size = value.toInt(&ok, 10);
            // A size the font cannot take keeps the one in force.
            if (ok && size > 0)
                m_state.FontSize = size;
        } else if (name == u"color") {
            QColor colour;
            if (ParseHtmlColor(value, colour))
                m_state.Color = colour;
        } else if (name == u"name") {
            m_state.AnchorName = value;
        } else if (name == u"align") {
            m_state.Align = value;
        }
    }
}
