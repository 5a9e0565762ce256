#pragma once
// What the organisation card needs of the telephony link: before it lists
// telephones it asks whether a call can be transferred now, and it turns a
// telephone into a transfer link only when the answer was yes and the city's
// numbers may be transferred. The main window provides this once the
// telephony link runs; without a provider no question is asked and no
// telephone becomes a link.

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
};

// The provider the card builder uses; null (the default) means none.
void SetCardTelephony(TCardTelephony *telephony);
TCardTelephony *CardTelephony();
