#pragma once
// Window messages between the programs of one desktop, carried over the
// session bus. A top-level window that takes messages owns a
// TMessageWindow: its handle (a positive number, unique on the bus, passed
// in WParam and LParam as other programs expect) and its window procedure.
// Registered messages travel by name, WM_COPYDATA with its block of bytes.
// Without a session bus a window still has a handle but reaches, and is
// reached by, its own program only.

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

using TWindowHandle = qint64;

// Every top-level window.
constexpr TWindowHandle HWND_BROADCAST = 0xFFFF;
constexpr quint32 WM_COPYDATA = 0x004A;

// How long a synchronous send waits for its receivers, in milliseconds: a
// program that hangs or has gone counts as one that did not answer.
constexpr int kSendMessageTimeout = 2000;

// The block of a WM_COPYDATA message; the receiver finds it through LParam,
// valid while its window procedure runs. cbData there never exceeds the
// bytes that arrived.
struct TCopyDataStruct {
    quint64 dwData = 0;
    quint32 cbData = 0;
    const void *lpData = nullptr;
};

struct TWindowMessage {
    quint32 Msg = 0;
    qint64 WParam = 0;
    qint64 LParam = 0;
    qint64 Result = 0;
};

class TMessageWindow
{
public:
    using TWindowProc = std::function<void(TWindowMessage &)>;
    // The procedure runs on the thread of the application object, also
    // while this program waits in a synchronous send of its own.
    explicit TMessageWindow(TWindowProc proc);
    ~TMessageWindow();
    TMessageWindow(const TMessageWindow &) = delete;
    TMessageWindow &operator=(const TMessageWindow &) = delete;

    TWindowHandle Handle() const { return m_handle; }
    // True when other programs can reach this window; one made while the
    // run still looks at a bus new to it gets there once the bus answers.
    bool OnBus() const;

    // Runs the window procedure; its errors go to the default handler.
    void Dispatch(TWindowMessage &message);

private:
    TWindowProc m_proc;
    TWindowHandle m_handle = 0;
};

// The id of a message name shared by every program (0xC000 and up); 0 for a
// name that cannot travel (empty, or other than letters, digits and "_").
quint32 RegisterWindowMessageA(const QString &name);

// Sends and returns when the receiver has handled the message (with
// HWND_BROADCAST: every window on the bus and of this program), or after
// kSendMessageTimeout. While it waits, messages sent to this program's
// windows are handled; user input waits. The receiver's result, 0 when
// there was none. For WM_COPYDATA LParam points to a TCopyDataStruct.
qint64 SendMessageA(TWindowHandle wnd, quint32 msg, qint64 wParam, qint64 lParam);
// Sends without waiting; false when the message could not be sent.
// WM_COPYDATA cannot be sent this way.
bool SendNotifyMessageA(TWindowHandle wnd, quint32 msg, qint64 wParam, qint64 lParam);
