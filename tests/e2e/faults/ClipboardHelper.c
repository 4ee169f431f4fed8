/* vorda-e2e-clipboard.exe: the clipboard as another Windows program in the same Wine session uses it.
 *
 *   hold MS            opens the clipboard and keeps it open for MS milliseconds; prints "held" once
 *                      it has it and "released" when it lets go
 *   hold-at-change MS  runs until killed: at each change of the clipboard opens it at once and keeps
 *                      it open for MS milliseconds, as clipboard histories and remote desktops do;
 *                      prints "listening" once told of changes, then "held N" for each (N counts
 *                      them) and "missed N" where another program had it first
 *   set UNIT...        puts CF_UNICODETEXT made of the 16-bit units given in hex (e.g. 61 D800 0 62)
 *                      on the clipboard as they are: a NUL or a lone surrogate stays
 *   fill UNIT COUNT    puts COUNT copies of one unit on the clipboard
 *   mark FORMAT[=VALUE] UNIT...
 *                      puts the text as "set" does, and beside it the registered format FORMAT holding
 *                      the DWORD VALUE (0 unless given), as password managers mark what clipboard
 *                      monitors should leave alone or keep out of the clipboard's history
 *   lock-run-key       lets everyone read the machine's Run key but no one change its values
 *   unlock-run-key     lets everyone change it again
 *
 * Exit status: 0 done, 1 the clipboard or the key could not be opened or set, 64 wrong use. */

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Another program may have the clipboard for a moment; a few tries before giving up. */
static BOOL OpenClipboardPatiently(HWND owner)
{
    int attempt;
    for (attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(owner)) {
            return TRUE;
        }
        Sleep(50);
    }
    return FALSE;
}

static int Hold(long milliseconds)
{
    if (!OpenClipboardPatiently(NULL)) {
        fprintf(stderr, "the clipboard cannot be opened\n");
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    Sleep((DWORD)milliseconds);
    CloseClipboard();
    printf("released\n");
    fflush(stdout);
    return 0;
}

static LRESULT CALLBACK ChangeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static long changes;
    if (message == WM_CLIPBOARDUPDATE) {
        const long milliseconds = (long)GetWindowLongPtrW(window, GWLP_USERDATA);
        ++changes;
        if (OpenClipboard(window)) {
            printf("held %ld\n", changes);
            fflush(stdout);
            Sleep((DWORD)milliseconds);
            CloseClipboard();
        } else {
            printf("missed %ld\n", changes);
            fflush(stdout);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static int HoldAtChange(long milliseconds)
{
    WNDCLASSW windowClass = {0};
    HWND window;
    MSG message;
    windowClass.lpfnWndProc = ChangeProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"VordaE2eHoldAtChange";
    if (!RegisterClassW(&windowClass) ||
        !(window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                   windowClass.hInstance, NULL))) {
        fprintf(stderr, "no listening window\n");
        return 1;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)milliseconds);
    if (!AddClipboardFormatListener(window)) {
        fprintf(stderr, "not told of clipboard changes\n");
        return 1;
    }
    printf("listening\n");
    fflush(stdout);
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

/* SetClipboardData needs an owner window: with none, EmptyClipboard leaves the clipboard ownerless.
 * With a `mark` ("NAME" or "NAME=VALUE"), the registered format NAME goes beside the text, holding
 * the DWORD VALUE (0 when none is given). */
static int SetUnits(const WCHAR* units, size_t count, const char* mark)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"vorda-e2e-helper", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (count + 1) * sizeof(WCHAR));
    WCHAR* data;
    int status = 1;
    if (!owner || !memory || !(data = (WCHAR*)GlobalLock(memory))) {
        fprintf(stderr, "no owner window or memory\n");
        return 1;
    }
    memcpy(data, units, count * sizeof(WCHAR));
    data[count] = 0;
    GlobalUnlock(memory);
    if (OpenClipboardPatiently(owner)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, memory)) {
            status = 0;
        } else {
            GlobalFree(memory);
        }
        if (status == 0 && mark) {
            char name[256];
            const char* equals = strchr(mark, '=');
            const size_t nameLength = equals ? (size_t)(equals - mark) : strlen(mark);
            HGLOBAL value = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DWORD));
            DWORD* dword;
            UINT format = 0;
            if (nameLength < sizeof name) {
                memcpy(name, mark, nameLength);
                name[nameLength] = 0;
                format = RegisterClipboardFormatA(name);
            }
            if (value && equals && (dword = (DWORD*)GlobalLock(value)) != NULL) {
                *dword = (DWORD)strtoul(equals + 1, NULL, 10);
                GlobalUnlock(value);
            }
            if (!format || !value || !SetClipboardData(format, value)) {
                status = 1;
            }
        }
        CloseClipboard();
    }
    if (status != 0) {
        fprintf(stderr, "the clipboard cannot be set\n");
    }
    DestroyWindow(owner);
    return status;
}

