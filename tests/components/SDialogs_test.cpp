#include "components/SDialogs.h"
#include "platform/application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

using FormPtr = std::unique_ptr<TMessageForm>;

FormPtr Make(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons)
{
    return FormPtr(CreateMessageForm(text, kind, buttons));
}

QList<QPushButton *> ButtonsLeftToRight(QWidget *form)
{
    QList<QPushButton *> list = form->findChildren<QPushButton *>();
    std::sort(list.begin(), list.end(), [](QPushButton *a, QPushButton *b) { return a->x() < b->x(); });
    return list;
}

// Shows the box, presses a key and gives the result, or -1 when still open.
int PressKey(TMessageForm *form, Qt::Key key)
{
    form->setResult(-1);
    form->show();
    QTest::keyClick(form, key);
    const int r = form->isVisible() ? -1 : form->result();
    form->hide();
    return r;
}

struct HookScope {
    QList<TMessageBoxCall> calls;
    QPoint position;
    explicit HookScope(int answer)
    {
        SetMessageBoxHook([this, answer](const TMessageBoxCall &call) {
            calls.append(call);
            position = call.form->pos();
            return answer;
        });
    }
    ~HookScope() { SetMessageBoxHook({}); }
};

} // namespace

TEST(MessageForm, ButtonsHaveTheirNamesCaptionsOrderAndResults)
{
    const TMsgDlgButtons all = (1u << 11) - 1;
    FormPtr form = Make(QStringLiteral("Всё"), mtConfirmation, all);
    const QList<QPushButton *> buttons = ButtonsLeftToRight(form.get());
    const QStringList names{QStringLiteral("Yes"),      QStringLiteral("No"),    QStringLiteral("OK"),
                            QStringLiteral("Cancel"),   QStringLiteral("Abort"), QStringLiteral("Retry"),
                            QStringLiteral("Ignore"),   QStringLiteral("All"),   QStringLiteral("NoToAll"),
                            QStringLiteral("YesToAll"), QStringLiteral("Help")};
    const QStringList captions{QStringLiteral("&Да"),          QStringLiteral("&Нет"),     QStringLiteral("OK"),
                               QStringLiteral("Отмена"),       QStringLiteral("Прервать"), QStringLiteral("Повтор"),
                               QStringLiteral("Игнорировать"), QStringLiteral("&Все"),     QStringLiteral("Очистить"),
                               QStringLiteral("Дополнить"),    QStringLiteral("&Помощь")};
    const int results[] = {mrYes, mrNo, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrAll, mrNoToAll, mrYesToAll};
    ASSERT_EQ(buttons.size(), 11);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(buttons[i]->objectName(), names[i]);
        EXPECT_EQ(buttons[i]->text(), captions[i]);
        EXPECT_EQ(buttons[i]->width(), buttons[0]->width()) << "one width for every button";
    }
    for (int i = 0; i < 10; ++i) {
        form->setResult(-1);
        form->show();
        buttons[i]->click();
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), results[i]) << names[i].toStdString();
    }
}

TEST(MessageForm, HelpAsksForHelpAndDoesNotClose)
{
    FormPtr form = Make(QStringLiteral("x"), mtInformation, mbOK | mbHelp);
    form->HelpContext = 77;
    QSignalSpy spy(form.get(), &TMessageForm::helpRequested);
    form->show();
    form->findChild<QPushButton *>(QStringLiteral("Help"))->click();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 77);
    form->hide();
}

