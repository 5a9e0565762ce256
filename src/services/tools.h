#pragma once
// The shared routines of the catalogue services in one include: formatting,
// search words, and the data date with its freshness warning.

#include "services/tools_dbdate.h"
#include "services/tools_format.h"
#include "services/tools_searchwords.h"
