#include "windows/price/cardtelephony.h"

namespace {
TCardTelephony *g_telephony = nullptr;
}

void SetCardTelephony(TCardTelephony *telephony)
{
    g_telephony = telephony;
}

TCardTelephony *CardTelephony()
{
    return g_telephony;
}