TEST(MessageForm, TitlesAndIconsFollowTheKind)
{
    TApplication::SetTitle(QStringLiteral("SELBRAN - Информационно-торговая система."));
    const struct {
        TMsgDlgType kind;
        QString title;
        bool icon;
    } cases[] = {{mtWarning, QStringLiteral("Внимание"), true},
                 {mtError, QStringLiteral("Ошибка"), true},
                 {mtInformation, QStringLiteral("Информация"), true},
                 {mtConfirmation, QStringLiteral("Подтверждение"), true},
                 {mtCustom, QStringLiteral("SELBRAN - Информационно-торговая система."), false}};
    for (const auto &c : cases) {
        FormPtr form = Make(QStringLiteral("Текст"), c.kind, mbOK);
        EXPECT_EQ(form->windowTitle(), c.title);
        auto *image = form->findChild<QLabel *>(QStringLiteral("Image"));
        EXPECT_EQ(image != nullptr, c.icon);
        auto *message = form->findChild<QLabel *>(QStringLiteral("Message"));
        ASSERT_NE(message, nullptr);
        if (image) {
            EXPECT_EQ(image->size(), QSize(32, 32));
            EXPECT_GT(message->x(), image->geometry().right()) << "text beside the icon";
        }
        EXPECT_TRUE(message->alignment() & Qt::AlignHCenter);
        EXPECT_EQ(message->text(), QStringLiteral("Текст"));
    }
}

TEST(MessageForm, DefaultAndCancelButtons)
{
    // The program-wide box: OK is both.
    FormPtr ok = Make(QStringLiteral("  Привет  "), mtCustom, mbOK);
    EXPECT_TRUE(ok->findChild<QPushButton *>(QStringLiteral("OK"))->isDefault());
    EXPECT_EQ(PressKey(ok.get(), Qt::Key_Escape), mrOk);
    EXPECT_EQ(PressKey(ok.get(), Qt::Key_Return), mrOk);

    // The save question: no default button, Esc gives Cancel.
    FormPtr save = Make(QStringLiteral("Файл существует"), mtConfirmation, mbCancel | mbNoToAll | mbYesToAll);
    for (QPushButton *b : save->findChildren<QPushButton *>())
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
    EXPECT_EQ(PressKey(save.get(), Qt::Key_Escape), mrCancel);
    QStringList order;
    for (QPushButton *b : ButtonsLeftToRight(save.get()))
        order << b->text();
    EXPECT_EQ(order, (QStringList{QStringLiteral("Отмена"), QStringLiteral("Очистить"), QStringLiteral("Дополнить")}));

    // Yes is default, No answers Esc.
    FormPtr yesNo = Make(QStringLiteral("?"), mtConfirmation, mbYes | mbNo);
    EXPECT_TRUE(yesNo->findChild<QPushButton *>(QStringLiteral("Yes"))->isDefault());
    EXPECT_EQ(PressKey(yesNo.get(), Qt::Key_Return), mrYes);
    EXPECT_EQ(PressKey(yesNo.get(), Qt::Key_Escape), mrNo);

    // Retry is default; without Cancel, No or OK, Esc does nothing.
    FormPtr retry = Make(QStringLiteral("!"), mtError, mbAbort | mbRetry | mbIgnore);
    EXPECT_TRUE(retry->findChild<QPushButton *>(QStringLiteral("Retry"))->isDefault());
    EXPECT_EQ(PressKey(retry.get(), Qt::Key_Escape), -1);
    EXPECT_EQ(PressKey(retry.get(), Qt::Key_Return), mrRetry);
}

TEST(MessageForm, ClosingFromTheTitleBarGivesCancel)
{
    FormPtr form = Make(QStringLiteral("?"), mtConfirmation, mbYes | mbNo | mbCancel);
    form->show();
    form->close();
    EXPECT_EQ(form->result(), mrCancel);
}

TEST(MessageForm, LongTextWrapsAtHalfTheScreen)
{
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    QString longText;
    for (int i = 0; i < 60; ++i)
        longText += QStringLiteral("слово ");
    FormPtr shortBox = Make(QStringLiteral("слово"), mtCustom, mbOK);
    FormPtr longBox = Make(longText, mtCustom, mbOK);
    auto *message = longBox->findChild<QLabel *>(QStringLiteral("Message"));
    EXPECT_LE(message->width(), half);
    EXPECT_GT(message->width(), half / 2);
    EXPECT_GE(message->height(), 3 * shortBox->findChild<QLabel *>(QStringLiteral("Message"))->height());
    EXPECT_GT(longBox->height(), shortBox->height());
    EXPECT_LE(longBox->width(), half + 200);
}

