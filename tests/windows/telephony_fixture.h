#pragma once
// The sample window with [transfer_city] 343 on the private session bus,
// and the stand-in telephony program beside it.

#include "windows/main_catalogue.h"

#include "phonestub.h"

#include <QListWidget>

namespace {

using testbus::TPhoneStub;

class TTelephonyWindow : public TSampleWindow
{
protected:
    void SetUp() override
    {
        TSampleWindow::SetUp();
        QString why;
        if (testbus::TPrivateBus::Address(&why).isEmpty())
            FAIL() << why.toStdString();
        testbus::TPrivateBus::Use();
    }
    void TearDown() override
    {
        stub.reset();
        w.reset();
        TSampleWindow::TearDown();
    }

    void StartLocal(const QString &cities = QStringLiteral("count=1\ncity_1=343\n"))
    {
        UseLocalSample(QStringLiteral("[transfer_city]\n") + cities);
        w = Start();
        ASSERT_TRUE(Peer(*w).OnBus());
    }
    // The stand-in, announced and known to the window.
    void StartStub(const QStringList &args = {})
    {
        stub = std::make_unique<TPhoneStub>(args);
        ASSERT_TRUE(stub->Started());
        ASSERT_TRUE(stub->WaitForCount(QStringLiteral("reply "), 1)) << "the window answers the announcement";
        ASSERT_EQ(Peer(*w).PhoneWnd(), stub->Handle());
    }

    std::unique_ptr<TfrmMain> w;
    std::unique_ptr<TPhoneStub> stub;
};

} // namespace
