#include "app/PngResource.h"

#include "base/Unique.h"

#include <wrl/client.h>

#include <cstring>

namespace {

constexpr wchar_t kPngResourceType[] = L"PNG";
// PixelFormat32bppARGB: blue, green, red and alpha.
constexpr size_t kBytesPerPixel = 4;

// A GDI+ bitmap made from a stream may read the stream again while it lives, so the decoded
// pixels are copied into a bitmap of their own; the stream and its memory can then go at once.
std::unique_ptr<Gdiplus::Bitmap> CopyPixels(Gdiplus::Bitmap& decoded) noexcept
{
    const INT width = static_cast<INT>(decoded.GetWidth());
    const INT height = static_cast<INT>(decoded.GetHeight());
    if (width <= 0 || height <= 0)
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> copy(new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB));
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok)
        return nullptr;

    const Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData source{}, target{};
    if (decoded.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &source) !=
        Gdiplus::Ok)
        return nullptr;
    bool copied = false;
    if (copy->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &target) ==
        Gdiplus::Ok) {
        const size_t rowBytes = static_cast<size_t>(width) * kBytesPerPixel;
        for (INT y = 0; y < height; ++y) {
            std::memcpy(
                static_cast<BYTE*>(target.Scan0) + static_cast<ptrdiff_t>(y) * target.Stride,
                static_cast<const BYTE*>(source.Scan0) + static_cast<ptrdiff_t>(y) * source.Stride,
                rowBytes);
        }
        copied = copy->UnlockBits(&target) == Gdiplus::Ok;
    }
    (void)decoded.UnlockBits(&source);
    return copied ? std::move(copy) : nullptr;
}

} // namespace

std::unique_ptr<Gdiplus::Bitmap> LoadPngFromResource(UINT id, HMODULE module) noexcept
{
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), kPngResourceType);
    if (!resource)
        return nullptr;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return nullptr;

    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, size));
    void* copy = block ? ::GlobalLock(block.Get()) : nullptr;
    if (!copy)
        return nullptr;
    std::memcpy(copy, bytes, size);
    ::GlobalUnlock(block.Get());

    // The stream does not free the block: the owner above does, after the stream has gone.
    Microsoft::WRL::ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(block.Get(), FALSE, &stream)))
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream.Get()));
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return CopyPixels(*decoded);
}
