#pragma once
// Pictures of the program's own skin, stored as resources of the custom type "PNG". GDI+ must
// have been started (CQUIBApp does it) before a picture is loaded and while it is used.
#include "base/GdiPlus.h"

#include <memory>

// The picture with this id from the module, decoded into memory of the bitmap's own; null when
// the resource is missing or GDI+ cannot decode it. The caller owns the bitmap.
[[nodiscard]] std::unique_ptr<Gdiplus::Bitmap> LoadPngFromResource(UINT id,
                                                                   HMODULE module) noexcept;
