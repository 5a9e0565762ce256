#include "platform/application.h"

#include "platform/metafileprinter.h"

#include "data/dberror.h"
#include "platform/screen.h"

#include "data/regularfile.h"

#include <QAbstractEventDispatcher>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QThread>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace {

QString &TitleText()
{
    static QString title;
    return title;
}

TApplication::ExceptionHandler &Handler()
{
    static TApplication::ExceptionHandler handler;
    return handler;
}

// Guards against an error raised while its predecessor is being shown.
bool g_showing = false;

// What exec returned.
int g_exitCode = 0;

// Turns the dispatcher's "about to wait" into one queued call of the idle
// handler. The wake-up that call itself causes is not an idle moment of its
// own, or the loop would never wait.
class TIdleSource : public QObject
{
public:
    explicit TIdleSource(QObject *parent) : QObject(parent)
    {
        connect(QAbstractEventDispatcher::instance(parent->thread()), &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { AboutToBlock(); });
    }

    std::function<void()> handler;
    bool enabled = true;

private:
    void AboutToBlock()
    {
        if (m_ranLast) {
            m_ranLast = false;
            return;
        }
        if (!handler || !enabled || m_pending)
            return;
        m_pending = true;
        QMetaObject::invokeMethod(
            this, [this] { Run(); }, Qt::QueuedConnection);
    }
    void Run()
    {
        m_pending = false;
        if (!handler || !enabled)
            return;
        const std::function<void()> current = handler; // it may replace itself
        try {
            current();
        } catch (...) {
            TApplication::HandleSlotException();
        }
        m_ranLast = true;
    }

    bool m_pending = false;
    bool m_ranLast = false;
};

// The Russian catalogue of Qt is about 200 KB.
constexpr qint64 kMaxTranslationSize = 4 * 1024 * 1024;

// Holds the catalogue's bytes, which the translator reads in place.
class TToolkitTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;

    // Anything but a regular file of at most kMaxTranslationSize bytes
    // counts as missing.
    bool LoadFile(const QString &path)
    {
        if (!ReadRegularFile(path, &m_data, kMaxTranslationSize) || m_data.isEmpty())
            return false;
        return load(reinterpret_cast<const uchar *>(m_data.constData()), int(m_data.size()), QFileInfo(path).path());
    }

private:
    QByteArray m_data;
};

TIdleSource *IdleSource()
{
    static QPointer<TIdleSource> source;
    if (!source && QCoreApplication::instance())
        source = new TIdleSource(QCoreApplication::instance());
    return source;
}

} // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    Screen::InstallSqlWaitCursor();
    InstallToolkitTranslations();
}

QTranslator *TApplication::InstallToolkitTranslations(const QString &folder)
{
    const QString dir = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto *translator = new TToolkitTranslator(QCoreApplication::instance());
    if (!translator->LoadFile(QDir(dir).filePath(QStringLiteral("qtbase_ru.qm"))) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

TApplication::~TApplication()
{
    // Fonts and the window system go with the application object, and a
    // stopped layout still uses them. The user does not wait for one long:
    // past the bound the process ends here, without the exit handlers and
    // destructors that would pull them from under it (and without a leak
    // check, which would find the layout's memory).
    if (!TMetaFilePrinter::WaitForStoppedLayouts()) {
        std::fflush(nullptr);
        std::quick_exit(g_exitCode);
    }
}

int TApplication::exec()
{
    g_exitCode = QApplication::exec();
    return g_exitCode;
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    return DeliverSafely([&] { return QApplication::notify(receiver, event); });
}

bool TApplication::DeliverSafely(const std::function<bool()> &deliver)
{
    try {
        return deliver();
    } catch (const EApplicationHalt &halt) {
        QCoreApplication::exit(halt.ExitCode());
    } catch (...) {
        HandleException();
    }
    return false;
}

QString TApplication::Title()
{
    return TitleText();
}

void TApplication::SetTitle(const QString &title)
{
    TitleText() = title;
}

QString TApplication::ExceptionText(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception &e) {
        return e.Message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void TApplication::HandleException()
{
    const std::exception_ptr error = std::current_exception();
    if (!error)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const EApplicationHalt &) {
        throw;
    } catch (...) {
    }
    const QString text = ExceptionText(error);
    if (!Handler() || g_showing) {
        qWarning().noquote() << text;
        return;
    }
    g_showing = true;
    try {
        Handler()(text);
    } catch (...) {
        qWarning().noquote() << text;
    }
    g_showing = false;
}

void TApplication::HandleSlotException()
{
    try {
        throw;
    } catch (const EApplicationHalt &halt) {
        if (QThread::currentThread()->loopLevel() == 0)
            throw;
        QCoreApplication::exit(halt.ExitCode());
    } catch (...) {
        HandleException();
    }
}

void TApplication::SetExceptionHandler(ExceptionHandler handler)
{
    Handler() = std::move(handler);
}

void TApplication::Halt(int exitCode)
{
    throw EApplicationHalt(exitCode);
}

void TApplication::SetIdleHandler(std::function<void()> handler)
{
    if (TIdleSource *source = IdleSource())
        source->handler = std::move(handler);
}

void TApplication::SetIdleEventsEnabled(bool enabled)
{
    if (TIdleSource *source = IdleSource())
        source->enabled = enabled;
}
