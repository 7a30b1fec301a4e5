#include "tools/pagescript/MessageBoxes.h"

#include "framework/MessageBox.h"
#include "tools/pagescript/Console.h"

#include <iterator>
#include <string>

namespace pagescript {
namespace {

struct BoxKind {
    const wchar_t* names;
    int buttons[3];
};
// By the type's MB_TYPEMASK value: the buttons from left to right, as MB_DEFBUTTONn counts them.
constexpr BoxKind kKinds[] = {
    {L"OK", {IDOK, 0, 0}},
    {L"OK Cancel", {IDOK, IDCANCEL, 0}},
    {L"Abort Retry Ignore", {IDABORT, IDRETRY, IDIGNORE}},
    {L"Yes No Cancel", {IDYES, IDNO, IDCANCEL}},
    {L"Yes No", {IDYES, IDNO, 0}},
    {L"Retry Cancel", {IDRETRY, IDCANCEL, 0}},
    {L"Cancel TryAgain Continue", {IDCANCEL, IDTRYAGAIN, IDCONTINUE}},
};

struct ButtonName {
    const wchar_t* name;
    int id;
};
constexpr ButtonName kAnswers[] = {
    {L"IDOK", IDOK}, {L"IDCANCEL", IDCANCEL}, {L"IDYES", IDYES}, {L"IDNO", IDNO}};

// The run's answer, set once before the script starts.
int g_answer = 0;

int AnswerOf(const BoxKind& kind, UINT type) noexcept
{
    for (int button : kind.buttons) {
        if (g_answer != 0 && button == g_answer)
            return button;
    }
    // A default beyond the box's buttons is its first, as the system takes it.
    const UINT position = (type & MB_DEFMASK) >> 8;
    return position < std::size(kind.buttons) && kind.buttons[position] ? kind.buttons[position]
                                                                        : kind.buttons[0];
}

int PrintAndAnswer(HWND, const wchar_t* text, const wchar_t* caption, UINT type) noexcept
{
    const UINT kindIndex = type & MB_TYPEMASK;
    const BoxKind& kind = kKinds[kindIndex < std::size(kKinds) ? kindIndex : 0];
    try {
        // The system shows the caption "Error" for a box without one.
        WriteLine(std::wstring(L"BOX ") + (caption ? caption : L"Error") + L" | " + text + L" | " +
                  kind.names);
    } catch (...) {
        // No memory for the line: the box is answered all the same.
    }
    return AnswerOf(kind, type);
}

} // namespace

int ButtonFromName(std::wstring_view name) noexcept
{
    for (const ButtonName& answer : kAnswers) {
        if (name == answer.name)
            return answer.id;
    }
    return 0;
}

void AnswerMessageBoxes(int answer) noexcept
{
    g_answer = answer;
    framework::SetMessageBoxHandler(&PrintAndAnswer);
}

} // namespace pagescript
