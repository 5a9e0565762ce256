#pragma once
// Pictures travel as hexadecimal text: two characters per byte, no
// separators (the catalogue's files table and the banner window).

#include <QByteArray>
#include <QString>

// Upper-case digits, the high four bits first.
QString HexEncode(const QByteArray &bytes);
// Always (length div 2) bytes: an odd last character is ignored, decoding
// stops at the first pair with a character outside "0".."f" and the rest
// stays zero. Characters inside that range that are not digits count 255.
QByteArray HexDecode(const QString &text);
