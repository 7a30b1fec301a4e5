#include "tools/pagescript/MethodTable.h"

#include "tools/pagescript/Console.h"
#include "web/BridgeTable.h"
#include "web/Sites.h"

#include <cwchar>
#include <string>

namespace pagescript {
namespace {

// The longest row, the four-parameter methods with their padding, takes about 80 characters.
constexpr size_t kLineCapacity = 160;

// The names the reference (docs/bridge.md) uses for the table's VARTYPEs.
const wchar_t* TypeName(VARTYPE type) noexcept
{
    switch (type) {
    case VT_EMPTY:
        return L"none";
    case VT_I4:
        return L"long";
    case VT_BOOL:
        return L"boolean";
    case VT_BSTR:
        return L"string";
    case VT_DISPATCH:
        return L"object";
    default:
        return L"?";
    }
}

} // namespace

bool PrintMethodTable() noexcept
{
    try {
        wchar_t line[kLineCapacity];
        std::swprintf(line, std::size(line), L"%-3ls %-18ls %-28ls %ls", L"id", L"name",
                      L"parameters", L"result");
        WriteLine(line);
        int id = 0;
        for (const auto& entry : GetBridgeTable().Entries()) {
            std::wstring parameters;
            for (unsigned i = 0; i < entry.paramCount; ++i)
                parameters.append(i ? L"," : L"").append(TypeName(entry.params[i]));
            std::swprintf(line, std::size(line), L"%-3d %-18ls %-28ls %ls", ++id, entry.name,
                          parameters.empty() ? L"-" : parameters.c_str(), TypeName(entry.result));
            WriteLine(line);
        }
        return true;
    } catch (...) {
        return false; // no memory for a line's parameter text
    }
}

void PrintOwnSites() noexcept
{
    for (const wchar_t* site : web::kOwnSites) {
        wchar_t line[kLineCapacity];
        std::swprintf(line, std::size(line), L"%-40ls %ls", site,
                      web::IsTrustedPageUrl(site) ? L"bridge" : L"no-bridge");
        WriteLine(line);
    }
}

} // namespace pagescript