static int Set(int count, char** hexUnits, const char* mark)
{
    WCHAR* units = (WCHAR*)malloc(((size_t)count + 1) * sizeof(WCHAR));
    int i, status;
    for (i = 0; i < count; ++i) {
        units[i] = (WCHAR)strtoul(hexUnits[i], NULL, 16);
    }
    status = SetUnits(units, (size_t)count, mark);
    free(units);
    return status;
}

static int Fill(const char* hexUnit, long count)
{
    const WCHAR unit = (WCHAR)strtoul(hexUnit, NULL, 16);
    WCHAR* units = (WCHAR*)malloc((size_t)count * sizeof(WCHAR));
    long i;
    int status;
    if (!units) {
        fprintf(stderr, "no memory for %ld units\n", count);
        return 1;
    }
    for (i = 0; i < count; ++i) {
        units[i] = unit;
    }
    status = SetUnits(units, (size_t)count, NULL);
    free(units);
    return status;
}

/* The key's only access rule, for everyone (S-1-1-0): reading and rewriting the rules, and
 * changing values only when `writable`. */
static int SetRunKeyRule(BOOL writable)
{
    SID_IDENTIFIER_AUTHORITY world = {SECURITY_WORLD_SID_AUTHORITY};
    const DWORD access = writable ? KEY_ALL_ACCESS : (KEY_READ | WRITE_DAC | READ_CONTROL);
    BYTE aclBuffer[256];
    PACL acl = (PACL)aclBuffer;
    SECURITY_DESCRIPTOR descriptor;
    PSID everyone = NULL;
    HKEY key = NULL;
    LONG status;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) ||
        !InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, access, everyone) ||
        !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) {
        fprintf(stderr, "the access rule cannot be built\n");
        return 1;
    }
    status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                           WRITE_DAC | READ_CONTROL, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
        RegCloseKey(key);
    }
    FreeSid(everyone);
    if (status != ERROR_SUCCESS) {
        fprintf(stderr, "the Run key's access rule cannot be set (error %ld)\n", status);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc >= 3 && strcmp(argv[1], "hold") == 0) {
        return Hold(strtol(argv[2], NULL, 10));
    }
    if (argc == 3 && strcmp(argv[1], "hold-at-change") == 0) {
        return HoldAtChange(strtol(argv[2], NULL, 10));
    }
    if (argc >= 3 && strcmp(argv[1], "set") == 0) {
        return Set(argc - 2, argv + 2, NULL);
    }
    if (argc >= 4 && strcmp(argv[1], "mark") == 0) {
        return Set(argc - 3, argv + 3, argv[2]);
    }
    if (argc == 4 && strcmp(argv[1], "fill") == 0) {
        return Fill(argv[2], strtol(argv[3], NULL, 10));
    }
    if (argc == 2 && strcmp(argv[1], "lock-run-key") == 0) {
        return SetRunKeyRule(FALSE);
    }
    if (argc == 2 && strcmp(argv[1], "unlock-run-key") == 0) {
        return SetRunKeyRule(TRUE);
    }
    fprintf(stderr, "usage: %s hold MS | hold-at-change MS | set UNIT... | fill UNIT COUNT | mark FORMAT[=VALUE] UNIT... | lock-run-key | unlock-run-key\n", argv[0]);
    return 64;
}
