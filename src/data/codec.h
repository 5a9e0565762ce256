#pragma once
// Windows-1251, the single-byte code page of the catalogue, converted at the
// few places where bytes leave or enter the program (database, files,
// telephony messages). Own table: no dependency on the system's codecs.

#include <QByteArray>
#include <QString>

// Characters outside the code page become '?'.
QByteArray ToCp1251(const QString &text);
QString FromCp1251(const QByteArray &bytes);
QString FromCp1251(const char *bytes, qsizetype length);

// The code page's own upper and lower case of one byte (Latin and Cyrillic,
// Ё, and the other letters of the page).
unsigned char Cp1251Upper(unsigned char c);
unsigned char Cp1251Lower(unsigned char c);

// True when every character of the text exists in the code page.
bool IsCp1251Encodable(const QString &text);
