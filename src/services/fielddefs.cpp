#include "services/fielddefs.h"

#include "data/dataset.h"

namespace {

TField *Declare(TDataSet &query, std::unique_ptr<TField> field, TFieldKind kind, const QString &name)
{
    field->SetFieldKind(kind);
    field->SetFieldName(name);
    return query.AddField(std::move(field));
}

} // namespace

TField *AddIntegerField(TDataSet &query, const QString &name)
{
    return Declare(query, std::make_unique<TIntegerField>(), fkData, name);
}

TField *AddLargeintField(TDataSet &query, const QString &name)
{
    return Declare(query, std::make_unique<TLargeintField>(), fkData, name);
}

TField *AddFloatField(TDataSet &query, const QString &name)
{
    return Declare(query, std::make_unique<TFloatField>(), fkData, name);
}

TField *AddStringField(TDataSet &query, const QString &name, int size)
{
    return Declare(query, std::make_unique<TStringField>(size), fkData, name);
}

TField *AddMemoField(TDataSet &query, const QString &name)
{
    return Declare(query, std::make_unique<TMemoField>(), fkData, name);
}

TField *AddCalcStringField(TDataSet &query, const QString &name, int size)
{
    return Declare(query, std::make_unique<TStringField>(size), fkCalculated, name);
}

namespace {

// Texts: memo on SQLite (any length), fixed-size strings on the server.
TField *AddText(TDataSet &q, const QString &name, bool network, int size)
{
    return network ? AddStringField(q, name, size) : AddMemoField(q, name);
}

// Keys that the server gives as 64-bit integers.
TField *AddKey(TDataSet &q, const QString &name, bool network)
{
    return network ? AddLargeintField(q, name) : AddIntegerField(q, name);
}

} // namespace

void DeclareGoodResultFields(TDataSet &q, bool network)
{
    AddCalcStringField(q, QStringLiteral("sprice"), 20);
    AddCalcStringField(q, QStringLiteral("sname"), 255);
    AddFloatField(q, QStringLiteral("price"));
    AddText(q, QStringLiteral("name"), network, 255);
    AddText(q, QStringLiteral("cur"), network, 10);
    AddText(q, QStringLiteral("sfn"), network, 255);
    AddCalcStringField(q, QStringLiteral("ssfn"), 255);
    AddFloatField(q, QStringLiteral("price_rub"));
    if (network)
        AddIntegerField(q, QStringLiteral("org"));
    AddKey(q, QStringLiteral("id"), network);
    AddStringField(q, QStringLiteral("discount"), 1);
    AddKey(q, QStringLiteral("cid"), network);
    AddKey(q, QStringLiteral("fid"), network);
    AddIntegerField(q, QStringLiteral("adr_id"));
    AddIntegerField(q, QStringLiteral("gid"));
    AddCalcStringField(q, QStringLiteral("wgroupname"), 255);
    AddCalcStringField(q, QStringLiteral("wsupergroupname"), 255);
    AddCalcStringField(q, QStringLiteral("sphones"), 255);
}

void DeclareEnprResultFields(TDataSet &q, bool network)
{
    AddKey(q, QStringLiteral("cid"), network);
    AddKey(q, QStringLiteral("fid"), network);
    AddIntegerField(q, QStringLiteral("adr_id"));
    if (network)
        AddIntegerField(q, QStringLiteral("org"));
    AddText(q, QStringLiteral("sfn"), network, 255);
    AddCalcStringField(q, QStringLiteral("sallinfo"), 255);
    AddText(q, QStringLiteral("street_name"), network, 255);
    AddText(q, QStringLiteral("name_big"), network, 255);
    AddText(q, QStringLiteral("street_type"), network, 255);
    AddText(q, QStringLiteral("house"), network, 10);
    AddText(q, QStringLiteral("lit"), network, 10);
    AddText(q, QStringLiteral("office"), network, 10);
    AddText(q, QStringLiteral("ext"), network, 100);
    AddText(q, QStringLiteral("city_name"), network, 20);
    AddCalcStringField(q, QStringLiteral("ssfn"), 255);
}