// Every word of the message is on the box: the label, at the size the box
// gave it, needs no more room than it got. Fonts of fractional widths used
// to lose the last word of a line measured a pixel short.
TEST(MessageForm, TheWholeTextFitsItsLabelInAnyFontSize)
{
    const QFont saved = QApplication::font("QMessageBox");
    QString sqlError = QStringLiteral("Ошибка выполнения запроса: no such column: a.price_rub in select a.id, "
                                      "a.name, a.price from good a, address s where a.cid=343 and ");
    sqlError += QStringLiteral("( postext('ХЛЕБ' , a.name)>0 ) ").repeated(6);
    const QString texts[] = {
        QStringLiteral("no such table: db_date"),
        QStringLiteral("   По Вашему запросу ничего не найдено.   "),
        QStringLiteral("Файл:\tC:\\Мои документы\\прайс.htm\r\nне удалось открыть для записи"),
        QStringLiteral("первая строка\nвторая, подлиннее первой\rтретья"),
        sqlError,
        QStringLiteral("x"),
    };
    for (const qreal points : {7.5, 8.0, 8.25, 9.0, 9.75, 10.5, 11.0, 13.3}) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(points);
        QApplication::setFont(font, "QMessageBox");
        for (const QString &text : texts) {
            FormPtr form = Make(text, mtError, mbOK);
            auto *message = form->findChild<QLabel *>(QStringLiteral("Message"));
            ASSERT_NE(message, nullptr);
            const QRect needed = message->fontMetrics().boundingRect(
                QRect(0, 0, message->width(), 0), int(message->alignment()) | Qt::TextWordWrap | Qt::TextExpandTabs,
                message->text());
            EXPECT_LE(needed.height(), message->height()) << points << " pt: " << text.toStdString();
            EXPECT_LE(needed.width(), message->width()) << points << " pt: " << text.toStdString();
            EXPECT_LE(message->geometry().bottom(), form->findChild<QPushButton *>(QStringLiteral("OK"))->y());
        }
    }
    // A message that fits on one line at half the screen stays on one line.
    FormPtr one = Make(QStringLiteral("no such table: db_date"), mtError, mbOK);
    EXPECT_EQ(one->findChild<QLabel *>(QStringLiteral("Message"))->height(),
              QFontMetrics(QApplication::font("QMessageBox")).height());
    QApplication::setFont(saved, "QMessageBox");
}

// Every kind of line break is one line on the box, the freshness warning's
// LF CR pairs included; two breaks in a row leave one empty line.
TEST(MessageForm, EachLineBreakIsOneLine)
{
    const auto lines = [](const QString &br) {
        return QStringLiteral("первая") + br + QStringLiteral("вторая") + br + br + QStringLiteral("четвёртая");
    };
    FormPtr plain = Make(lines(QStringLiteral("\n")), mtCustom, mbOK);
    const int plainHeight = plain->findChild<QLabel *>(QStringLiteral("Message"))->height();
    const int lineHeight = QFontMetrics(plain->font()).height();
    EXPECT_GE(plainHeight, 4 * lineHeight);
    EXPECT_LT(plainHeight, 5 * lineHeight);
    for (const char *br : {"\r\n", "\n\r", "\n", "\r"}) {
        FormPtr form = Make(lines(QString::fromLatin1(br)), mtCustom, mbOK);
        auto *message = form->findChild<QLabel *>(QStringLiteral("Message"));
        EXPECT_EQ(message->text(), lines(QStringLiteral("\n"))) << QByteArray(br).toHex().constData();
        EXPECT_EQ(message->height(), plainHeight) << QByteArray(br).toHex().constData();
        EXPECT_EQ(form->height(), plain->height()) << QByteArray(br).toHex().constData();
    }
}

