#pragma once
// The archives that make_fixtures.py made beside the test programs.
#include "tests/support/Files.h"

#include <string>
#include <string_view>

inline std::wstring Fixture(std::wstring_view name)
{
    return test::ProgramPath(L"zip-fixtures\\" + std::wstring(name));
}
