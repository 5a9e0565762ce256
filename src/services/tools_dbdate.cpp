#include "services/tools_dbdate.h"

#include "components/SDialogs.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/tools_format.h"

#include <QCoreApplication>

void DetectWine(const QStringList &arguments)
{
    RunningUnderWine = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        // ASCII lower case only: the word is plain Latin.
        QString arg = arguments[i];
        for (QChar &c : arg) {
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + (u'a' - u'A'));
        }
        if (arg == QLatin1String("wine") || arg == QLatin1String("-wine"))
            RunningUnderWine = true;
    }
}

void DetectWine()
{
    DetectWine(QCoreApplication::arguments());
}

QDateTime ReadDbDate(TZReadOnlyQuery &query)
{
    query.Close();
    query.SetSQL(QStringLiteral("select db_date from db_date limit 1"));
    query.Open();
    QDateTime result = ZeroDateTime();
    if (!query.IsEmpty()) {
        const TField &field = query.FieldByName(QStringLiteral("db_date"));
        if (IsMysqlProtocol()) {
            // A date-time column; NULL reads as the zero date-time.
            if (!field.IsNull())
                result = field.Value().toDateTime();
            if (!result.isValid())
                result = ZeroDateTime();
        } else {
            result = ParseSqlDateTime(field.AsString());
        }
    }
    query.Close();
    return result;
}

QString GetDbDateText(TZReadOnlyQuery &query)
{
    return DateTimeText(ReadDbDate(query));
}

QString BuildFreshnessWarningText(int days)
{
    // Line feed before carriage return, as the box has always shown it.
    const QString br = QStringLiteral("\n\r");
    const QStringList representatives{
        QStringLiteral("г. Екатеринбург - (343) 355-12-40"),
        QStringLiteral("г. Челябинск - (351) 263-48-15"),
        QStringLiteral("г. Тюмень - (3452) 39-07-21"),
        QStringLiteral("г. Нижний Тагил - (3435) 41-62-30"),
        QStringLiteral("г. Каменск-Уральский - (3439) 34-18-52"),
        QStringLiteral("г. Первоуральск - (34392) 6-24-17"),
    };
    return QStringLiteral("Внимание! Информация устарела.") + br +
           QStringLiteral("Последнее обновление базы данных было произведено ") + QString::number(days) +
           QStringLiteral(" дней назад.") + br + br +
           QStringLiteral("Для обновления справочника Вы можете обратиться ") + br +
           QStringLiteral("к нашим официальным представителям: ") + br + br + representatives.join(br);
}

void CheckDbFreshness(TZReadOnlyQuery &query)
{
    const qint64 days = ReadDbDate(query).date().daysTo(GetToday());
    if (days < DbFreshnessDays)
        return;
    ShowMessageText(BuildFreshnessWarningText(int(days)));
}
