// Script methods that answer the page about the tool itself.
#include "base/Bstr.h"
#include "base/Paths.h"
#include "web/HtmlCtrl.h"
#include "web/bridge/Questions.h"

std::vector<std::wstring> g_arrQuestions;

namespace {

constexpr long kBridgeVersion = 1;
constexpr size_t kMaxQuestions = 30;
constexpr wchar_t kQuestionSeparator[] = L"#@#";

} // namespace

long CHtmlCtrl::GetVersion() noexcept { return kBridgeVersion; }

void CHtmlCtrl::ShowPageWindow() noexcept {}

BSTR CHtmlCtrl::GetAppPath() noexcept { return Bstr(paths::GetAppDirectory()).Detach(); }

BSTR CHtmlCtrl::GetQuestion(const wchar_t* search) noexcept
{
    const std::wstring_view wanted(search);
    std::wstring result;
    size_t taken = 0;
    for (const std::wstring& question : g_arrQuestions) {
        if (question.find(wanted) == std::wstring::npos)
            continue;
        if (taken == kMaxQuestions)
            break;
        result.append(question).append(kQuestionSeparator);
        ++taken;
    }
    return Bstr(result).Detach();
}
