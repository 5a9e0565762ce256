#include "services/history_combo.h"

#include "data/usersettings.h"
#include "services/tools_format.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QScopeGuard>

#include <algorithm>
#include <vector>

namespace {

const QString kCount = QStringLiteral("Count");
const QString kItem = QStringLiteral("Strting");

} // namespace

void RememberComboText(QComboBox *box)
{
    const QString text = TrimText(box->currentText());
    if (text.isEmpty()) {
        box->setEditText(QString());
        return;
    }
    const QString lowered = text.toLower();
    int index = 0;
    for (; index < box->count(); ++index)
        if (box->itemText(index).toLower() == lowered)
            break;
    if (index == box->count()) {
        while (box->count() >= MaxComboHistory)
            box->removeItem(MaxComboHistory - 1);
        box->insertItem(0, text);
        index = 0;
    }
    // The open drop-down marks the item the box now holds, not the one that
    // was current before.
    box->setCurrentIndex(index);
    box->setEditText(text);
}

void SaveComboHistory(TRegistryIniFile &regIni, QComboBox *box, const QString &section)
{
    int written = 0;
    for (int i = 0; i < box->count(); ++i) {
        const QString item = TrimText(box->itemText(i));
        if (item.isEmpty())
            continue;
        // Numbered by what was written, so the names stay 0..Count-1 even
        // if an empty item slipped into the list.
        regIni.WriteString(section, kItem + QString::number(written), item);
        ++written;
    }
    regIni.WriteString(section, kCount, QString::number(written));
}

void LoadComboHistory(TRegistryIniFile &regIni, QComboBox *box, const QString &section)
{
    // Only the list changes: an editable box would otherwise take the first
    // loaded item as its text.
    const QString text = box->currentText();
    const auto keepText = qScopeGuard([box, &text] {
        box->setCurrentIndex(-1);
        box->setEditText(text);
    });
    box->setMaxVisibleItems(MaxComboHistory);
    box->clear();
    const int count = regIni.ReadInteger(section, kCount, 0);
    if (count <= 0)
        return;
    // Only the indexes actually stored are read: a damaged huge count must
    // not make the start-up walk billions of missing names.
    static const QRegularExpression name(QStringLiteral("^Strting(0|[1-9][0-9]{0,9})$"));
    std::vector<qint64> indexes;
    for (const QString &key : regIni.ReadSection(section)) {
        const QRegularExpressionMatch m = name.match(key);
        if (!m.hasMatch())
            continue;
        const qint64 index = m.captured(1).toLongLong();
        if (index < count)
            indexes.push_back(index);
    }
    std::sort(indexes.begin(), indexes.end());
    for (qint64 index : indexes) {
        const QString text = TrimText(regIni.ReadString(section, kItem + QString::number(index), QString()));
        if (!text.isEmpty())
            box->addItem(text);
    }
}
