// The framework's modal loop (its owner, a quit arriving while it runs), its message boxes as a
// host without a screen takes them over, its dispatch tables (lookup by name, and every way a
// script's call can go right or wrong) and the user's texts.
#include "base/Bstr.h"
#include "base/ExceptionInfo.h"
#include "base/Variant.h"
#include "framework/Dialog.h"
#include "framework/DispatchMap.h"
#include "framework/MessageBox.h"
#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

namespace {

// Once up, it notes its owner and whether that takes input, and posts a quit with exit code 5.
class QuitOnInit : public framework::CDialog {
public:
    QuitOnInit() : CDialog(IDD_DIALOG_SET) {}

    HWND m_hOwner = nullptr;
    BOOL m_bOwnerEnabled = TRUE;

protected:
    BOOL OnInitDialog() noexcept override
    {
        CDialog::OnInitDialog();
        m_hOwner = ::GetWindow(m_hWnd, GW_OWNER);
        m_bOwnerEnabled = ::IsWindowEnabled(m_hOwner);
        ::PostQuitMessage(5);
        return TRUE;
    }
};

// The boxes a host's handler was asked for: owner, text, caption, type.
std::vector<std::tuple<HWND, std::wstring, std::wstring, UINT>> g_boxes;

int NoteAndSayNo(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) noexcept
{
    g_boxes.emplace_back(owner, text, caption ? caption : L"(none)", type);
    return IDNO;
}

// A target with one method of each kind, counting the calls that reached it.
struct Target {
    long Add(long a, long b) noexcept { return ++calls, a + b; }
    BSTR Echo(const wchar_t* text) noexcept { return ++calls, ::SysAllocString(text); }
    long IsEmpty(const wchar_t* text) noexcept { return ++calls, *text == L'\0'; }
    long Throws() { throw std::bad_alloc(); }
    long TakesObject(IDispatch* object) noexcept { return ++calls, object != nullptr; }
    int calls = 0;
};

constexpr framework::DispatchEntry<Target> kEntries[] = {
    framework::DispMethod<&Target::Add, VT_I4>(L"Add"),
    framework::DispMethod<&Target::Echo, VT_BSTR>(L"Echo"),
    framework::DispMethod<&Target::IsEmpty, VT_BOOL>(L"IsEmpty"),
    framework::DispMethod<&Target::Throws, VT_I4>(L"Throws"),
    framework::DispMethod<&Target::TakesObject, VT_I4>(L"TakesObject"),
};
const framework::DispatchTable<Target, 5> kTable(kEntries);

// Script arguments: a number, or a text (a null one stands for a null string).
using Args = std::vector<std::variant<long, const wchar_t*>>;

// A result as the test writes it: 42, "text", true, or its type when it is none of these.
std::string Shown(const VARIANT& v)
{
    if (V_VT(&v) == VT_BSTR)
        return '"' + test::Utf8(V_BSTR(&v)) + '"';
    if (V_VT(&v) == VT_BOOL)
        return V_BOOL(&v) == VARIANT_TRUE ? "true" : "false";
    return V_VT(&v) == VT_I4 ? std::to_string(V_I4(&v)) : "vt " + std::to_string(V_VT(&v));
}

} // namespace

// OK, Cancel and the data exchange both ways are exercised by the settings dialog's tests.
TEST(ModalDialog, OwnedByTheMainWindowAndEndedByAQuitThatIsLeftForTheEnclosingLoop)
{
    framework::CWinApp app;
    framework::CDialog main(IDD_DIALOG_SET);
    ASSERT_TRUE(main.CreateModeless(nullptr));
    app.m_pMainWnd = &main;
    QuitOnInit dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.m_hOwner, main.m_hWnd);
    EXPECT_FALSE(dialog.m_bOwnerEnabled) << "the owner takes no input meanwhile";
    EXPECT_TRUE(::IsWindowEnabled(main.m_hWnd)) << "and again afterwards";
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was lost";
    EXPECT_EQ(msg.wParam, 5u);
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(main.m_hWnd);
}

