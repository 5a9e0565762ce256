#include "components/SDialogs.h"

#include "components/replfont.h"
#include "platform/application.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <cmath>
#include <memory>

namespace {

constexpr int kButtonKinds = 11;

struct ButtonKind {
    const char16_t *name;
    const char16_t *caption;
    int result;
};

// In the left-to-right order of the box; index = bit of TMsgDlgBtn.
constexpr ButtonKind kButtons[kButtonKinds] = {
    {u"Yes", u"&Да", mrYes},
    {u"No", u"&Нет", mrNo},
    {u"OK", u"OK", mrOk},
    {u"Cancel", u"Отмена", mrCancel},
    {u"Abort", u"Прервать", mrAbort},
    {u"Retry", u"Повтор", mrRetry},
    {u"Ignore", u"Игнорировать", mrIgnore},
    {u"All", u"&Все", mrAll},
    {u"NoToAll", u"Очистить", mrNoToAll},
    {u"YesToAll", u"Дополнить", mrYesToAll},
    {u"Help", u"&Помощь", mrNone},
};

constexpr int kHelpIndex = 10;

// Measured once per run and reused, whatever box shows the button later.
int g_buttonWidths[kButtonKinds] = {};

TMessageBoxHook &Hook()
{
    static TMessageBoxHook hook;
    return hook;
}

QString Text(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// Rounded value * numerator / denominator, as the dialog-unit conversion
// expects (values here are never negative).
int MulDiv(int value, int numerator, int denominator)
{
    return int((qint64(value) * numerator + denominator / 2) / denominator);
}

QString KindTitle(TMsgDlgType kind)
{
    switch (kind) {
    case mtWarning: return QStringLiteral("Внимание");
    case mtError: return QStringLiteral("Ошибка");
    case mtInformation: return QStringLiteral("Информация");
    case mtConfirmation: return QStringLiteral("Подтверждение");
    case mtCustom: break;
    }
    const QString title = TApplication::Title();
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

bool KindIcon(TMsgDlgType kind, QStyle::StandardPixmap *pixmap)
{
    switch (kind) {
    case mtWarning: *pixmap = QStyle::SP_MessageBoxWarning; return true;
    case mtError: *pixmap = QStyle::SP_MessageBoxCritical; return true;
    case mtInformation: *pixmap = QStyle::SP_MessageBoxInformation; return true;
    case mtConfirmation: *pixmap = QStyle::SP_MessageBoxQuestion; return true;
    case mtCustom: break;
    }
    return false;
}

// How the message label lays its text out (a word-wrapping label expands
// tabs): measuring goes through the same routine the label draws with.
constexpr int kMessageFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;

// Size of the text broken into lines no wider than maxWidth. A line that
// fits is measured whole, blanks at its ends included, so padded messages
// widen the box; its width is rounded up, never down, so that the label
// breaks no line the measure kept whole. The height is the label's own
// layout at that width.
QSize MeasureText(const QFont &font, const QString &text, int maxWidth)
{
    const QFontMetrics fm(font);
    const QFontMetricsF exact(font);
    int width = 0;
    for (const QString &para : text.split(u'\n')) {
        const qreal natural =
            para.contains(u'\t')
                ? exact.boundingRect(QRectF(0, 0, 1 << 20, 0), Qt::TextExpandTabs | Qt::TextSingleLine, para).width()
                : exact.horizontalAdvance(para);
        int paraWidth = int(std::ceil(natural));
        if (paraWidth > maxWidth)
            paraWidth = fm.boundingRect(QRect(0, 0, maxWidth, 0), kMessageFlags, para).width();
        width = qMax(width, paraWidth);
    }
    const int height = fm.boundingRect(QRect(0, 0, width, 0), kMessageFlags, text).height();
    return QSize(width, height);
}

// One line break per CR LF, LF CR, lone LF or lone CR: callers write their
// breaks either way round.
QString WithLineFeeds(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\n' && c != u'\r') {
            out += c;
            continue;
        }
        out += u'\n';
        const QChar other = c == u'\n' ? u'\r' : u'\n';
        if (i + 1 < text.size() && text[i + 1] == other)
            ++i;
    }
    return out;
}

QScreen *ScreenOf(QWidget *w)
{
    return w->screen() ? w->screen() : QGuiApplication::primaryScreen();
}

QSize ScreenSize(QWidget *w)
{
    QScreen *s = ScreenOf(w);
    return s ? s->geometry().size() : QSize(1024, 768);
}

QRect AvailableArea(QWidget *w)
{
    QScreen *s = ScreenOf(w);
    return s ? s->availableGeometry() : QRect(QPoint(0, 0), ScreenSize(w));
}

} // namespace

