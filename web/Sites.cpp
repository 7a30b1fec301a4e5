#include "web/Sites.h"

#include "base/Bstr.h"

#include <string_view>
#include <urlmon.h>
#include <wrl/client.h>

namespace web {
namespace {

struct Origin {
    Bstr scheme;
    Bstr host;
    DWORD port = 0;
};

// Only A-Z fold: a wider case mapping would let look-alikes such as U+017F (long s) or U+0131
// (dotless i) pass for ASCII letters.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i];
        wchar_t y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y)
            return false;
    }
    return true;
}

// The origin of an absolute address, parsed the way the browser parses it (the system's URI
// parser also makes a missing port the scheme's default). False for anything that is not an
// address with a host, and for addresses with user information, which our pages never carry.
bool ParseOrigin(const wchar_t* url, Origin& origin) noexcept
{
    if (!url || !*url)
        return false;
    Microsoft::WRL::ComPtr<IUri> uri;
    if (FAILED(::CreateUri(url, Uri_CREATE_CANONICALIZE, 0, &uri)))
        return false;
    Bstr userInfo;
    if (SUCCEEDED(uri->GetUserInfo(userInfo.Put())) && !userInfo.View().empty())
        return false;
    return uri->GetSchemeName(origin.scheme.Put()) == S_OK &&
           uri->GetHost(origin.host.Put()) == S_OK && !origin.host.View().empty() &&
           uri->GetPort(&origin.port) == S_OK;
}

bool SameOrigin(const Origin& a, const Origin& b) noexcept
{
    return EqualsIgnoringAsciiCase(a.scheme.View(), b.scheme.View()) &&
           EqualsIgnoringAsciiCase(a.host.View(), b.host.View()) && a.port == b.port;
}

bool FindOwnOrigin(const wchar_t* url, Origin& origin) noexcept
{
    if (!ParseOrigin(url, origin))
        return false;
    for (const wchar_t* site : kOwnSites) {
        Origin own;
        if (ParseOrigin(site, own) && SameOrigin(origin, own))
            return true;
    }
    return false;
}

} // namespace

bool IsTrustedPageUrl(const wchar_t* url) noexcept
{
    Origin origin;
    return FindOwnOrigin(url, origin) && EqualsIgnoringAsciiCase(origin.scheme.View(), L"https");
}

} // namespace web
