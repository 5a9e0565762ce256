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
#include <QToolBar>
#include <QUrl>

#include <cstring>

quint32 PhoneSendMessageId = 0;
quint32 PhoneQueryMessageId = 0;

namespace {

constexpr int kTransferBlockSize = 1024;
constexpr int kTagLength = 10;

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
        Label24->setText(text.mid(kTagLength));
    else if (tag == QLatin1String("message_2#"))
        CanTransfer = text.size() > kTagLength && text[kTagLength] == u'1';
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