// A server error that quotes a whole statement: the box stays on the screen's
// free area, its text scrolls, OK is on the screen and answers Enter.
TEST(MessageForm, TextBeyondTheScreenScrollsAndTheButtonsStayOnIt)
{
    const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("select a.id, a.name from good a where a.cid=%1 and a.gid=%2").arg(i).arg(i * 7);
    const struct {
        const char *what;
        QString text;
    } cases[] = {
        {"tall", QStringLiteral("Lost connection to server during query: ") + lines.join(u'\n')},
        {"wide", QStringLiteral("x").repeated(5000)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FormPtr form = Make(c.text, mtError, mbOK);
        EXPECT_LE(form->height(), free.height());
        EXPECT_LE(form->width(), free.width());
        EXPECT_TRUE(free.contains(form->geometry())) << "left " << form->x() << " top " << form->y();
        QPushButton *ok = form->findChild<QPushButton *>(QStringLiteral("OK"));
        ASSERT_NE(ok, nullptr);
        EXPECT_LE(ok->geometry().bottom(), form->height());
        auto *area = form->findChild<QScrollArea *>(QStringLiteral("MessageArea"));
        ASSERT_NE(area, nullptr);
        auto *message = form->findChild<QLabel *>(QStringLiteral("Message"));
        ASSERT_EQ(area->widget(), message);
        EXPECT_LT(area->geometry().bottom(), ok->y());
        form->show();
        // The whole text is in the label, and its last line can be scrolled to.
        const QRect needed = message->fontMetrics().boundingRect(
            QRect(0, 0, message->width(), 0), int(message->alignment()) | Qt::TextWordWrap | Qt::TextExpandTabs,
            message->text());
        EXPECT_LE(needed.height(), message->height());
        EXPECT_GT(area->verticalScrollBar()->maximum() + area->horizontalScrollBar()->maximum(), 0);
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
        const QPoint lastCorner = message->mapTo(area->viewport(), QPoint(message->width() - 1, message->height() - 1));
        EXPECT_TRUE(area->viewport()->rect().contains(lastCorner));
        form->hide();
        EXPECT_EQ(PressKey(form.get(), Qt::Key_Return), mrOk);
    }
    // An ordinary message needs no scrolling.
    EXPECT_EQ(Make(QStringLiteral("x"), mtError, mbOK)->findChild<QScrollArea *>(), nullptr);
}

// Fixed-size dialog flags: a title and a close button, no minimise or
// maximise button for a box that cannot change its size.
TEST(MessageForm, IsAFixedSizeDialogWithTitleAndCloseOnly)
{
    for (const TMsgDlgType kind : {mtCustom, mtConfirmation}) {
        FormPtr form = Make(QStringLiteral("x"), kind, mbOK | mbCancel);
        form->show();
        const Qt::WindowFlags flags = form->windowFlags();
        EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
        EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << "else the window system adds its default buttons";
        EXPECT_TRUE(flags & Qt::WindowTitleHint);
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(flags & Qt::MSWindowsFixedSizeDialogHint);
        EXPECT_FALSE(flags &
                     (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));
        EXPECT_EQ(form->minimumSize(), form->maximumSize());
        form->hide();
    }
}

TEST(MessageForm, BlanksAroundTheTextWidenTheBox)
{
    const QString text = QStringLiteral("Ошибка соединения с сервером базы данных");
    FormPtr plain = Make(text, mtCustom, mbOK);
    FormPtr padded = Make(QStringLiteral("        ") + text + QStringLiteral("        "), mtCustom, mbOK);
    EXPECT_GT(padded->width(), plain->width());
    EXPECT_GT(padded->findChild<QLabel *>(QStringLiteral("Message"))->width(),
              plain->findChild<QLabel *>(QStringLiteral("Message"))->width());
}

TEST(MessageForm, ButtonsAreCentredBelowTheText)
{
    FormPtr form = Make(QStringLiteral("Очень длинное сообщение, шире кнопок"), mtWarning, mbYes | mbNo);
    const QList<QPushButton *> b = ButtonsLeftToRight(form.get());
    ASSERT_EQ(b.size(), 2);
    const int groupLeft = b[0]->x();
    const int groupRight = b[1]->geometry().right() + 1;
    EXPECT_LE(qAbs(groupLeft - (form->width() - groupRight)), 1);
    EXPECT_EQ(b[0]->y(), b[1]->y());
    EXPECT_GT(b[0]->y(), form->findChild<QLabel *>(QStringLiteral("Message"))->geometry().bottom());
    EXPECT_GT(b[1]->x(), b[0]->geometry().right()) << "a gap between buttons";
    EXPECT_LT(b[0]->geometry().bottom(), form->height());
}

TEST(MessageForm, WideCaptionWidensEveryButtonAndIsRemembered)
{
    FormPtr okOnly = Make(QStringLiteral("x"), mtCustom, mbOK);
    const int minimum = okOnly->findChild<QPushButton *>(QStringLiteral("OK"))->width();
    EXPECT_GT(MessageButtonWidth(2), 0) << "OK measured";
    FormPtr withIgnore = Make(QStringLiteral("x"), mtCustom, mbOK | mbIgnore);
    const int cached = MessageButtonWidth(6);
    ASSERT_GT(cached, 0);
    const QFontMetrics fm(withIgnore->font());
    EXPECT_GE(cached, fm.horizontalAdvance(QStringLiteral("Игнорировать")));
    const int expected = qMax(minimum, cached);
    for (QPushButton *b : withIgnore->findChildren<QPushButton *>())
        EXPECT_EQ(b->width(), expected);
    // A later box reuses the measured width.
    FormPtr later = Make(QStringLiteral("y"), mtError, mbIgnore | mbAbort);
    EXPECT_EQ(MessageButtonWidth(6), cached);
    for (QPushButton *b : later->findChildren<QPushButton *>())
        EXPECT_GE(b->width(), expected);
}

TEST(MessageForm, WindowIsMarkedCyrillic)
{
    FormPtr form = Make(QStringLiteral("x"), mtWarning, mbOK | mbCancel);
    for (QWidget *w : form->findChildren<QWidget *>())
        EXPECT_EQ(w->property("charset").toInt(), 204) << w->objectName().toStdString();
}

TEST(MessageBoxes, ShowMessageTextGoesThroughTheHook)
{
    TApplication::SetTitle(QStringLiteral("SELBRAN - Информационно-торговая система."));
    HookScope hook(mrOk);
    ShowMessageText(QStringLiteral("   По Вашему запросу ничего не найдено.   "));
    ASSERT_EQ(hook.calls.size(), 1);
    EXPECT_EQ(hook.calls[0].text, QStringLiteral("   По Вашему запросу ничего не найдено.   "));
    EXPECT_EQ(hook.calls[0].title, QStringLiteral("SELBRAN - Информационно-торговая система."));
    EXPECT_EQ(hook.calls[0].kind, mtCustom);
    EXPECT_EQ(hook.calls[0].buttons, TMsgDlgButtons(mbOK));
}

TEST(MessageBoxes, DialogReturnsTheAnswerAndHonoursPosition)
{
    HookScope hook(mrYesToAll);
    EXPECT_EQ(MessageDialog(QStringLiteral("?"), mtConfirmation, mbCancel | mbNoToAll | mbYesToAll, 0), mrYesToAll);
    EXPECT_EQ(MessageDialogPos(QStringLiteral("?"), mtInformation, mbOK, 0, 17, 23), mrYesToAll);
    EXPECT_EQ(hook.position, QPoint(17, 23));
    ShowMessagePos(QStringLiteral("x"), 5, -1);
    EXPECT_EQ(hook.position.x(), 5);
    EXPECT_EQ(hook.calls.size(), 3);
}

TEST(MessageBoxes, HookCanDriveTheBox)
{
    SetMessageBoxHook([](const TMessageBoxCall &call) {
        call.form->show();
        QTest::keyClick(call.form, Qt::Key_Escape);
        return call.form->result();
    });
    EXPECT_EQ(MessageDialog(QStringLiteral("?"), mtConfirmation, mbCancel | mbNoToAll | mbYesToAll, 0), mrCancel);
    SetMessageBoxHook({});
}
