#include "platform/win32/InputDialog.h"

#include <windows.h>

#include <vector>

namespace vorda::win32 {
namespace {

constexpr WORD kPromptId = 100;
constexpr WORD kEditId = 101;
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

// A DLGTEMPLATE and its items, written word by word as the dialog manager reads them.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const std::wstring& title, WORD itemCount)
    {
        PutDword(style);
        PutDword(0);
        words_.push_back(itemCount);
        PutShorts(0, 0, cx, cy);
        words_.push_back(0); // no menu
        words_.push_back(0); // the standard dialog class
        PutText(title);
        words_.push_back(8); // DS_SETFONT: point size, then the face
        PutText(L"MS Shell Dlg");
    }

    void AddItem(WORD windowClass, WORD id, DWORD style, short x, short y, short cx, short cy,
                 const std::wstring& text)
    {
        if (words_.size() % 2 != 0) {
            words_.push_back(0); // each item starts on a DWORD boundary
        }
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        PutShorts(x, y, cx, cy);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(windowClass);
        PutText(text);
        words_.push_back(0); // no creation data
    }

    [[nodiscard]] const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void PutDword(DWORD value)
    {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void PutShorts(short x, short y, short cx, short cy)
    {
        for (const short value : {x, y, cx, cy}) {
            words_.push_back(static_cast<WORD>(value));
        }
    }
    void PutText(const std::wstring& text)
    {
        words_.insert(words_.end(), text.begin(), text.end());
        words_.push_back(0);
    }

    std::vector<WORD> words_;
};

struct DialogState {
    const std::wstring* initialText;
    std::wstring typed;
};

INT_PTR CALLBACK InputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto* state = reinterpret_cast<DialogState*>(lParam);
        SetDlgItemTextW(dialog, kEditId, state->initialText->c_str());
        SetFocus(GetDlgItem(dialog, kEditId));
        return FALSE; // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
            const HWND edit = GetDlgItem(dialog, kEditId);
            std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
            state->typed = text;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) { // Cancel, Escape and the close box
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default: break;
    }
    return FALSE;
}

} // namespace

std::optional<std::wstring> ShowInputDialog(HWND__* owner, const std::wstring& prompt, const std::wstring& title,
                                            const std::wstring& initialText)
{
    // DS_SETFOREGROUND: the owner is a hidden window, so the box must take the keyboard itself.
    DialogTemplate dialog(DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
                              WS_SYSMENU,
                          240, 76, title, 4);
    dialog.AddItem(kStaticClass, kPromptId, SS_LEFT, 7, 7, 170, 40, prompt);
    dialog.AddItem(kButtonClass, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 184, 7, 50, 14, L"OK");
    dialog.AddItem(kButtonClass, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 184, 25, 50, 14, L"Cancel");
    dialog.AddItem(kEditClass, kEditId, ES_AUTOHSCROLL | ES_LEFT | WS_BORDER | WS_TABSTOP, 7, 54, 227, 13, L"");

    DialogState state{&initialText, {}};
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner,
                                                   InputDialogProc, reinterpret_cast<LPARAM>(&state));
    if (result == -1 || result == 0) {
        return std::nullopt;
    }
    return result == IDOK ? state.typed : std::wstring();
}

} // namespace vorda::win32
