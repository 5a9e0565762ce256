#include "services/history_combo.h"

#include "data/inifile.h"
#include "data/usersettings.h"
#include "services/tools_format.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QString kCount = QStringLiteral("Count");
const QString kItem = QStringLiteral("Strting");

const QRegularExpression &ItemName()
{
    static const QRegularExpression name(QStringLiteral("^Strting(0|[1-9][0-9]{0,9})$"));
    return name;
}

bool ContainsIgnoringCase(const QStringList &list, const QString &text)
{
    const QString lowered = text.toLower();
    return std::any_of(list.begin(), list.end(), [&lowered](const QString &item) { return item.toLower() == lowered; });
}

// The texts a section holds, newest first.
QStringList StoredList(const TRegistryIniFile::TSectionValues &values)
{
    const int count = StrToIntDef(values.value(kCount), 0);
    if (count <= 0)
        return {};
    // Only the indexes actually stored are read: a damaged huge count must
    // not make the start-up walk billions of missing names.
    std::vector<std::pair<qint64, QString>> items;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QRegularExpressionMatch m = ItemName().match(it.key());
        if (m.hasMatch() && m.captured(1).toLongLong() < count)
            items.emplace_back(m.captured(1).toLongLong(), TrimText(it.value()));
    }
    std::sort(items.begin(), items.end());
    QStringList list;
    for (const auto &item : items)
        if (!item.second.isEmpty())
            list << item.second;
    return list;
}

// Two programs that ran at once each keep what they added: this run's new
// texts go in front of the list the file holds by now, the same text only
// once, at most 20.
TRegistryIniFile::TSectionValues MergeHistory(const TRegistryIniFile::TSectionValues &read,
                                              const TRegistryIniFile::TSectionValues &mine,
                                              const TRegistryIniFile::TSectionValues &file)
{
    const QStringList before = StoredList(read);
    QStringList merged;
    const auto add = [&merged](const QString &text) {
        if (merged.size() < MaxComboHistory && !ContainsIgnoringCase(merged, text))
            merged << text;
    };
    for (const QString &text : StoredList(mine))
        if (!ContainsIgnoringCase(before, text))
            add(text);
    for (const QString &text : StoredList(file))
        add(text);
    TRegistryIniFile::TSectionValues result;
    for (auto it = file.begin(); it != file.end(); ++it)
        if (it.key() != kCount && !ItemName().match(it.key()).hasMatch())
            result.insert(it.key(), it.value());
    for (int i = 0; i < merged.size(); ++i)
        result.insert(kItem + QString::number(i), merged.at(i));
    result.insert(kCount, QString::number(merged.size()));
    return result;
}

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
    regIni.SetSectionMerge(section, MergeHistory);
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
    box->addItems(StoredList(regIni.ReadSectionValues(section)));
}
