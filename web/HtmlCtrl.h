#pragma once
// CHtmlCtrl: the web page control of a dialog. It hosts the browser (as an HTML view turned
// into a plain child control), makes the browser's client site (CDocHostSite), and through its
// automation interface is the page's window.external. The script methods live in web/bridge/,
// one file per family; the table that names them is BridgeTable.cpp. Made by the hosting
// dialog with Make, which owns it and deletes it after the control's window has gone. The
// methods find the tool's folder and registry root in the places the dialog hands in, which
// outlive the control. UI thread only.
#include "base/Places.h"
#include "framework/DispatchObject.h"
#include "framework/HtmlView.h"

#include <oleauto.h>

#include <memory>

class CHtmlCtrl : public framework::WithMessageMap<CHtmlCtrl, framework::CHtmlView> {
public:
    explicit CHtmlCtrl(const paths::Places& places) noexcept;
    ~CHtmlCtrl() override;

    // The one way a dialog makes its page control; null only without memory for it.
    [[nodiscard]] static std::unique_ptr<CHtmlCtrl> Make(const paths::Places& places) noexcept;

    // Creates the control's window in place of the dialog's placeholder control, taking its
    // rectangle and id; the placeholder is destroyed. FALSE when there is no such control or
    // the window (with its browser) cannot be created.
    BOOL CreateOverPlaceholder(UINT placeholderId, framework::CWnd* parentDialog) noexcept;

    // The automation interface the page sees as window.external.
    [[nodiscard]] IDispatch* GetIDispatch(bool addRef) noexcept;

    // When true the page keeps its scroll bars and 3-D border.
    BOOL m_bScrollable = FALSE;

    // The browser's host questions, as the site forwards them.
    HRESULT OnGetExternal(IDispatch** dispatch) noexcept override;
    HRESULT OnGetHostInfo(DOCHOSTUIINFO* info) noexcept override;
    void OnNavigateComplete2(const wchar_t* url) noexcept override;
    void OnProgressChange(long progress, long progressMax) noexcept override;
    // Shows a message box of the browser's (an alert, a confirmation) as the tool's own, owned
    // by the control, and hands back the button pressed.
    virtual HRESULT OnShowMessage(HWND owner, LPOLESTR text, LPOLESTR caption, DWORD type,
                                  LPOLESTR helpFile, DWORD helpContext, LRESULT* result) noexcept;

    // The script methods, in table order. Strings arrive borrowed; BSTR results are handed over.
    long GetVersion() noexcept;
    void MoveWindow() noexcept;
    long GetMainWindow() noexcept;
    long SendMessage(long window, long message, long wParam, long lParam) noexcept;
    void ShowPageWindow() noexcept;
    long GetParentWindow() noexcept;
    long ShowWindow(long window, long showCommand) noexcept;
    void MaxOrNormalWindow() noexcept;
    long DownloadFile(const wchar_t* url, const wchar_t* fileName, long idHigh, long idLow) noexcept;
    long PauseDownload(long idHigh, long idLow) noexcept;
    long SetCallBack(IDispatch* document) noexcept;
    BSTR GetAppPath() noexcept;
    long RunExe(const wchar_t* path) noexcept;
    long UpdateBegin() noexcept;
    long Find() noexcept;
    BSTR GetConfigString(const wchar_t* section, const wchar_t* key, const wchar_t* file) noexcept;
    long SetConfigString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                         const wchar_t* file) noexcept;
    long UnzipFile(const wchar_t* zipPath, const wchar_t* targetFolder) noexcept;
    long DeleteFile(const wchar_t* path) noexcept;
    long CopyFile(const wchar_t* source, const wchar_t* target) noexcept;
    long MoveFile(const wchar_t* source, const wchar_t* target) noexcept;
    BSTR GetRegString(long root, const wchar_t* subKey, const wchar_t* valueName) noexcept;
    long SetRegString(long root, const wchar_t* subKey, const wchar_t* valueName,
                      const wchar_t* value) noexcept;
    BSTR GetFilePath(const wchar_t* path) noexcept;
    BSTR GetQuestion(const wchar_t* search) noexcept;
    long CopyStr(const wchar_t* text) noexcept;

protected:
    BOOL CreateControlSite(framework::CHtmlView* container, framework::COleControlSite** site,
                           UINT id, REFCLSID clsid) noexcept override;
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMouseActivate(WPARAM wParam, LPARAM lParam) noexcept;
    // The hosting dialog deletes the object after its window has gone.
    void PostNcDestroy() noexcept override {}
    // Gives back to the system as much of the process's memory as it will take; pages are
    // heavy while they load, and the tool sits in the tray for hours.
    virtual void TrimWorkingSet() noexcept;

private:
    friend WithMessageMap;
    static const framework::MessageMap<CHtmlCtrl> s_messageMap;

    // IDispatchEx for the page. The object's lifetime belongs to the dialog that created the
    // control, not to the count.
    class XDispatch : public framework::DispatchExObject {
    public:
        explicit XDispatch(CHtmlCtrl& outer) noexcept : m_outer(outer) {}
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                LCID locale, DISPID* ids) noexcept override;
        HRESULT InvokeFrom(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError,
                           IServiceProvider* caller) noexcept override;

    private:
        CHtmlCtrl& Outer() noexcept { return m_outer; }
        CHtmlCtrl& m_outer;
    };

    // Whether a call may reach the script methods: its caller's document, or where nothing
    // names the caller, the top-level page, must be an own page over HTTPS.
    [[nodiscard]] bool AcceptsCallFrom(IServiceProvider* caller) const noexcept;

    XDispatch m_xDispatch;
    const paths::Places& m_places;
};

// Window handles travel to the page as 32-bit longs. Windows keeps handle values within 32 bits,
// so a handle survives the trip when it is sign-extended on the way back.
[[nodiscard]] inline long WindowToLong(HWND hwnd) noexcept
{
    return static_cast<long>(reinterpret_cast<LONG_PTR>(hwnd));
}
[[nodiscard]] inline HWND LongToWindow(long value) noexcept
{
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(value));
}
