#pragma once
// GDI+ needs the OLE types (PROPID, IStream) that the lean Windows headers leave out.
#include "base/Win.h"

#include <ole2.h>
#include <gdiplus.h>