TEST(MessageBoxes, TheApplicationsBoxReachesTheHostWithItsOwnerCaptionAndWarningIcon)
{
    framework::CWinApp app;
    framework::CDialog main(IDD_DIALOG_SET);
    ASSERT_TRUE(main.CreateModeless(nullptr));
    app.m_pMainWnd = &main;
    framework::SetMessageBoxHandler(&NoteAndSayNo);
    const std::pair<UINT, UINT> types[] = {// asked for, then shown
                                           {MB_OK, MB_OK | MB_ICONEXCLAMATION},
                                           {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
                                           {MB_YESNO, MB_YESNO},
                                           {MB_OK | MB_ICONHAND, MB_OK | MB_ICONHAND}};
    for (const auto& [asked, shown] : types) {
        g_boxes.clear();
        EXPECT_EQ(framework::AfxMessageBox(L"游戏不能运行", asked), IDNO) << "type " << asked;
        const decltype(g_boxes) expected = {
            {main.m_hWnd, L"游戏不能运行", app.GetAppName(), shown}};
        EXPECT_EQ(g_boxes, expected) << "type " << asked;
    }
    g_boxes.clear();
    EXPECT_EQ(framework::ShowMessageBox(nullptr, L"发现新版本", L"更新", MB_OKCANCEL), IDNO);
    EXPECT_EQ(g_boxes, (decltype(g_boxes){{nullptr, L"发现新版本", L"更新", MB_OKCANCEL}}))
        << "a plain box is passed on as it is";
    framework::SetMessageBoxHandler(nullptr);
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(main.m_hWnd);
}

TEST(DispatchTable, NamesMatchWithoutCaseIdsArePositionsAndCallsConvertOrNameTheFailure)
{
    for (const auto& [name, id] : {std::pair{L"Add", 1},
                                   {L"ECHO", 2},
                                   {L"takesobject", 5},
                                   {L"Missing", int(DISPID_UNKNOWN)}}) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name), const_cast<LPOLESTR>(L"a")};
        DISPID ids[2] = {0, 0};
        EXPECT_EQ(kTable.GetIDsOfNames(names, 1, ids), id > 0 ? S_OK : DISP_E_UNKNOWNNAME);
        EXPECT_EQ(kTable.GetIDsOfNames(names, 2, ids), DISP_E_UNKNOWNNAME) << "a parameter name";
        EXPECT_TRUE(ids[0] == id && ids[1] == DISPID_UNKNOWN) << test::Utf8(name);
    }
    constexpr UINT kNone = 99; // the failing argument's slot, last-first as the array holds them
    struct Call {
        DISPID id;
        Args args;  // in script order
        bool named; // passed as named arguments
        HRESULT hr;
        UINT slot; // of the failing argument
        const char* result;
        int calls; // that reached the target
    };
    for (const auto& [id, args, named, hr, slot, result, calls] : {
             Call{1, {L"40", 2L}, false, S_OK, kNone, "42", 1},
             {2, {5L}, false, S_OK, kNone, "\"5\"", 1},
             {3, {nullptr}, false, S_OK, kNone, "true", 1}, // a null string is empty
             {3, {L"a"}, false, S_OK, kNone, "false", 1},
             {1, {1L, L"x"}, false, DISP_E_TYPEMISMATCH, 0u, "vt 0", 0},
             {5, {3L}, false, DISP_E_TYPEMISMATCH, 0u, "vt 0", 0},
             {4, {1L}, false, DISP_E_BADPARAMCOUNT, kNone, "vt 0", 0},
             {1, {1L}, false, DISP_E_PARAMNOTOPTIONAL, kNone, "vt 0", 0},
             {2, {L"a"}, true, DISP_E_NONAMEDARGS, kNone, "vt 0", 0},
             {0, {}, false, DISP_E_MEMBERNOTFOUND, kNone, "vt 0", 0},
             {6, {}, false, DISP_E_MEMBERNOTFOUND, kNone, "vt 0", 0},
             {4, {}, false, DISP_E_EXCEPTION, kNone, "vt 0", 0},
         }) {
        SCOPED_TRACE(testing::Message() << "method " << id << " with " << args.size() << " args");
        std::vector<Bstr> texts;    // the arguments' strings, which the array only borrows
        std::vector<VARIANT> array; // the script's arguments last-first
        for (const auto& arg : args) {
            VARIANT v{};
            if (const long* number = std::get_if<long>(&arg)) {
                V_VT(&v) = VT_I4, V_I4(&v) = *number;
            } else {
                texts.emplace_back().Reset(::SysAllocString(std::get<1>(arg)));
                V_VT(&v) = VT_BSTR, V_BSTR(&v) = texts.back().Get();
            }
            array.insert(array.begin(), v);
        }
        DISPID namedId = 0;
        DISPPARAMS params{array.data(), named ? &namedId : nullptr, UINT(array.size()), named};
        Target target;
        Variant out;
        ExceptionInfo exception;
        UINT argError = kNone;
        EXPECT_EQ(
            kTable.Invoke(target, id, DISPATCH_METHOD, &params, out.Put(), &exception, &argError),
            hr);
        EXPECT_EQ(argError, slot);
        EXPECT_EQ(Shown(*out.Get()), result);
        EXPECT_EQ(target.calls, calls);
        EXPECT_EQ(exception.scode, hr == DISP_E_EXCEPTION ? E_OUTOFMEMORY : S_OK);
        EXPECT_EQ(exception.bstrDescription != nullptr, hr == DISP_E_EXCEPTION);
    }
    // The platform's copy above makes a null string an empty one; a conversion that kept it (as
    // SysAllocString does) must not hand the handler a null pointer either.
    VARIANT none{};
    V_VT(&none) = VT_BSTR;
    Target target;
    Variant out;
    kEntries[2].invoke(target, &none, out.Put());
    EXPECT_EQ(Shown(*out.Get()), "true") << "a null string reached the handler as a null pointer";
}

