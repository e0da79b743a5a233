// The end of the user's session (log-off, shutdown, restart) and the
// recovery copy it leaves. A session ends without asking the user: the
// system gives each program a few seconds, and a question left open would
// only be cut off. So a recording or a run ends at once, letting go of every
// key and button it holds, and a list with unsaved changes is written to a
// recovery copy beside the settings file, never over the user's own file.
// The next start offers the copy back and then deletes it.
#include "app/app_main.h"

#include "config/app_parameter.h"
#include "core/array.h"
#include "core/debug.h"
#include "core/xml.h"

namespace {

// Each running copy of the program that ends with changes takes the first
// free name; the next start offers the first one there is.
const wchar_t kRecoveryBase[] = L"Taplore-recovery";
constexpr int kRecoveryCopies = 9;

// Recovery copy `index` beside the settings file into `out` (kPathCharacters
// + 1 units); false when there is no settings path or the name is too long.
bool RecoveryPath(int index, wchar_t* out) {
    const wchar_t* ini = g_config ? g_config->ini_file.GetWide() : nullptr;
    if (!ini || !ini[0]) return false;
    int folder = 0;
    for (int i = 0; ini[i]; ++i) {
        if (ini[i] == L'\\' || ini[i] == L'/') folder = i + 1;
    }
    wchar_t name[32];
    if (index == 0) {
        wsprintfW(name, L"%s.mou", kRecoveryBase);
    } else {
        wsprintfW(name, L"%s-%d.mou", kRecoveryBase, index + 1);
    }
    if (folder + lstrlenW(name) > kPathCharacters) return false;
    lstrcpynW(out, ini, folder + 1);
    lstrcatW(out, name);
    return true;
}

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

void CAppMain::EndForSession() {
    recorder.StopRecord();
    player.StopNow();
    UpdateControls();
}

bool CAppMain::KeepRecoveryCopy() {
    TakeFocusedFolderBox();
    if (!list.modified) return true;
    wchar_t path[kPathCharacters + 1];
    int index = 0;
    while (index < kRecoveryCopies && RecoveryPath(index, path) && Exists(path)) ++index;
    if (index == kRecoveryCopies || !RecoveryPath(index, path)) return false;
    // The list's own mark, so that a list from another computer is still
    // asked about before it plays.
    CArray<char> text;
    const bool written = BuildOperationText(list, list.ident, &text) && SaveXmlText(path, text);
    DebugPrint(written ? L"recovery copy : %s\n" : L"recovery copy not written : %s\n", path);
    return written;
}

void CAppMain::OfferRecovery() {
    if (EditsLocked()) return;
    wchar_t path[kPathCharacters + 1];
    int index = 0;
    while (index < kRecoveryCopies && RecoveryPath(index, path) && !Exists(path)) ++index;
    if (index == kRecoveryCopies || !RecoveryPath(index, path)) return;
    // The modal loop shows the main window only once it has nothing else to
    // do; the question belongs over it.
    if (!IsWindowVisible(main_window)) ShowWindow(main_window, SW_SHOWNORMAL);
    // Yes is the default: No lets the copy go.
    const int answer = MessageBoxW(main_window, UiText(TextId::RecoveryText), UiText(TextId::RecoveryCaption),
                                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
    if (answer == IDYES && !EditsLocked()) {
        ActionList loaded;
        const OperationFileLoad result = LoadOperationFile(&loaded, path);
        if (result.records > 0 || result.operationFile) {
            TakeList(&loaded);
            // No file of the user's: Save asks for a name, and leaving asks first.
            list.filePath.Clear();
            list.modified = 1;
            ShowList();
        }
    }
    DeleteFileW(path);
}
