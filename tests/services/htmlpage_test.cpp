#include "services/htmlpage.h"

#include "components/PreviewForm.h"
#include "components/SDialogs.h"
#include "data/dberror.h"
#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

namespace {

QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Records the message boxes and answers them.
struct TBoxes {
    QStringList texts;
    int answer = mrOk;
    TBoxes()
    {
        SetMessageBoxHook([this](const TMessageBoxCall &call) {
            texts << call.text;
            return answer;
        });
    }
    ~TBoxes() { SetMessageBoxHook({}); }
};

// "Привет" and "мир" as the code page's bytes.
const QByteArray Privet("\xCF\xF0\xE8\xE2\xE5\xF2");
const QByteArray Mir("\xEC\xE8\xF0");

} // namespace

TEST(HtmlPage, HeadAndFootFrameThePage)
{
    // The head line's date is Russian in the C locale too.
    const QLocale saved;
    QLocale::setDefault(QLocale::c());
    QString head, foot;
    BuildHtmlPageHead(head);
    QLocale::setDefault(saved);
    EXPECT_EQ(head, S(u"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">"
                      u"<table width=\"100%\" border=0><tr><td><i>SELBRAN - Информационно-торговая система</i>"
                      u"</td><td align=right><i>") +
                        QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")) + S(u"</i></td></tr></table>"));
    BuildHtmlPageFoot(foot);
    EXPECT_TRUE(foot.contains(QStringLiteral("SELBRAN")));
    EXPECT_TRUE(foot.endsWith(QStringLiteral("</table>")));
}

TEST(HtmlPage, DocumentsFolderIsAnExistingFolderOrEmpty)
{
    QString path = QStringLiteral("x");
    GetMyDocumentsFolder(path);
    EXPECT_TRUE(path.isEmpty() || QFileInfo(path).isDir()) << path.toStdString();
}

TEST(HtmlPage, NoPrinterGivesOnlyTheMessage)
{
    SetPrinterNamesHook([] { return QStringList(); });
    for (bool preview : {true, false}) {
        TBoxes boxes;
        PrintOrPreviewHtml(nullptr, QStringLiteral("<p>x</p>"), preview);
        EXPECT_EQ(boxes.texts, QStringList{S(u"          Принтер не установлен.          ")});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget *w : QApplication::topLevelWidgets())
            EXPECT_EQ(qobject_cast<TPreviewForm *>(w), nullptr);
    }
    SetPrinterNamesHook({});
}

TEST(HtmlPage, PreviewShowsTheFramedPageInVerdana)
{
    TBoxes boxes;
    QString seen, status;
    qreal pointSize = 0;
    QString family;
    // Looks in once the preview window is the modal one.
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *form = qobject_cast<TPreviewForm *>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        look.stop();
        status = form->findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text();
        // The hidden view lives beside the window for the whole preview.
        for (QWidget *w : QApplication::allWidgets()) {
            if (auto *view = qobject_cast<THTMLViewer *>(w)) {
                seen = view->toPlainText();
                family = view->document()->defaultFont().family();
                pointSize = view->document()->defaultFont().pointSizeF();
            }
        }
        form->close();
    });
    look.start();
    PrintOrPreviewHtml(nullptr, S(u"<p>Тело страницы</p>"), true);
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(status, S(u"Лист 1 из 1"));
    EXPECT_TRUE(seen.trimmed().startsWith(S(u"SELBRAN - Информационно-торговая система"))) << seen.toStdString();
    EXPECT_TRUE(seen.contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
    EXPECT_TRUE(seen.contains(S(u"Тело страницы")));
    EXPECT_TRUE(seen.trimmed().endsWith(S(u"Все права защищены."))) << seen.toStdString();
    EXPECT_EQ(family, QStringLiteral("Verdana"));
    EXPECT_EQ(pointSize, 6);
    // The view is gone with the call.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int views = 0;
    for (QWidget *w : QApplication::allWidgets())
        views += qobject_cast<THTMLViewer *>(w) != nullptr;
    EXPECT_EQ(views, 0);
}

