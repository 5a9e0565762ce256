// The link with the telephony program: its announcement, its answers and
// notices, the question asked before telephones are listed, the transfer
// request, and the links of an organisation card.

#include "windows/main/main.h"

#include "ui_main.h"

#include "components/SDialogs.h"
#include "platform/application.h"
#include "data/codec.h"
#include "services/tools_viewer.h"
#include "windows/phones.h"

#include <QLabel>
#include <QSizePolicy>
#include <QTextLayout>
#include <QToolBar>
#include <QUrl>

#include <cstring>

quint32 PhoneSendMessageId = 0;
quint32 PhoneQueryMessageId = 0;

namespace {

constexpr int kTransferBlockSize = 1024;
constexpr int kTagLength = 10;
constexpr int kNoticeLines = 2;

// The lines of text laid out at width in font, as the layout breaks them.
QStringList BreakLines(const QString &text, const QFont &font, int width, QTextOption::WrapMode mode, qreal *widest)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(mode);
    layout.setTextOption(option);
    QStringList lines;
    *widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
        *widest = qMax(*widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return lines;
}

// The notice as it fits the label's lines: unchanged when the label's own
// wrapping shows it whole, else its first lines with the last one elided.
// A label centres text taller than itself, cutting its first and last
// lines in half.
QString FitNotice(const QString &notice, const QFont &font, int width, bool *shortened)
{
    QString text = notice;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    text.replace(u'\n', QChar::LineSeparator);
    qreal widest = 0;
    if (BreakLines(text, font, width, QTextOption::WordWrap, &widest).size() <= kNoticeLines && widest <= width) {
        *shortened = false;
        return notice;
    }
    *shortened = true;
    const QStringList lines = BreakLines(text, font, width, QTextOption::WrapAtWordBoundaryOrAnywhere, &widest);
    QStringList shown;
    for (int i = 0; i < kNoticeLines - 1 && i < lines.size(); ++i)
        shown << lines[i].trimmed().remove(QChar::LineSeparator);
    QString rest = lines.mid(kNoticeLines - 1).join(QString());
    rest.replace(QChar::LineSeparator, u' ');
    shown << QFontMetrics(font).elidedText(rest.trimmed(), Qt::ElideRight, width);
    return shown.join(u'\n');
}

} // namespace

void TfrmMain::SetupTelephony()
{
    // The notice sits at the right end of the bar, after everything else.
    auto *spacer = new QWidget(ui->ToolBar1);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ui->ToolBar1->addWidget(spacer);
    Label24 = new QLabel(ui->ToolBar1);
    Label24->setObjectName(QStringLiteral("Label24"));
    // Another program's text, never markup.
    Label24->setTextFormat(Qt::PlainText);
    Label24->setAlignment(Qt::AlignCenter);
    Label24->setWordWrap(true);
    QFont font = Label24->font();
    font.setBold(true);
    Label24->setFont(font);
    // The tool bar's style would paint it in its own text colour.
    Label24->setStyleSheet(QStringLiteral("QLabel { color: #ff0000; }"));
    Label24->setFixedWidth(260);
    Label24->setFixedHeight(2 * Label24->fontMetrics().lineSpacing() + 2);
    ui->ToolBar1->addWidget(Label24);
}

void TfrmMain::RegisterPhoneMessages()
{
    PhoneSendMessageId = RegisterWindowMessageA(QStringLiteral("WM_Phone_SendPhoneMessage"));
    PhoneQueryMessageId = RegisterWindowMessageA(QStringLiteral("WM_Phone_QueryCanTransfer"));
    m_messageWindow = std::make_unique<TMessageWindow>([this](TWindowMessage &m) { HandleWindowMessage(m); });
    SetCardTelephony(&m_telephony);
}

TWindowHandle TfrmMain::Handle() const
{
    return m_messageWindow ? m_messageWindow->Handle() : 0;
}

void TfrmMain::HandleWindowMessage(TWindowMessage &message)
{
    if (message.Msg == PhoneSendMessageId) {
        // The window answered last is not answered again: another catalogue
        // takes our answer for an announcement and answers it, and two
        // catalogues would answer each other for ever.
        if (message.LParam == Handle() || message.LParam == PhoneWnd)
            return;
        PhoneWnd = message.LParam;
        SendNotifyMessageA(PhoneWnd, PhoneSendMessageId, 0, Handle());
        return;
    }
    if (message.Msg == WM_COPYDATA)
        WMCopyData(message);
}

void TfrmMain::WMCopyData(TWindowMessage &message)
{
    if (message.WParam != PhoneWnd)
        return;
    const auto *data = reinterpret_cast<const TCopyDataStruct *>(quintptr(message.LParam));
    if (!data || !data->lpData)
        return;
    // Up to the first zero byte, and never past the block that came.
    const char *bytes = static_cast<const char *>(data->lpData);
    const auto *end = static_cast<const char *>(std::memchr(bytes, 0, data->cbData));
    const QString text = FromCp1251(bytes, end ? end - bytes : qsizetype(data->cbData));
    const QString tag = text.left(kTagLength);
    if (tag == QLatin1String("message_1#"))
        ShowNotice(text.mid(kTagLength));
    else if (tag == QLatin1String("message_2#"))
        CanTransfer = text.size() > kTagLength && text[kTagLength] == u'1';
}

void TfrmMain::ShowNotice(const QString &notice)
{
    bool shortened = false;
    Label24->setText(FitNotice(notice, Label24->font(), Label24->contentsRect().width(), &shortened));
    Label24->setToolTip(shortened ? notice : QString());
}

bool TfrmMain::IsTransferCity(int cid) const
{
    return TransferCities.contains(QString::number(cid));
}

void TfrmMain::QueryCanTransfer(int cid)
{
    CanTransfer = false;
    if (PhoneWnd > 0 && IsTransferCity(cid) && m_messageWindow)
        SendMessageA(HWND_BROADCAST, PhoneQueryMessageId, 0, Handle());
}

void TfrmMain::SendTransferRequest(const QString &number)
{
    if (!CanTransfer || !m_messageWindow)
        return;
    QByteArray block(kTransferBlockSize, '\0');
    const QByteArray text = ToCp1251(QStringLiteral("message_3#") + number).left(kTransferBlockSize - 1);
    std::memcpy(block.data(), text.constData(), size_t(text.size()));
    TCopyDataStruct data{0, quint32(block.size()), block.constData()};
    SendMessageA(PhoneWnd, WM_COPYDATA, Handle(), qint64(reinterpret_cast<quintptr>(&data)));
}

void TfrmMain::HTMLViewer1HotSpotClick(const QUrl &link)
{
    const QString text = link.toString();
    if (text.startsWith(QLatin1String("transfer_"))) {
        if (CanTransfer)
            SendTransferRequest(text.mid(9));
    } else if (text.startsWith(QLatin1String("filial_"))) {
        OpenBranchLink(text.mid(7));
    } else {
        OpenDocument(text);
    }
}

void TfrmMain::OpenBranchLink(const QString &rest)
{
    // cid_fid_adr: a damaged link opens nothing.
    const QStringList parts = rest.split(u'_');
    bool ok = parts.size() == 3;
    int keys[3] = {0, 0, 0};
    for (int i = 0; ok && i < 3; ++i)
        keys[i] = parts[i].toInt(&ok);
    if (!ok) {
        ShowMessageText(QStringLiteral("  Неверная ссылка на подразделение: filial_") + rest + QStringLiteral("  "));
        return;
    }
    OpenFirmPrice(keys[0], keys[1], keys[2], 0);
}
