// The recent files of the File menu and the files dropped on the main
// window: two more ways to open a file, both ending in Open's own steps.
#include "app/app_main.h"

#include <shellapi.h>

#include "config/app_parameter.h"
#include "core/array.h"
#include "core/debug.h"
#include "resources/resource.h"

namespace {

// Whether the name ends in ".mou", letter case ignored.
bool IsOperationFileName(const wchar_t* path) {
    const int length = lstrlenW(path);
    if (length < 4) return false;
    const wchar_t* tail = path + length - 4;
    return tail[0] == L'.' && (tail[1] | 0x20) == L'm' && (tail[2] | 0x20) == L'o' && (tail[3] | 0x20) == L'u';
}

void SaveSettingsOf(CAppParameter* parameters) {
    if (parameters->SaveSettings()) return;
    const wchar_t* path = parameters->ini_file.GetWide();
    DebugPrint(L"settings not saved : %s\n", path ? path : L"");
}

// The File menu: the pop-up that holds Exit.
HMENU FileMenu(HWND window) {
    HMENU bar = window ? GetMenu(window) : nullptr;
    const int count = bar ? GetMenuItemCount(bar) : 0;
    for (int i = 0; i < count; ++i) {
        HMENU popup = GetSubMenu(bar, i);
        if (popup && GetMenuState(popup, ID_APP_EXIT, MF_BYCOMMAND) != static_cast<UINT>(-1)) return popup;
    }
    return nullptr;
}

// The position of the item with `id` in `menu`, -1 when it has none.
int PositionOf(HMENU menu, UINT id) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(menu, i) == id) return i;
    }
    return -1;
}

}  // namespace

void CAppMain::ShowRecentFiles() {
    HMENU menu = FileMenu(main_window);
    if (!menu) return;
    for (UINT id = ID_FILE_RECENT_FIRST; id <= ID_FILE_RECENT_SEPARATOR; ++id) DeleteMenu(menu, id, MF_BYCOMMAND);
    CAppParameter* parameters = TheAppParameter();
    if (!parameters || parameters->recent_files[0].GetLength() == 0) return;
    int position = PositionOf(menu, ID_APP_EXIT);
    if (position < 0) return;
    for (int i = 0; i < kRecentFileCount; ++i) {
        const wchar_t* path = parameters->recent_files[i].GetWide();
        if (!path || !path[0]) break;
        // "&1 " and the path with every "&" doubled, so none becomes a mnemonic.
        const int length = lstrlenW(path);
        CArray<wchar_t> text;
        if (!text.Resize(4 + 2 * length + 1)) break;
        int n = 0;
        text[n++] = L'&';
        text[n++] = static_cast<wchar_t>(L'1' + i);
        text[n++] = L' ';
        for (int k = 0; k < length; ++k) {
            if (path[k] == L'&') text[n++] = L'&';
            text[n++] = path[k];
        }
        text[n] = 0;
        InsertMenuW(menu, static_cast<UINT>(position++),
                    MF_BYPOSITION | MF_STRING | (EditsLocked() ? MF_GRAYED : MF_ENABLED), ID_FILE_RECENT_FIRST + i,
                    text.Data());
    }
    InsertMenuW(menu, static_cast<UINT>(position), MF_BYPOSITION | MF_SEPARATOR, ID_FILE_RECENT_SEPARATOR, nullptr);
    DrawMenuBar(main_window);
}

const wchar_t* FullPathOf(const wchar_t* path, CArray<wchar_t>* storage) {
    if (!path || !path[0]) return path;
    // The length asked for first includes the terminator; the one written
    // then does not.
    const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0 || needed > static_cast<DWORD>(INT32_MAX) || !storage->Resize(static_cast<int>(needed))) return path;
    const DWORD length = GetFullPathNameW(path, needed, storage->Data(), nullptr);
    return length > 0 && length < needed ? storage->Data() : path;
}

void CAppMain::NoteRecentFile(const wchar_t* path) {
    CAppParameter* parameters = TheAppParameter();
    if (!parameters || !path) return;
    // A name from the command line may be relative to a folder that the
    // next start does not share.
    CArray<wchar_t> full;
    path = FullPathOf(path, &full);
    if (!parameters->AddRecentFile(path)) return;
    SaveSettingsOf(parameters);
    ShowRecentFiles();
}

void CAppMain::OpenRecentFile(int index) {
    CAppParameter* parameters = TheAppParameter();
    if (EditsLocked() || !parameters || index < 0 || index >= kRecentFileCount) return;
    const wchar_t* stored = parameters->recent_files[index].GetWide();
    if (!stored || !stored[0]) return;
    // A copy: opening the file reorders the list it comes from.
    const int length = lstrlenW(stored);
    CArray<wchar_t> path;
    if (!path.Append(stored, length + 1)) return;
    if (GetFileAttributesW(path.Data()) == INVALID_FILE_ATTRIBUTES) {
        parameters->RemoveRecentFile(index);
        SaveSettingsOf(parameters);
        ShowRecentFiles();
        ShowFormatted(main_window, UiText(TextId::OperationFileCaption), UiText(TextId::RecentMissingFormat),
                      path.Data(), MB_ICONWARNING);
    } else {
        OpenPath(path.Data());
    }
}

int CAppMain::OnDropFiles(HDROP drop, wchar_t*, int) {
    wchar_t path[kPathCharacters + 1] = {};
    bool found = false;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && !found; ++i) {
        const UINT length = DragQueryFileW(drop, i, path, kPathCharacters + 1);
        found = length > 0 && length <= kPathCharacters && IsOperationFileName(path);
    }
    DragFinish(drop);
    if (!found || EditsLocked()) return 0;
    OpenPath(path);
    return 1;
}