// Every text the user is shown comes from the string table, where a translation would replace it.
TEST(StringTable, EachIdLoadsItsExactTextAndAnIdWithoutEntryNone)
{
    for (const auto& [id, text] : {
             std::pair<UINT, std::wstring_view>{IDS_SHOW_WINDOW, L"显示窗口"},
             {IDS_HIDE_WINDOW, L"隐藏窗口"},
             {IDS_CLOSE_PROMPT, L"你确实要退出程序吗？\n是：退出程序\n否：最小化到托盘"},
             {IDS_CLOSE_CAPTION, L"关闭"},
             {IDS_UPDATE_PROMPT, L"发现服务器有新版本，是否升级？"},
             {IDS_UPDATE_CAPTION, L"更新"},
             {IDS_UPDATER_FETCH_FAILED, L"更新工具下载失败!"},
             {IDS_BROWSE_GAME_DIR, L"请选择《Valdmark》目录："},
             {IDS_NO_GAME_DIR, L"未指定游戏目录。"},
             {IDS_NO_LAUNCHER, L"没有找到 Launch.exe，请确认所选择的目录。"},
             {IDS_CONFIG_WRITE_FAILED, L"错误"},
             {IDS_RUN_FAILED, L"游戏不能运行，请检查游戏文件是否完整"},
             {IDS_CLIPBOARD_OPEN_FAILED, L"打开剪切板失败"},
             {IDS_CLIPBOARD_EMPTY_FAILED, L"清空剪切板失败"},
             {IDS_APP_TITLE, L"QUIB"},
             {299, L""}, // beside the entries, with none of its own
         })
        EXPECT_EQ(framework::LoadText(id), text) << "id " << id;
}
