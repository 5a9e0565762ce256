#include "windows/phones.h"

#include "data/query.h"
#include "services/globals.h"
#include "services/stat.h"
#include "services/tools_format.h"
#include "windows/price/cardtelephony.h"
#include "windows/price/firmcard.h"

#include <QDate>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <memory>

namespace {

constexpr int kRowHeight = 13;

std::function<void(TfrmPhones &)> g_shownHook;

// Paints every row through the window.
class TRowDelegate : public QStyledItemDelegate
{
public:
    explicit TRowDelegate(TfrmPhones *form) : QStyledItemDelegate(form), m_form(form) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        m_form->ListBox1DrawItem(painter, index.row(), option.rect);
    }
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override { return {0, kRowHeight}; }

private:
    TfrmPhones *m_form;
};

QString Text(TZReadOnlyQuery &q, const char *field)
{
    return q.FieldByName(QLatin1String(field)).AsString();
}

} // namespace

void SetPhonesShownHook(std::function<void(TfrmPhones &)> hook)
{
    g_shownHook = std::move(hook);
}

TfrmPhones::TfrmPhones(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPhones"));
    setWindowTitle(QStringLiteral("Телефоны"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(312, 213);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    // Behind the list: Esc and Enter reach them, the mouse does not.
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(120, 80, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    BitBtn2 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(120, 110, 75, 25);
    BitBtn2->setDefault(true);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, 273, 89);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->hide();
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->hide();

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(0, 0, 312, 193);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setItemDelegate(new TRowDelegate(this));
    ListBox1->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });

    Label1 = new QLabel(QStringLiteral("Для выхода нажми пробел, ESC или ENTER"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(0, 193, 312, 20);
    Label1->setAlignment(Qt::AlignCenter);
    ListBox1->setFocus();
}

QStringList TfrmPhones::MemoLines(const QString &text) const
{
    const qreal width = Memo1->width() - 2 * Memo1->frameWidth() - 2 * Memo1->document()->documentMargin();
    QStringList lines;
    for (const QString &paragraph : text.split(u'\n')) {
        QTextLayout layout(paragraph, Memo1->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.append(paragraph.mid(line.textStart(), line.textLength()).trimmed());
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            lines.append(QString());
    }
    return lines;
}

void TfrmPhones::ListBox1DrawItem(QPainter *painter, int index, const QRect &rect) const
{
    painter->save();
    painter->fillRect(rect, Qt::white);
    QFont font = this->font();
    QColor colour = Qt::black;
    if (index >= ListBox2->count()) {
        colour = Qt::red;
    } else if (!ListBox2->item(index)->text().isEmpty()) {
        colour = Qt::blue;
        font.setUnderline(true);
    }
    painter->setFont(font);
    painter->setPen(colour);
    painter->drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      ListBox1->item(index)->text());
    painter->restore();
}

void TfrmPhones::ListBox1DblClick()
{
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= ListBox2->count())
        return;
    const QString number = ListBox2->item(row)->text();
    TCardTelephony *telephony = CardTelephony();
    if (!number.isEmpty() && telephony && telephony->CanTransfer())
        telephony->TransferCall(number);
}

void TfrmPhones::ListBox1KeyDown(int key)
{
    if (key == Qt::Key_Space)
        close();
}

bool TfrmPhones::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        ListBox1KeyDown(key);
        if (key == Qt::Key_Space)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmPhones::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (g_shownHook) {
        QPointer<TfrmPhones> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && g_shownHook)
                g_shownHook(*self);
        });
    }
}

void ShowFirmPhones(TZReadOnlyQuery &Query, int cid, int fid, int adr_id, qint64 goodId)
{
    TCardTelephony *telephony = CardTelephony();
    if (telephony)
        telephony->QueryCanTransfer(cid);
    WriteRequestStat(Query, cid, fid, adr_id, goodId);
    auto form = std::make_unique<TfrmPhones>();

    const auto open = [&](const QString &sql) {
        Query.Close();
        Query.SetSQL(sql);
        Query.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
        Query.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
        Query.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr_id);
        Query.Open();
    };
    open(QStringLiteral("SELECT allinfo,code,phone FROM phone WHERE ") + kAddressCondition +
         QStringLiteral(" ORDER by adr_id, prior"));
    const bool transfer = telephony && telephony->CanTransfer() && telephony->IsTransferCity(cid);
    for (; !Query.Eof(); Query.Next()) {
        const QString info = Text(Query, "allinfo");
        if (info.isEmpty())
            continue;
        form->ListBox1->addItem(info);
        QString number;
        if (transfer) {
            number = TrimText(Text(Query, "code"));
            if (number.isEmpty())
                number = QString::number(cid);
            number += TrimText(Text(Query, "phone"));
            if (number.size() != 10 || number[0] == u'9')
                number.clear();
        }
        form->ListBox2->addItem(number);
    }
    if (form->ListBox1->count() == 0) {
        form->ListBox1->addItem(QStringLiteral("Телефоны отсутствуют"));
        form->ListBox2->addItem(QString());
    }

    open(CurrentDiscountsSql());
    for (; !Query.Eof(); Query.Next()) {
        QString text = Text(Query, "name");
        if (text.isEmpty())
            continue;
        if (Text(Query, "tp") == QLatin1String("a")) {
            QDate startDate, endDate;
            const QString start = DiscountDateText(Text(Query, "start_date"), &startDate);
            const QString end = DiscountDateText(Text(Query, "end_date"), &endDate);
            // Open-ended promotions end on 2100-01-01 and show no period.
            if (end != QLatin1String("2100-01-01") && end != QLatin1String("01.01.2100") &&
                endDate != QDate(2100, 1, 1))
                text += QStringLiteral(" Акция проводится с ") + start + QStringLiteral(" по ") + end;
        }
        form->Memo1->setPlainText(text);
        form->ListBox1->addItems(form->MemoLines(text));
    }
    Query.Close();
    form->exec();
}
