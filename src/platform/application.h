#pragma once
// The application object: its title (the caption of the program's message
// boxes), the default error handler that shows an error nothing caught and
// lets the program run on, and the orderly halt of a failed start.

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

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

    // No exception leaves an event handler into Qt's event loop.
    bool notify(QObject *receiver, QEvent *event) override;
    // Runs one delivery the way notify does: an error is shown by the
    // default handler and counts as not handled; a halt ends the event loop.
    static bool DeliverSafely(const std::function<bool()> &deliver);

    static QString Title();
    static void SetTitle(const QString &title);

    // Shows the error that is being handled (call inside a catch block):
    // the text of an Exception, what() of any other std::exception. A halt
    // is passed on.
    static void HandleException();
    // The text the default handler shows for an error.
    static QString ExceptionText(const std::exception_ptr &error);

    // How the text is shown; the windows layer installs its message box.
    // Without one the text goes to the debug log.
    using ExceptionHandler = std::function<void(const QString &text)>;
    static void SetExceptionHandler(ExceptionHandler handler);

    // Ends the program at once: raises EApplicationHalt, which the entry
    // routine (or the event loop) turns into the end of the process.
    [[noreturn]] static void Halt(int exitCode);
};
