#include "windows/printset.h"

#include "components/replfont.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>

namespace {

constexpr int kClientWidth = 248;
constexpr int kClientHeight = 342;

template <class T> T *Make(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *widget = new T(text, parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

} // namespace

TfrmPrintSet::TfrmPrintSet(QWidget *owner, int printKind, int hasSelection, bool showFields, bool, bool, bool, bool,
                           bool, bool, bool, bool, bool, bool)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmPrintSet"));
    BuildControls();
    FormCreate();

    struct TCaptions {
        const char16_t *caption, *selected, *current, *all;
    };
    static const TCaptions captions[] = {
        {u"Печать", u"Выделенных позиций", u"Текущей позиции", u"Всех позиций"},
        {u"Предварительный просмотр", u"Выделенных позиций", u"Текущей позиции", u"Всех позиций"},
        {u"Сохранить в файл", u"Выделенные позиции", u"Текущую позицию", u"Все позиции"},
    };
    if (printKind >= 0 && printKind < 3) {
        const TCaptions &c = captions[printKind];
        setWindowTitle(QString::fromUtf16(c.caption));
        GroupBox1->setTitle(QString::fromUtf16(c.caption));
        rbSelected->setText(QString::fromUtf16(c.selected));
        rbCurrent->setText(QString::fromUtf16(c.current));
        rbAll->setText(QString::fromUtf16(c.all));
    }
    if (hasSelection == 0) {
        rbSelected->setEnabled(false);
        rbCurrent->setChecked(true);
    }
    QSize client = m_designClient;
    if (!showFields) {
        gbEnpr->hide();
        client.rheight() -=
            (gbEnpr->geometry().top() + gbEnpr->height()) - (GroupBox1->geometry().top() + GroupBox1->height());
    }
    setFixedSize(client);
    PlaceAnchoredButtons();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmPrintSet::BuildControls()
{
    m_designClient = QSize(kClientWidth, kClientHeight);
    resize(m_designClient);
    setWindowTitle(QStringLiteral("Печать"));

    GroupBox1 = Make<QGroupBox>(this, "GroupBox1", QStringLiteral("Печать"), QRect(4, 2, 240, 87));
    rbSelected =
        Make<QRadioButton>(GroupBox1, "rbSelected", QStringLiteral("Выделенных позиций"), QRect(12, 18, 220, 20));
    rbCurrent = Make<QRadioButton>(GroupBox1, "rbCurrent", QStringLiteral("Текущей позиции"), QRect(12, 40, 220, 20));
    rbAll = Make<QRadioButton>(GroupBox1, "rbAll", QStringLiteral("Всех позиций"), QRect(12, 62, 220, 20));
    rbSelected->setChecked(true);

    // Its top is the scope group's bottom: hiding it takes its full height.
    gbEnpr = Make<QGroupBox>(this, "gbEnpr", QStringLiteral("Поля"), QRect(4, 89, 240, 224));
    const struct {
        QCheckBox *TfrmPrintSet::*box;
        const char *name;
        const char16_t *text;
    } boxes[] = {
        {&TfrmPrintSet::cbName, "cbName", u"Название"},
        {&TfrmPrintSet::cbAttr, "cbAttr", u"Вид деятельности"},
        {&TfrmPrintSet::cbPhone, "cbPhone", u"Телефоны"},
        {&TfrmPrintSet::cbPeople, "cbPeople", u"Персонал"},
        {&TfrmPrintSet::cbPost, "cbPost", u"Адрес"},
        {&TfrmPrintSet::cbTransport, "cbTransport", u"Как проехать"},
        {&TfrmPrintSet::cbWeb, "cbWeb", u"Виртуальные адреса"},
        {&TfrmPrintSet::cbFilial, "cbFilial", u"Равноправные подразделения"},
        {&TfrmPrintSet::cbWt, "cbWt", u"Время работы"},
        {&TfrmPrintSet::cbUpdate, "cbUpdate", u"Дата изменения"},
    };
    int top = 18;
    for (const auto &b : boxes) {
        this->*b.box = Make<QCheckBox>(gbEnpr, b.name, QString::fromUtf16(b.text), QRect(12, top, 220, 18));
        top += 18;
    }
    // Name and address are part of every printed card.
    cbName->setChecked(true);
    cbName->setEnabled(false);
    cbPhone->setChecked(true);
    cbPost->setChecked(true);
    cbPost->setEnabled(false);
    Button1 = Make<QPushButton>(gbEnpr, "Button1", QStringLiteral("Отметить Все"), QRect(8, 198, 108, 22));
    Button2 = Make<QPushButton>(gbEnpr, "Button2", QStringLiteral("Снять отметки"), QRect(124, 198, 108, 22));
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TfrmPrintSet::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmPrintSet::Button2Click);

    BitBtn1 = Make<QPushButton>(this, "BitBtn1", QStringLiteral("OK"), QRect(84, 315, 75, 25));
    BitBtn2 = Make<QPushButton>(this, "BitBtn2", QStringLiteral("Отмена"), QRect(167, 315, 75, 25));
    BitBtn1->setDefault(true);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    const QPoint corner(m_designClient.width(), m_designClient.height());
    m_okFromCorner = corner - BitBtn1->pos();
    m_cancelFromCorner = corner - BitBtn2->pos();
}

void TfrmPrintSet::FormCreate()
{
    SetFormCharsetRussian(this);
}

void TfrmPrintSet::PlaceAnchoredButtons()
{
    const QPoint corner(width(), height());
    BitBtn1->move(corner - m_okFromCorner);
    BitBtn2->move(corner - m_cancelFromCorner);
}

void TfrmPrintSet::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (BitBtn1)
        PlaceAnchoredButtons();
}

void TfrmPrintSet::Button1Click()
{
    for (QCheckBox *box : {cbName, cbAttr, cbPhone, cbPeople, cbPost, cbTransport, cbWeb, cbFilial, cbWt, cbUpdate})
        box->setChecked(true);
}

void TfrmPrintSet::Button2Click()
{
    for (QCheckBox *box : {cbAttr, cbPhone, cbPeople, cbTransport, cbWeb, cbFilial, cbWt, cbUpdate})
        box->setChecked(false);
    cbName->setChecked(true);
    cbPost->setChecked(true);
}

void TfrmPrintSet::FormClose()
{
    PrintChoice = rbAll->isChecked() ? 2 : rbCurrent->isChecked() ? 1 : 0;
}

void TfrmPrintSet::done(int result)
{
    FormClose();
    QDialog::done(result);
}

int ShowPrintSetDialog(int PrintKind, int HasSelection, bool ShowFields, bool &Name, bool &Attr, bool &Phone,
                       bool &People, bool &Post, bool &Transport, bool &Web, bool &Wt, bool &Update, bool &Filial)
{
    TfrmPrintSet form(QApplication::activeWindow(), PrintKind, HasSelection, ShowFields, Name, Attr, Phone, People,
                      Post, Transport, Web, Wt, Update, Filial);
    if (form.exec() != QDialog::Accepted)
        return -1;
    Name = form.cbName->isChecked();
    Attr = form.cbAttr->isChecked();
    Phone = form.cbPhone->isChecked();
    People = form.cbPeople->isChecked();
    Post = form.cbPost->isChecked();
    Transport = form.cbTransport->isChecked();
    Web = form.cbWeb->isChecked();
    Wt = form.cbWt->isChecked();
    Update = form.cbUpdate->isChecked();
    Filial = form.cbFilial->isChecked();
    return form.PrintChoice;
}
