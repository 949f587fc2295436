// The user interface played from the tests' script: a modal dialog that receives scripted
// commands, control texts recorded, message boxes recorded and answered.
#include <deque>

#include "host_internal.h"

static const DWORD errorInvalidWindowHandle = 1400;

// The running dialog's window, and its controls' windows: the dialog's value plus 1 plus the
// control id. Nothing dereferences them.
static const ULONG_PTR dialogWindowValue = 0x100000;
static bool dialogRunning;
static bool dialogEnded;
static INT_PTR dialogResult;
static std::deque<WPARAM> scriptedCommands;
static std::map<int, std::string> controlTexts;

static std::deque<int> scriptedAnswers;
static std::vector<HostMessageBox> messageBoxes;

void hostScriptDialogCommands(const std::vector<WPARAM>& commands)
{
    scriptedCommands.assign(commands.begin(), commands.end());
}

void hostScriptMessageBoxAnswers(const std::vector<int>& answers)
{
    scriptedAnswers.assign(answers.begin(), answers.end());
}

HWND hostDialogWindow()
{
    return dialogRunning ? (HWND)dialogWindowValue : nullptr;
}

std::string hostControlText(int controlId)
{
    auto found = controlTexts.find(controlId);
    return found == controlTexts.end() ? std::string() : found->second;
}

const std::vector<HostMessageBox>& hostMessageBoxes()
{
    return messageBoxes;
}

void hostResetUi()
{
    scriptedCommands.clear();
    controlTexts.clear();
    scriptedAnswers.clear();
    messageBoxes.clear();
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC proc, LPARAM param)
{
    // An integer template id is traced as "#101".
    std::string name = (ULONG_PTR)templateName < 0x10000
                           ? "#" + std::to_string((ULONG_PTR)templateName)
                           : std::string(templateName);
    if (hostEnterCall(HostCall::DialogBoxParamA, name.c_str()).fails)
        return -1;
    if (dialogRunning || !proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    HWND dialog = (HWND)dialogWindowValue;
    dialogRunning = true;
    dialogEnded = false;
    dialogResult = 0;
    controlTexts.clear();
    proc(dialog, WM_INITDIALOG, 0, param);
    while (!dialogEnded && !scriptedCommands.empty()) {
        WPARAM command = scriptedCommands.front();
        scriptedCommands.pop_front();
        proc(dialog, WM_COMMAND, command, 0);
    }
    dialogRunning = false;
    return dialogEnded ? dialogResult : -1;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    if (!dialogRunning || dialog != (HWND)dialogWindowValue) {
        SetLastError(errorInvalidWindowHandle);
        return FALSE;
    }
    dialogEnded = true;
    dialogResult = result;
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    // The layer knows no template: every id names a control of the running dialog.
    if (!dialogRunning || dialog != (HWND)dialogWindowValue || id < 0 || id > 0xFFFF) {
        SetLastError(errorInvalidWindowHandle);
        return nullptr;
    }
    return (HWND)(dialogWindowValue + 1 + (ULONG_PTR)id);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    ULONG_PTR value = (ULONG_PTR)window;
    if (!dialogRunning || value <= dialogWindowValue || value > dialogWindowValue + 1 + 0xFFFF) {
        SetLastError(errorInvalidWindowHandle);
        return FALSE;
    }
    controlTexts[(int)(value - dialogWindowValue - 1)] = text ? text : "";
    return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (hostEnterCall(HostCall::MessageBoxA, text).fails)
        return 0;
    messageBoxes.push_back(HostMessageBox{owner, text ? text : "", caption ? caption : "", type});
    if (scriptedAnswers.empty())
        return IDOK;
    int answer = scriptedAnswers.front();
    scriptedAnswers.pop_front();
    return answer;
}
