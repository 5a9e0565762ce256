// The grid's part of a window definition: its customized columns as a JSON
// array under "Columns". A column keeps its field name, the values the
// program assigned (when they differ from what the column would show
// anyway) and the settings whose value is not the usual one.
#include "components/DBGrids_core.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {
const QString kColumns = QStringLiteral("Columns");

QJsonObject FontToJson(const TFont &font)
{
    return QJsonObject{{QStringLiteral("Face"), font.Font().toString()},
                       {QStringLiteral("Color"), font.Color().name(QColor::HexArgb)},
                       {QStringLiteral("Charset"), font.Charset()}};
}

void FontFromJson(TFont &font, const QJsonObject &json)
{
    TFont loaded;
    QFont face;
    face.fromString(json.value(QStringLiteral("Face")).toString());
    loaded.SetFont(face);
    loaded.SetColor(QColor::fromString(json.value(QStringLiteral("Color")).toString()));
    loaded.SetCharset(json.value(QStringLiteral("Charset")).toInt(DEFAULT_CHARSET));
    font.Assign(loaded);
    // Counts as assigned even when it equals the font it would follow.
    font.SetCharset(loaded.Charset());
}

QString ColorText(const QColor &color)
{
    return color.name(QColor::HexArgb);
}
} // namespace

void TCustomDBGrid::DeclareStoredProperties(QJsonObject &definition)
{
    definition.remove(kColumns);
    TDBGridColumns &columns = Columns();
    if (columns.QueryState() != CustomizedColumns)
        return;
    QJsonArray stored;
    for (int i = 0; i < columns.Count(); ++i) {
        TColumn *c = columns[i];
        const TColumnValues flags = c->AssignedFlags();
        QJsonObject col;
        if (!c->FieldName().isEmpty())
            col.insert(QStringLiteral("FieldName"), c->FieldName());
        if ((flags & avAlignment) && c->Alignment() != c->DefaultAlignment())
            col.insert(QStringLiteral("Alignment"), int(c->Alignment()));
        if ((flags & avColor) && c->Color() != c->DefaultColor())
            col.insert(QStringLiteral("Color"), ColorText(c->Color()));
        if ((flags & avImeMode) && c->ImeMode() != c->DefaultImeMode())
            col.insert(QStringLiteral("ImeMode"), int(c->ImeMode()));
        if ((flags & avImeName) && c->ImeName() != c->DefaultImeName())
            col.insert(QStringLiteral("ImeName"), c->ImeName());
        if ((flags & avReadOnly) && c->ReadOnly() != c->DefaultReadOnly())
            col.insert(QStringLiteral("ReadOnly"), c->ReadOnly());
        if ((flags & avWidth) && c->m_width != c->NaturalWidth())
            col.insert(QStringLiteral("Width"), c->m_width);
        if (flags & avFont)
            col.insert(QStringLiteral("Font"), FontToJson(c->Font()));
        if (c->ButtonStyle() != cbsAuto)
            col.insert(QStringLiteral("ButtonStyle"), int(c->ButtonStyle()));
        if (c->DropDownRows() != 7)
            col.insert(QStringLiteral("DropDownRows"), int(c->DropDownRows()));
        if (!c->m_expanded)
            col.insert(QStringLiteral("Expanded"), false);
        col.insert(QStringLiteral("Visible"), c->m_visible);
        if (c->HasPickList() && !c->PickList().isEmpty())
            col.insert(QStringLiteral("PickList"), QJsonArray::fromStringList(c->PickList()));
        if (c->PopupMenu() && !c->PopupMenu()->objectName().isEmpty())
            col.insert(QStringLiteral("PopupMenu"), c->PopupMenu()->objectName());

        TColumnTitle &t = c->Title();
        QJsonObject title;
        if ((flags & avTitleAlignment) && t.Alignment() != taLeftJustify)
            title.insert(QStringLiteral("Alignment"), int(t.Alignment()));
        if ((flags & avTitleCaption) && t.Caption() != t.DefaultCaption())
            title.insert(QStringLiteral("Caption"), t.Caption());
        if ((flags & avTitleColor) && t.Color() != t.DefaultColor())
            title.insert(QStringLiteral("Color"), ColorText(t.Color()));
        if (flags & avTitleFont)
            title.insert(QStringLiteral("Font"), FontToJson(t.Font()));
        if (!title.isEmpty())
            col.insert(QStringLiteral("Title"), title);
        stored.append(col);
    }
    definition.insert(kColumns, stored);
}

void TCustomDBGrid::LoadStoredProperties(const QJsonObject &definition)
{
    const QJsonValue value = definition.value(kColumns);
    if (!value.isArray())
        return;
    BeginLoad();
    try {
        Columns().Clear();
        for (const QJsonValue &v : value.toArray()) {
            const QJsonObject col = v.toObject();
            TColumn *c = Columns().AppendColumn();
            c->SetFieldName(col.value(QStringLiteral("FieldName")).toString());
            if (col.contains(QStringLiteral("Alignment")))
                c->SetAlignment(TAlignment(col.value(QStringLiteral("Alignment")).toInt()));
            if (col.contains(QStringLiteral("Color")))
                c->SetColor(QColor::fromString(col.value(QStringLiteral("Color")).toString()));
            if (col.contains(QStringLiteral("ImeMode")))
                c->SetImeMode(TImeMode(col.value(QStringLiteral("ImeMode")).toInt()));
            if (col.contains(QStringLiteral("ImeName")))
                c->SetImeName(col.value(QStringLiteral("ImeName")).toString());
            if (col.contains(QStringLiteral("ReadOnly")))
                c->SetReadOnly(col.value(QStringLiteral("ReadOnly")).toBool());
            if (col.contains(QStringLiteral("Width")))
                c->SetWidth(col.value(QStringLiteral("Width")).toInt());
            if (col.contains(QStringLiteral("Font")))
                FontFromJson(c->Font(), col.value(QStringLiteral("Font")).toObject());
            c->SetButtonStyle(TColumnButtonStyle(col.value(QStringLiteral("ButtonStyle")).toInt(cbsAuto)));
            c->SetDropDownRows(unsigned(col.value(QStringLiteral("DropDownRows")).toInt(7)));
            c->m_expanded = col.value(QStringLiteral("Expanded")).toBool(true);
            c->m_visible = col.value(QStringLiteral("Visible")).toBool(true);
            if (col.contains(QStringLiteral("PickList"))) {
                QStringList lines;
                for (const QJsonValue &line : col.value(QStringLiteral("PickList")).toArray())
                    lines << line.toString();
                c->SetPickList(&lines);
            }
            if (col.contains(QStringLiteral("PopupMenu")) && window())
                c->SetPopupMenu(window()->findChild<QMenu *>(col.value(QStringLiteral("PopupMenu")).toString()));

            const QJsonObject title = col.value(QStringLiteral("Title")).toObject();
            TColumnTitle &t = c->Title();
            if (title.contains(QStringLiteral("Alignment")))
                t.SetAlignment(TAlignment(title.value(QStringLiteral("Alignment")).toInt()));
            if (title.contains(QStringLiteral("Caption")))
                t.SetCaption(title.value(QStringLiteral("Caption")).toString());
            if (title.contains(QStringLiteral("Color")))
                t.SetColor(QColor::fromString(title.value(QStringLiteral("Color")).toString()));
            if (title.contains(QStringLiteral("Font")))
                FontFromJson(t.Font(), title.value(QStringLiteral("Font")).toObject());
        }
    } catch (...) {
        EndLoad();
        throw;
    }
    EndLoad();
}
