#pragma once
// Marks every control of a window as drawn with the Cyrillic character set.

class QWidget;

// Windows' Cyrillic character set number, kept as the mark's value.
constexpr int RUSSIAN_CHARSET = 204;

// A window with fewer than two controls is left as it is; otherwise every
// control it holds gets the property "charset" = 204, except data grids,
// whose column fonts get character set 204 instead. Controls made later are
// not covered.
void SetFormCharsetRussian(QWidget *form);
