#pragma once
// Drop-down histories of the search boxes: the texts searched for, newest
// first, at most 20 new ones kept, stored per box in the user's settings
// ("Count", "Strting0", "Strting1", ...).

#include <QString>

class QComboBox;
class TRegistryIniFile;

constexpr int MaxComboHistory = 20;

// Puts the box's current text (trimmed) at the top of its history unless an
// item equal to it ignoring case is already there.
void RememberComboText(QComboBox *box);
void SaveComboHistory(TRegistryIniFile &regIni, QComboBox *box, const QString &section);
// Replaces the box's items by the stored texts.
void LoadComboHistory(TRegistryIniFile &regIni, QComboBox *box, const QString &section);
