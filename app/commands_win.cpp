// The commands of the main window: record and play, the editing commands
// with the operation edit dialog, the screenshot settings and the settings
// dialog. The file commands are in file_commands_win.cpp, the frame's own
// commands (About, Help, Language, Exit) in the frame.
#include "app/app_main.h"

#include <shlobj.h>

#include "config/app_parameter.h"
#include "dialogs/action_edit_dialog_win.h"
#include "dialogs/config_dialog_win.h"
#include "frame/dialog.h"
#include "resources/resource.h"

namespace {

// Whether `text` (null or empty counting as empty) is the text of `stored`.
bool SameText(const CString& stored, const wchar_t* text) {
    if (!text || !text[0]) return stored.GetLength() == 0;
    return stored.IsEqual(text) != 0;
}

}  // namespace

void CAppMain::OnCommand(int id, int code) {
    switch (id) {
    case IDC_RECORD_START:
        StartRecord();
        break;
    case IDC_RECORD_STOP:
        recorder.StopRecord();
        break;
    case IDC_PLAY_START:
        StartPlay();
        break;
    case IDC_PLAY_STOP:
        player.StopPlay();
        break;
    case IDC_ADD:
        AddRecord();
        break;
    case IDC_MODIFY:
        ModifyRecord();
        break;
    case IDC_DELETE:
        DeleteRecord();
        break;
    case IDC_DELETE_ALL:
        DeleteAllRecords();
        break;
    case IDC_MOVE_UP:
        MoveRecord(-1);
        break;
    case IDC_MOVE_DOWN:
        MoveRecord(1);
        break;
    case IDC_REPEAT:
        if (code == BN_CLICKED) ToggleRepeat();
        break;
    case IDC_SCREENSHOT_FOLDER:
        if (code == EN_KILLFOCUS) TakeFolderBox();
        break;
    case IDC_BROWSE_FOLDER:
        BrowseFolder();
        break;
    case IDC_SCREENSHOT_FORMAT:
        if (code == CBN_SELCHANGE) TakeFormatBox();
        break;
    case IDC_PLAY_SPEED:
        if (code == CBN_SELCHANGE || code == CBN_KILLFOCUS) TakeSpeedBox(code == CBN_SELCHANGE);
        break;
    case ID_FILE_NEW:
        if (!EditsLocked()) newList();
        break;
    case ID_FILE_OPEN:
        OpenFile();
        break;
    case ID_FILE_SAVE:
        SaveFile();
        break;
    case ID_FILE_SAVE_AS:
        SaveAs();
        break;
    case ID_FILE_SETTING:
        ChooseBreakKey(main_window, hotkeyActive_);
        RegisterHotkeys();
        break;
    case IDOK:
        // Enter: the dialog manager makes it the OK command; on the list it
        // opens the selected row.
        if (GetFocus() == ListView()) ModifyRecord();
        break;
    default:
        if (id >= ID_FILE_RECENT_FIRST && id <= ID_FILE_RECENT_LAST) {
            OpenRecentFile(id - ID_FILE_RECENT_FIRST);
            break;
        }
        // Cancel (Escape, closing), Exit, About, Help, Language and the
        // frame's other commands.
        CAppBase::OnCommand(id, code);
        break;
    }
    UpdateControls();
}

bool CAppMain::EditsLocked() const { return !player.CanStart(); }

bool CAppMain::StartRecord() {
    // Neither the prompt nor anything else while recording or playing, nor
    // while a stopped run is still finishing its last step.
    if (!recorder.CanStartRecord()) return false;
    if (ReportInputUnavailable(UiText(TextId::RecordRefusedText))) return false;
    if (!saveIfModified(SaveReason::Record)) return false;
    if (!recorder.StartRecord()) return false;
    ++listGeneration_;
    incompleteFromFile_ = false;
    refreshRows();
    return true;
}

void CAppMain::StartPlay() {
    if (!player.CanStart()) return;
    if (ReportInputUnavailable(UiText(TextId::PlayRefusedText))) return;
    TakeFocusedFolderBox();
    const int32_t repeat = ReadRepeatCount(main_window);
    const int32_t speed = TakeSpeedBox(false);
    if (speed == 0) {
        MessageBoxW(main_window, UiText(TextId::SpeedInvalidText), UiText(TextId::PlayStartCaption),
                    MB_OK | MB_ICONWARNING);
        SetFocus(SpeedBox());
        return;
    }
    if (!ConfirmPlayStart() || !ConfirmScreenshotFolder()) return;
    // Playing from the request on, so Stop Play and the break key act at
    // once; the break key is watched first, as the run's first row may be it.
    recorder.WatchBreakKey();
    if (!player.RequestPlay(list, repeat, speed)) recorder.StopWatchingBreakKey();
    MinimiseWindow(main_window);
}