TEST(HtmlPage, PrintGoesToTheChosenFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    int dialogs = 0;
    SetPrintDialogHook([&](TPrintDialog &d) {
        ++dialogs;
        EXPECT_EQ(d.MaxPage, 1);
        Printer()->setOutputFormat(QPrinter::PdfFormat);
        Printer()->setOutputFileName(path);
        return true;
    });
    TBoxes boxes;
    PrintOrPreviewHtml(nullptr, S(u"<p>Тело</p>"), false);
    SetPrintDialogHook({});
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(ReadAll(path).startsWith("%PDF"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST(HtmlPage, SaveWritesTheBodyBytesAsChosen)
{
    struct Case {
        const char *name;
        std::optional<QByteArray> before; // the file's bytes, none: no file
        QString body;
        int answer;       // to "already exists"
        QByteArray after; // the file's bytes afterwards
        bool cancelled;
    };
    const Case cases[] = {
        {"new file", std::nullopt, S(u"Привет"), mrNone, Privet, false},
        {"append", Privet, S(u"мир"), mrYesToAll, Privet + Mir, false},
        {"append again", Privet + Mir, S(u"мир"), mrYesToAll, Privet + Mir + Mir, false},
        {"clear", Privet + Mir, S(u"мир"), mrNoToAll, Mir, false},
        {"cancel", Privet, S(u"мир"), mrCancel, Privet, true},
        {"empty appended", Privet, QString(), mrYesToAll, Privet, false},
        {"empty cleared", Privet, QString(), mrNoToAll, QByteArray(), false},
        {"empty new", std::nullopt, QString(), mrNone, QByteArray(), false},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name).replace(u' ', u'_') + QStringLiteral(".htm"));
        if (c.before) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(*c.before);
        }
        TSaveDialog asked;
        SetSaveDialogHook([&](TSaveDialog &d) {
            asked = d;
            d.FileName = path;
            return true;
        });
        TBoxes boxes;
        boxes.answer = c.answer;
        bool cancelled = !c.cancelled;
        SaveHtmlToFile(nullptr, c.body, cancelled);
        SetSaveDialogHook({});
        EXPECT_EQ(cancelled, c.cancelled) << c.name;
        EXPECT_EQ(ReadAll(path), c.after) << c.name;
        const QStringList question{S(u"Файл ") + path + S(u" уже существует. ")};
        EXPECT_EQ(boxes.texts, c.before ? question : QStringList()) << c.name;
        EXPECT_EQ(asked.FileName, QStringLiteral("*.htm"));
        EXPECT_EQ(asked.DefaultExt, QStringLiteral("htm"));
        EXPECT_EQ(asked.Filter, S(u"Веб-страница (*.htm;*.html)|htm"));
        EXPECT_FALSE(asked.OverwritePrompt);
    }
}

TEST(HtmlPage, SaveLeavesTheFileSystemAloneWhenItCannotWrite)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("taken.htm"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto listing = [&] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    const QStringList before = listing();

    SetSaveDialogHook([&](TSaveDialog &d) {
        d.FileName = folder;
        return true;
    });
    {
        // "Дополнить" on a folder: the open fails with the message.
        TBoxes boxes;
        boxes.answer = mrYesToAll;
        bool cancelled = false;
        SaveHtmlToFile(nullptr, S(u"мир"), cancelled);
        EXPECT_TRUE(cancelled);
        ASSERT_EQ(boxes.texts.size(), 2);
        EXPECT_EQ(boxes.texts[1], S(u" Ошибка открытия файла ") + folder);
    }
    {
        // "Очистить": the file cannot be made; the error goes to the caller.
        TBoxes boxes;
        boxes.answer = mrNoToAll;
        bool cancelled = false;
        EXPECT_THROW(SaveHtmlToFile(nullptr, S(u"мир"), cancelled), Exception);
    }
    SetSaveDialogHook([](TSaveDialog &) { return false; });
    {
        TBoxes boxes;
        bool cancelled = false;
        SaveHtmlToFile(nullptr, S(u"мир"), cancelled);
        EXPECT_TRUE(cancelled);
        EXPECT_TRUE(boxes.texts.isEmpty());
    }
    SetSaveDialogHook({});
    EXPECT_EQ(listing(), before);
    EXPECT_TRUE(QDir(folder).isEmpty());
}
