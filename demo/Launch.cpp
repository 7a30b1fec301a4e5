// Launch.exe of the demo's sample game: the launcher a player's portal starts once the game is
// unpacked. It writes one line into "launched.txt" beside itself, saying where it lies and which
// working folder it was started in, and ends. The file appears whole, because the page waits for
// it: the line is written under another name first and renamed. A windows program, as a game's
// launcher is: no console is made for it.
#include "base/Text.h"
#include "base/Unique.h"

#include <string>

namespace {

constexpr wchar_t kMarkerName[] = L"launched.txt";
constexpr wchar_t kPartialName[] = L"launched.tmp";

// The launcher's own folder without its last separator, as a player would name it.
std::wstring OwnFolder()
{
    wchar_t module[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::wstring path(module, length);
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring WorkingFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, folder);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

[[nodiscard]] bool WriteWhole(const std::wstring& path, const std::string& bytes)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int)
{
    const std::wstring folder = OwnFolder();
    if (folder.empty())
        return 1;
    const std::string line = text::ToUtf8(L"Valdmark launcher started in " + folder +
                                          L"; working folder " + WorkingFolder()) +
                             "\r\n";
    const std::wstring partial = folder + L"\\" + kPartialName;
    if (!WriteWhole(partial, line)) {
        ::DeleteFileW(partial.c_str());
        return 1;
    }
    return ::MoveFileExW(partial.c_str(), (folder + L"\\" + kMarkerName).c_str(),
                         MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}
