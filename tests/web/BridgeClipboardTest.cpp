// CopyStr as a page calls it, with the real clipboard (it works with Wine's null driver too).
#include "base/Unique.h"
#include "tests/support/PageScript.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <optional>

namespace {

std::string RunScript(const std::string& script)
{
    const test::ProcessResult result = test::RunPageScript(script + "exit(0);");
    EXPECT_TRUE(result.started) << "pagescript.exe did not start";
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    return result.output;
}

bool PutText(const std::wstring& text)
{
    if (!::OpenClipboard(nullptr))
        return false;
    bool placed = false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (block && ::EmptyClipboard()) {
        std::memcpy(::GlobalLock(block.Get()), text.c_str(), bytes);
        ::GlobalUnlock(block.Get());
        placed = ::SetClipboardData(CF_UNICODETEXT, block.Get()) != nullptr;
        if (placed)
            (void)block.Release();
    }
    ::CloseClipboard();
    return placed;
}

std::optional<std::wstring> ReadText()
{
    if (!::OpenClipboard(nullptr))
        return std::nullopt;
    std::optional<std::wstring> text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        const auto* characters = static_cast<const wchar_t*>(::GlobalLock(data));
        if (characters)
            text = std::wstring(characters, ::wcsnlen(characters, ::GlobalSize(data) / 2));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
}

} // namespace

TEST(CopyStrMethod, PutsChineseTextOnTheClipboard)
{
    ASSERT_TRUE(PutText(L"old"));

    EXPECT_EQ(RunScript("print(external.CopyStr('复制：瓦尔德马克 Valdmark 1.0'));"), "true\n");

    EXPECT_EQ(ReadText(), std::optional<std::wstring>(L"复制：瓦尔德马克 Valdmark 1.0"));
}

TEST(CopyStrMethod, AnEmptyTextReplacesTheOldOne)
{
    ASSERT_TRUE(PutText(L"old"));

    EXPECT_EQ(RunScript("print(external.CopyStr(''));"), "true\n");

    EXPECT_EQ(ReadText(), std::optional<std::wstring>(L""));
}

TEST(CopyStrMethod, AClipboardHeldElsewhereShowsTheMessageAndKeepsItsText)
{
    ASSERT_TRUE(PutText(L"old"));
    // Open for another window than the control's: the page's attempt must fail.
    ASSERT_TRUE(::OpenClipboard(nullptr));
    test::BoxAnswerer player({{L"QUIB", IDOK, L"pagescript"}}, test::Whose::StartedPrograms);

    const std::string output = RunScript("print(external.CopyStr('新'));");
    const std::vector<std::wstring> boxes = player.Texts();
    ::CloseClipboard();

    EXPECT_EQ(output, "false\n");
    EXPECT_EQ(boxes, std::vector<std::wstring>{L"打开剪切板失败"});
    EXPECT_EQ(ReadText(), std::optional<std::wstring>(L"old"));
}
