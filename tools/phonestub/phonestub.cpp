// A stand-in for the telephony program, for tests and for a person trying
// the catalogue's call transfer: it announces its window, answers the
// catalogue's question whether a call can be transferred, sends notices and
// logs every block it receives. Commands come one a line on standard input;
// events are written one a line to standard output.
//
//   trevin_phonestub [--answer TEXT|--no-answer] [--hang] [--no-announce]
//
// Commands: announce | announce-as HANDLE | answer TEXT | no-answer | hang |
//           notice TEXT | copy TEXT | to HANDLE | quit
// Events:   ready HANDLE | announced HANDLE | reply HANDLE | query HANDLE |
//           block CBDATA DWDATA FROM HEX | transfer NUMBER | sent RESULT

#include "data/codec.h"
#include "platform/winmessages.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QThread>

#include <unistd.h>

#include <iostream>

namespace {

quint32 g_sendMessage = 0;
quint32 g_queryMessage = 0;
TMessageWindow *g_window = nullptr;
TWindowHandle g_catalogue = -1;
bool g_answer = true;
QString g_answerText = QStringLiteral("1");
bool g_hang = false;
bool g_skipOwn = false; // our own broadcast comes back to us first

void Say(const QString &line)
{
    std::cout << line.toStdString() << std::endl;
}

qint64 SendText(const QString &text)
{
    QByteArray bytes = ToCp1251(text);
    bytes.append('\0');
    TCopyDataStruct data{0, quint32(bytes.size()), bytes.constData()};
    return SendMessageA(g_catalogue, WM_COPYDATA, g_window->Handle(), qint64(reinterpret_cast<quintptr>(&data)));
}

void WindowProc(TWindowMessage &m)
{
    if (m.Msg == g_sendMessage) {
        if (g_skipOwn) {
            g_skipOwn = false;
            return;
        }
        if (m.LParam != g_window->Handle()) {
            g_catalogue = m.LParam;
            Say(QStringLiteral("reply ") + QString::number(m.LParam));
        }
    } else if (m.Msg == g_queryMessage) {
        g_catalogue = m.LParam;
        Say(QStringLiteral("query ") + QString::number(m.LParam));
        if (g_hang) {
            // A program that stopped responding: the question never returns.
            QThread::sleep(60);
            return;
        }
        if (g_answer)
            SendText(QStringLiteral("message_2#") + g_answerText);
    } else if (m.Msg == WM_COPYDATA) {
        const auto *data = reinterpret_cast<const TCopyDataStruct *>(quintptr(m.LParam));
        const QByteArray block(static_cast<const char *>(data->lpData), data->cbData);
        Say(QStringLiteral("block ") + QString::number(data->cbData) + u' ' + QString::number(data->dwData) + u' ' +
            QString::number(m.WParam) + u' ' + QString::fromLatin1(block.toHex()));
        const QString text = FromCp1251(block.left(block.indexOf('\0') < 0 ? block.size() : block.indexOf('\0')));
        if (text.startsWith(QLatin1String("message_3#")))
            Say(QStringLiteral("transfer ") + text.mid(10));
    }
}

void Announce(TWindowHandle as)
{
    g_skipOwn = true;
    SendMessageA(HWND_BROADCAST, g_sendMessage, 0, as);
    Say(QStringLiteral("announced ") + QString::number(as));
}

void Command(const QString &line)
{
    const QString verb = line.section(u' ', 0, 0);
    const QString rest = line.section(u' ', 1);
    if (verb == QLatin1String("announce"))
        Announce(g_window->Handle());
    else if (verb == QLatin1String("announce-as"))
        Announce(rest.toLongLong());
    else if (verb == QLatin1String("answer")) {
        g_answer = true;
        g_answerText = rest;
    } else if (verb == QLatin1String("no-answer"))
        g_answer = false;
    else if (verb == QLatin1String("hang"))
        g_hang = true;
    else if (verb == QLatin1String("notice"))
        Say(QStringLiteral("sent ") + QString::number(SendText(QStringLiteral("message_1#") + rest)));
    else if (verb == QLatin1String("copy"))
        Say(QStringLiteral("sent ") + QString::number(SendText(rest)));
    else if (verb == QLatin1String("to"))
        g_catalogue = rest.toLongLong();
    else if (verb == QLatin1String("quit"))
        QCoreApplication::quit();
    else if (!verb.isEmpty())
        Say(QStringLiteral("unknown ") + verb);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool announce = true;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--answer") && i + 1 < args.size())
            g_answerText = args[++i];
        else if (args[i] == QLatin1String("--no-answer"))
            g_answer = false;
        else if (args[i] == QLatin1String("--hang"))
            g_hang = true;
        else if (args[i] == QLatin1String("--no-announce"))
            announce = false;
        else {
            std::cerr << "usage: trevin_phonestub [--answer TEXT|--no-answer] [--hang] [--no-announce]\n";
            return 2;
        }
    }
    g_sendMessage = RegisterWindowMessageA(QStringLiteral("WM_Phone_SendPhoneMessage"));
    g_queryMessage = RegisterWindowMessageA(QStringLiteral("WM_Phone_QueryCanTransfer"));
    TMessageWindow window(WindowProc);
    g_window = &window;
    if (!window.OnBus()) {
        std::cerr << "trevin_phonestub: no session bus\n";
        return 1;
    }
    Say(QStringLiteral("ready ") + QString::number(window.Handle()));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input, &pending] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            Command(QString::fromUtf8(line).trimmed());
        }
    });
    if (announce)
        Announce(window.Handle());
    return app.exec();
}
