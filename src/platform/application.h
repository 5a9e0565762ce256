#pragma once
// The application object: its title (the caption of the program's message
// boxes), the default error handler that shows an error nothing caught and
// lets the program run on, and the orderly halt of a failed start.

#include <QApplication>
#include <QString>

#include <concepts>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

class QTranslator;

// Thrown to end the program at once (a start-up failure that was already
// reported). Deliberately not an Exception: no handler on the way shows it.
class EApplicationHalt
{
public:
    explicit EApplicationHalt(int exitCode) : m_exitCode(exitCode) {}
    int ExitCode() const { return m_exitCode; }

private:
    int m_exitCode;
};

class TApplication : public QApplication
{
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    // Waits for a stopped print layout at most TMetaFilePrinter's bound; one
    // that still runs then ends the process at once, with exec's code.
    ~TApplication() override;

    // As QApplication::exec, remembering the code the program ends with.
    static int exec();

    // No exception leaves an event handler into Qt's event loop.
    bool notify(QObject *receiver, QEvent *event) override;
    // Runs one delivery the way notify does: an error is shown by the
    // default handler and counts as not handled; a halt ends the event loop.
    static bool DeliverSafely(const std::function<bool()> &deliver);

    static QString Title();
    static void SetTitle(const QString &title);

    // Qt's own texts (the buttons and labels of its print and file dialogs,
    // its file errors) in Russian, from qtbase_ru.qm in folder (empty: Qt's
    // translations folder). Returns the installed translator, owned by the
    // application; null, and Qt's English, when there is no such regular
    // file of a sane size or it does not load.
    static QTranslator *InstallToolkitTranslations(const QString &folder = QString());

    // Shows the error that is being handled (call inside a catch block):
    // the text of an Exception, what() of any other std::exception. A halt
    // is passed on.
    static void HandleException();
    // Handles an error raised by a slot (call inside a catch block): shown
    // as HandleException shows it. A halt ends the event loop as notify
    // does; before the loop runs it is passed on to the entry routine.
    static void HandleSlotException();
    // The text the default handler shows for an error.
    static QString ExceptionText(const std::exception_ptr &error);

    // How the text is shown; the windows layer installs its message box.
    // Without one the text goes to the debug log.
    using ExceptionHandler = std::function<void(const QString &text)>;
    static void SetExceptionHandler(ExceptionHandler handler);

    // Ends the program at once: raises EApplicationHalt, which the entry
    // routine (or the event loop) turns into the end of the process.
    [[noreturn]] static void Halt(int exitCode);

    // The idle event: the handler runs each time the event loop (a modal one
    // included) has handled what was waiting and is about to wait; it runs as
    // a queued call, not inside the dispatcher, and its errors are handled as
    // a slot's are. One handler; an empty one unhooks.
    static void SetIdleHandler(std::function<void()> handler);
    // Test seam: tests that are not about idle work hold the idle event back.
    // Production never calls it.
    static void SetIdleEventsEnabled(bool enabled);
};

// A slot whose errors are handled where they are raised. Qt is built without
// exceptions: one unwinding through its signal delivery skips the clean-up
// of Qt's own frames and leaves its signal state damaged.
template <typename F> class TGuardedSlot
{
public:
    explicit TGuardedSlot(F slot) : m_slot(std::move(slot)) {}

    // Constrained, so that connect still sees how many signal arguments the
    // slot takes.
    template <typename... Args>
    requires std::invocable<const F &, Args...>
    void operator()(Args &&...args) const
    {
        try {
            std::invoke(m_slot, std::forward<Args>(args)...);
        } catch (...) {
            TApplication::HandleSlotException();
        }
    }

private:
    F m_slot;
};

template <typename F> TGuardedSlot<std::decay_t<F>> GuardedSlot(F &&slot)
{
    return TGuardedSlot<std::decay_t<F>>(std::forward<F>(slot));
}

// Runs the body of an event handler (or event filter) of ours. Its errors are
// handled here as a slot's are: unwinding into QWidget::event and
// QApplication::notify would skip the clean-up of Qt's own frames.
template <typename F> void GuardedEvent(F &&body)
{
    try {
        std::invoke(std::forward<F>(body));
    } catch (...) {
        TApplication::HandleSlotException();
    }
}

// A member function of the receiver as a guarded slot.
template <typename T, typename C, typename R, typename... A>
requires std::derived_from<T, C>
auto GuardedSlot(T *receiver, R (C::*method)(A...))
{
    return GuardedSlot([receiver, method](A... args) { (receiver->*method)(std::forward<A>(args)...); });
}
