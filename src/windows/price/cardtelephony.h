#pragma once
// What the windows that show an organisation's telephones need of the
// telephony link: before they list telephones they ask whether a call can
// be transferred now, and they turn a telephone into a transfer link only
// when the answer was yes and the city's numbers may be transferred. The
// main window provides this once it has started; without a provider no
// question is asked and no telephone becomes a link.

#include <QString>

class QUrl;

class TCardTelephony
{
public:
    virtual ~TCardTelephony() = default;
    // Clears the last answer, then asks the telephony program (synchronously,
    // so the answer has arrived when this returns) when one is known and the
    // city transfers.
    virtual void QueryCanTransfer(int cid) = 0;
    // The answer to the last question.
    virtual bool CanTransfer() const = 0;
    virtual bool IsTransferCity(int cid) const = 0;
    // Asks the telephony program to transfer the current call to the
    // number; nothing happens unless the last answer was yes.
    virtual void TransferCall(const QString &number) = 0;
    // The handler of a link clicked in an organisation card (transfer,
    // branch, web and mail links).
    virtual void CardLinkClicked(const QUrl &link) = 0;
};

// The provider the card builder uses; null (the default) means none.
void SetCardTelephony(TCardTelephony *telephony);
TCardTelephony *CardTelephony();
