#pragma once
// The ini layout of the user's settings file, as QSettings' IniFormat writes
// and reads it, so that files written by earlier versions stay readable and
// the file stays readable by QSettings: sections in brackets ("General" for
// keys outside any), "/" in keys written as "\", other characters beyond
// letters, digits and "_-." as %XX or %UXXXX, values in UTF-8 with C-style
// escapes and quotes around texts holding ",", ";" or "=".
//
// Keys are whole paths ("2.0/cbFindGoodName/Count"); a value is kept as the
// file wrote it, so values this program never touches are written back as
// they were.

#include <QByteArray>
#include <QMap>
#include <QString>

using TIniValues = QMap<QString, QByteArray>;

// Every key of the file and its value as written; a damaged line is skipped.
TIniValues ParseIniLayout(const QByteArray &data);
// The file for values, sections in key order.
QByteArray WriteIniLayout(const TIniValues &values);

// The text a value stands for; false when it stands for none ("@Invalid()").
// A list of texts (commas outside quotes) reads as an empty text.
bool IniValueText(const QByteArray &raw, QString *text);
// The value that stands for text.
QByteArray IniRawValue(const QString &text);
