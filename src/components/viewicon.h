#pragma once
// The small pictures of the windows' tool bars: the view switches (tool bar,
// status bar, extended line, details panel, currency) and the print, preview
// and save commands. Picture buttons keep a whole bar on screen at a
// window's smallest width.

#include <QIcon>

enum class TViewIcon { ToolBar, StatusBar, RichStr, FullRecv, Dollar, Preview, Print, Save };

QIcon ViewIcon(TViewIcon kind);