void CAppMain::AddRecord() {
    if (EditsLocked()) return;
    const uint32_t generation = listGeneration_;
    CActionEditDialog dialog;
    if (dialog.Show(main_window) != 1) return;
    // The dialog is modal, but a run or a recording may have begun behind
    // it, or the list it was opened on been replaced.
    if (EditsLocked() || generation != listGeneration_) return;
    if (list.append(dialog.Record())) showRow(-1);
}

void CAppMain::ModifyRecord() {
    if (EditsLocked()) return;
    const int row = FirstSelectedRow();
    const ActionRecord* record = list.at(row);
    if (!record) return;
    const uint32_t generation = listGeneration_;
    CActionEditDialog dialog;
    dialog.SetRecord(*record);
    if (dialog.Show(main_window) != 1) return;
    if (EditsLocked() || generation != listGeneration_ || row >= list.count()) return;
    list.replace(row, dialog.Record());
    list.modified = 1;
    refreshRows(row);
    SelectRow(row);
}

void CAppMain::DeleteRecord() {
    if (EditsLocked()) return;
    const int row = FirstSelectedRow();
    if (row < 0) return;
    const uint32_t generation = listGeneration_;
    const int answer = MessageBoxW(main_window, UiText(TextId::DeletePromptText), UiText(TextId::DeletePromptCaption),
                                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer != IDYES || EditsLocked() || generation != listGeneration_) return;
    if (!list.remove(row)) return;
    refreshRows(row);
    if (list.count() > 0) SelectRow(row < list.count() ? row : list.count() - 1);
}

void CAppMain::DeleteAllRecords() {
    if (EditsLocked()) return;
    list.clear();
    list.modified = 1;
    refreshRows();
}

void CAppMain::MoveRecord(int step) {
    if (EditsLocked()) return;
    const int row = FirstSelectedRow();
    if (row < 0) return;
    const int moved = step < 0 ? list.moveUp(row) : list.moveDown(row);
    if (!moved) return;
    const int target = row + (step < 0 ? -1 : 1);
    refreshRows(step < 0 ? target : row);
    SelectRow(target);
}

void CAppMain::ToggleRepeat() {
    const bool checked = IsDlgButtonChecked(main_window, IDC_REPEAT) == BST_CHECKED;
    CheckDlgButton(main_window, IDC_REPEAT, checked ? BST_UNCHECKED : BST_CHECKED);
}

void CAppMain::SetScreenshotFolder(const wchar_t* folder) {
    if (SameText(list.screenshotFolder, folder)) return;
    if (EditsLocked()) {
        // The box shows what a run uses.
        const wchar_t* stored = list.screenshotFolder.GetWide();
        SetWindowTextW(FolderBox(), stored ? stored : L"");
        return;
    }
    list.screenshotFolder.Assign(folder);
    list.modified = 1;
}

void CAppMain::TakeFocusedFolderBox() {
    if (main_window && GetFocus() == FolderBox()) TakeFolderBox();
}

void CAppMain::TakeFolderBox() {
    wchar_t folder[kPathCharacters + 1] = {};
    GetWindowTextW(FolderBox(), folder, kPathCharacters + 1);
    SetScreenshotFolder(folder);
}

void CAppMain::TakeFormatBox() {
    HWND box = FormatBox();
    const int32_t value = static_cast<int32_t>(SelectedComboData(box));
    const int32_t stored = static_cast<int32_t>(list.screenshotFormat);
    if (value == stored) return;
    if (EditsLocked()) {
        SelectComboItemByData(box, stored);
        return;
    }
    list.screenshotFormat = static_cast<ScreenshotFormat>(value);
    list.modified = 1;
}

int32_t CAppMain::TakeSpeedBox(bool chosen) {
    HWND box = SpeedBox();
    int32_t speed = 0;
    if (chosen) {
        // While CBN_SELCHANGE is handled the edit still shows the old text.
        speed = static_cast<int32_t>(SelectedComboData(box));
    } else {
        wchar_t text[kSpeedTextCapacity + 1] = {};
        GetWindowTextW(box, text, kSpeedTextCapacity + 1);
        speed = ParsePlaySpeed(text);
    }
    if (speed < kSpeedMin || speed > kSpeedMax) return 0;
    CAppParameter* parameters = TheAppParameter();
    if (parameters && parameters->play_speed != speed) {
        parameters->play_speed = speed;
        parameters->SaveSettings();
    }
    return speed;
}

void CAppMain::BrowseFolder() {
    if (EditsLocked()) return;
    const uint32_t generation = listGeneration_;
    // The folder browser is built on the shell's COM objects.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = main_window;
    info.pszDisplayName = display;
    info.lpszTitle = L"";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen) {
        wchar_t folder[kPathCharacters + 1] = {};
        if (SHGetPathFromIDListEx(chosen, folder, kPathCharacters + 1, GPFIDL_DEFAULT) && !EditsLocked() &&
            generation == listGeneration_) {
            SetWindowTextW(FolderBox(), folder);
            SetScreenshotFolder(folder);
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}
