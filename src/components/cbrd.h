#pragma once
// Text to the system clipboard as Unicode, so Cyrillic survives the paste.

#include <QString>

// An empty text leaves the clipboard as it is.
void CopyTextToClipboard(const QString &text);
