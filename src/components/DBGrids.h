#pragma once
// The data grid unit: columns, data link, bookmarks, the grid core and its
// cell editor, and the marking grid the windows use. Windows include this
// header.

#include "components/DBGrid.h"
#include "components/DBGrids_core.h"
#include "components/DBGrids_inplace.h"