// A fixed-size dialog: title and close button, nothing to minimise or
// maximise (without the customize hint the window system adds its defaults).
TMessageForm::TMessageForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    // The system's message font; without one the default font stays.
    setFont(QApplication::font("QMessageBox"));
}

void TMessageForm::HelpPressed()
{
    emit helpRequested(HelpContext, HelpFile);
}

void TMessageForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Esc presses the cancel button; without one it does nothing.
        if (m_cancelResult != mrNone)
            done(m_cancelResult);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TMessageForm::reject()
{
    done(mrCancel);
}

int MessageButtonWidth(int kindIndex)
{
    return kindIndex >= 0 && kindIndex < kButtonKinds ? g_buttonWidths[kindIndex] : 0;
}

TMessageForm *CreateMessageForm(const QString &messageText, TMsgDlgType kind, TMsgDlgButtons buttons)
{
    const QString text = WithLineFeeds(messageText);
    auto *form = new TMessageForm();
    form->setLayoutDirection(QGuiApplication::layoutDirection());
    const QFontMetrics fm(form->font());

    // Dialog units of the box's font.
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int hUnit = fm.horizontalAdvance(alphabet) / 52;
    const int vUnit = fm.height();
    const int hMargin = MulDiv(8, hUnit, 4);
    const int vMargin = MulDiv(8, vUnit, 8);
    const int hSpacing = MulDiv(10, hUnit, 4);
    const int vSpacing = MulDiv(10, vUnit, 8);
    const int buttonHeight = MulDiv(14, vUnit, 8);
    const int buttonGap = MulDiv(4, hUnit, 4);

    int buttonWidth = MulDiv(50, hUnit, 4);
    int buttonCount = 0;
    for (int i = 0; i < kButtonKinds; ++i) {
        if (!(buttons & (1u << i)))
            continue;
        ++buttonCount;
        if (g_buttonWidths[i] == 0)
            g_buttonWidths[i] =
                fm.size(Qt::TextSingleLine | Qt::TextShowMnemonic, Text(kButtons[i].caption)).width() + 8;
        buttonWidth = qMax(buttonWidth, g_buttonWidths[i]);
    }

    const QSize screen = ScreenSize(form);
    const QSize textSize = MeasureText(form->font(), text, screen.width() / 2);
    QStyle::StandardPixmap iconId = QStyle::SP_MessageBoxInformation;
    const bool hasIcon = KindIcon(kind, &iconId);
    const int groupWidth = buttonCount > 0 ? buttonCount * buttonWidth + (buttonCount - 1) * buttonGap : 0;

    // A text taller or wider than the screen's free area scrolls in its own
    // area, so the box and its buttons stay on the screen.
    const QRect area = AvailableArea(form);
    const int frame = qMax(form->style()->pixelMetric(QStyle::PM_TitleBarHeight), 2 * vUnit) + 8;
    const int iconWidth = hasIcon ? 32 + hSpacing : 0;
    const int roomWidth = qMax(area.width() - 8 - 2 * hMargin - iconWidth, 4 * vUnit);
    const int roomHeight = qMax(area.height() - frame - buttonHeight - vSpacing - 2 * vMargin, 2 * vUnit);
    QSize shown = textSize;
    QScrollArea *scroller = nullptr;
    if (textSize.width() > roomWidth || textSize.height() > roomHeight) {
        scroller = new QScrollArea(form);
        scroller->setObjectName(QStringLiteral("MessageArea"));
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setBackgroundRole(QPalette::Window);
        const int vBar = scroller->verticalScrollBar()->sizeHint().width();
        const int hBar = scroller->horizontalScrollBar()->sizeHint().height();
        const bool across = textSize.width() > roomWidth;
        const bool down = textSize.height() > roomHeight - (across ? hBar : 0);
        scroller->setHorizontalScrollBarPolicy(across ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        scroller->setVerticalScrollBarPolicy(down ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        shown.setWidth(qMin(textSize.width(), roomWidth - (down ? vBar : 0)) + (down ? vBar : 0));
        shown.setHeight(qMin(textSize.height(), roomHeight - (across ? hBar : 0)) + (across ? hBar : 0));
    }
    const bool scrolls = scroller != nullptr;

    int iconTextWidth = shown.width() + iconWidth;
    int iconTextHeight = shown.height();
    if (hasIcon)
        iconTextHeight = qMax(iconTextHeight, 32);
    const int clientWidth = qMax(iconTextWidth, groupWidth) + 2 * hMargin;
    const int clientHeight = iconTextHeight + buttonHeight + vSpacing + 2 * vMargin;
    form->setFixedSize(clientWidth, clientHeight);
    int formLeft = screen.width() / 2 - clientWidth / 2;
    int formTop = screen.height() / 2 - clientHeight / 2;
    if (scrolls) {
        formLeft = qBound(area.left(), formLeft, qMax(area.left(), area.right() + 1 - clientWidth));
        formTop = qBound(area.top(), formTop, qMax(area.top(), area.bottom() + 1 - clientHeight - frame));
    }
    form->move(formLeft, formTop);
    form->setWindowTitle(KindTitle(kind));

    if (hasIcon) {
        auto *image = new QLabel(form);
        image->setObjectName(QStringLiteral("Image"));
        image->setPixmap(form->style()->standardIcon(iconId).pixmap(32, 32));
        image->setGeometry(hMargin, vMargin, 32, 32);
    }

    int messageLeft = iconTextWidth - shown.width() + hMargin;
    if (form->layoutDirection() == Qt::RightToLeft)
        messageLeft = clientWidth - messageLeft - shown.width();
    const QRect messageRect(messageLeft, vMargin, shown.width(), shown.height());
    if (scroller)
        scroller->setGeometry(messageRect);
    auto *message = new QLabel(scroller ? nullptr : form);
    message->setObjectName(QStringLiteral("Message"));
    message->setTextFormat(Qt::PlainText);
    message->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    message->setWordWrap(true);
    message->setText(text);
    if (scroller) {
        message->resize(textSize);
        scroller->setWidget(message);
    } else {
        message->setGeometry(messageRect);
    }

    const auto has = [buttons](TMsgDlgBtn b) { return (buttons & b) != 0; };
    const TMsgDlgBtn defaultKind = has(mbOK) ? mbOK : has(mbYes) ? mbYes : mbRetry;
    const TMsgDlgBtn cancelKind = has(mbCancel) ? mbCancel : has(mbNo) ? mbNo : mbOK;
    QPushButton *defaultButton = nullptr;
    QPushButton *firstButton = nullptr;
    int left = (clientWidth - groupWidth) / 2;
    const int top = iconTextHeight + vMargin + vSpacing;
    for (int i = 0; i < kButtonKinds; ++i) {
        if (!(buttons & (1u << i)))
            continue;
        auto *button = new QPushButton(Text(kButtons[i].caption), form);
        button->setObjectName(Text(kButtons[i].name));
        button->setGeometry(left, top, buttonWidth, buttonHeight);
        left += buttonWidth + buttonGap;
        const int result = kButtons[i].result;
        if (i == kHelpIndex)
            QObject::connect(button, &QPushButton::clicked, form, &TMessageForm::HelpPressed);
        else
            QObject::connect(button, &QPushButton::clicked, form, [form, result] { form->done(result); });
        if ((1u << i) == defaultKind) {
            button->setDefault(true);
            defaultButton = button;
        }
        if ((1u << i) == cancelKind)
            form->SetCancelResult(result);
        if (!firstButton)
            firstButton = button;
    }
    if (QPushButton *focus = defaultButton ? defaultButton : firstButton)
        focus->setFocus();

    SetFormCharsetRussian(form);
    return form;
}

int MessageDialogPosHelp(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext, int x, int y,
                         const QString &helpFile)
{
    std::unique_ptr<TMessageForm> form(CreateMessageForm(text, kind, buttons));
    form->HelpContext = helpContext;
    form->HelpFile = helpFile;
    if (x >= 0)
        form->move(x, form->y());
    if (y >= 0)
        form->move(form->x(), y);
    if (Hook()) {
        TMessageBoxCall call{text, form->windowTitle(), kind, buttons, form.get()};
        return Hook()(call);
    }
    return form->exec();
}

int MessageDialog(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext)
{
    return MessageDialogPosHelp(text, kind, buttons, helpContext, -1, -1, QString());
}

int MessageDialogPos(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext, int x, int y)
{
    return MessageDialogPosHelp(text, kind, buttons, helpContext, x, y, QString());
}

void ShowMessagePos(const QString &text, int x, int y)
{
    MessageDialogPos(text, mtCustom, mbOK, 0, x, y);
}

void ShowMessageText(const QString &text)
{
    ShowMessagePos(text, -1, -1);
}

void SetMessageBoxHook(TMessageBoxHook hook)
{
    Hook() = std::move(hook);
}
