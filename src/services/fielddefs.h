#pragma once
// Declaring the fields of a result query in code before it first opens: data
// fields read from the column of the same name in a fixed type, calculated
// text fields filled row by row by the query's calculated-fields handler.
// The query owns every field; the dataset must be closed.

#include <QString>

class TDataSet;
class TField;

TField *AddIntegerField(TDataSet &query, const QString &name);
TField *AddLargeintField(TDataSet &query, const QString &name);
TField *AddFloatField(TDataSet &query, const QString &name);
TField *AddStringField(TDataSet &query, const QString &name, int size);
TField *AddMemoField(TDataSet &query, const QString &name);
TField *AddCalcStringField(TDataSet &query, const QString &name, int size);

// The goods result (Query4) and the organisation result (Query5) of the main
// window, in the types of the deployment.
void DeclareGoodResultFields(TDataSet &query, bool network);
void DeclareEnprResultFields(TDataSet &query, bool network);
