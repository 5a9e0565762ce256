#pragma once
// The data grid unit: columns, data link, bookmarks, the grid core and its
// cell editor. Windows include this header.

#include "components/DBGrids_core.h"
#include "components/DBGrids_inplace.h"
