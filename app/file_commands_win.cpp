// The file commands of the main window: Open, Save and Save As with the
// platform's file dialogs, and the provenance check that warns about a list
// saved on another computer when it is opened and asks before it is played.
//
// A save that cannot be written is reported to the user and leaves the list
// marked modified, so the unsaved-changes prompt still guards it.
#include "app/app_main.h"

#include <commdlg.h>

#include <new>

#include "core/debug.h"
#include "core/file.h"
#include "frame/dialog.h"

namespace {

bool FromThisComputer(const MachineIdent& ident) {
    const MachineIdent here = CurrentMachineIdent();
    for (int k = 0; k < 4; ++k) {
        if (ident.w[k] != here.w[k]) return false;
    }
    return true;
}

void PrepareFileDialog(OPENFILENAMEW* dialog, HWND owner, wchar_t* path, const wchar_t* title) {
    *dialog = {};
    dialog->lStructSize = sizeof *dialog;
    dialog->hwndOwner = owner;
    dialog->lpstrFilter = UiText(TextId::FileFilter);
    dialog->nFilterIndex = 1;
    dialog->lpstrFile = path;
    dialog->nMaxFile = kPathCharacters + 1;
    dialog->lpstrTitle = title;
}

// `path` with the extension "mou" unless it already ends in it (letter case
// ignored): list.txt becomes list.txt.mou, list.MOU stays. A new wide text
// the caller deletes, or null when memory ran out.
wchar_t* WithOperationExtension(const wchar_t* path) {
    char* narrow = WideToMulti(path, -1, kCodePageAnsi);
    if (!narrow) return nullptr;
    CFileName name;
    const bool named = name.SetPath(narrow) && name.AddExtension("mou");
    delete[] narrow;
    if (!named) return nullptr;
    const CString& full = name.GetFullPath();
    return MultiToWide(full.GetText(), full.GetLength(), kCodePageAnsi);
}

}  // namespace

void CAppMain::OpenFile() {
    if (EditsLocked()) return;
    newList();

    wchar_t path[kPathCharacters + 1] = {};
    OPENFILENAMEW dialog;
    PrepareFileDialog(&dialog, main_window, path, UiText(TextId::OpenFileTitle));
    dialog.lpstrDefExt = L"mou";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog) || !path[0]) return;
    // A run may have begun while the dialog was open.
    if (EditsLocked()) return;

    if (!list.load(path)) {
        // Silent, as every load failure: the list stays as New left it (a
        // file that ran out of memory half way may have added records) and
        // filePath names the file.
        list.clear();
        list.modified = 0;
        list.ident = CurrentMachineIdent();
        list.screenshotFolder.Clear();
        list.screenshotFormat = ScreenshotFormat::JPEG;
        refreshRows();
        return;
    }
    if (!FromThisComputer(list.ident)) {
        MessageBoxW(main_window, UiText(TextId::ForeignFileText), UiText(TextId::OperationFileCaption),
                    MB_OK | MB_ICONWARNING);
    }
    refreshRows();
    const wchar_t* folder = list.screenshotFolder.GetWide();
    SetWindowTextW(FolderBox(), folder ? folder : L"");
    SelectComboItemByData(FormatBox(), static_cast<LPARAM>(list.screenshotFormat));
}

void CAppMain::SaveFile() {
    TakeFocusedFolderBox();
    if (!SaveToFilePath()) SaveAs();
}

int CAppMain::SaveToFilePath() {
    if (list.filePath.GetLength() == 0) return 0;
    if (list.save(nullptr)) return 1;
    ReportSaveFailure(list.filePath.GetWide());
    return 0;
}

int CAppMain::SaveAs() {
    TakeFocusedFolderBox();
    wchar_t path[kPathCharacters + 1] = {};
    OPENFILENAMEW dialog;
    PrepareFileDialog(&dialog, main_window, path, UiText(TextId::SaveFileTitle));
    // No question before an existing file is replaced, and no default
    // extension: the extension is added below, also to names that have one.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog) || !path[0]) return 0;

    wchar_t* target = WithOperationExtension(path);
    if (!target) return 0;
    DebugPrint(L"save file : %s\n", path);
    const int saved = list.save(target);
    if (!saved) ReportSaveFailure(target);
    delete[] target;
    return saved;
}

void CAppMain::ReportSaveFailure(const wchar_t* path) {
    const wchar_t* format = UiText(TextId::SaveFailedFormat);
    if (!path) path = L"";
    const int size = lstrlenW(format) + lstrlenW(path) + 1;
    wchar_t* text = new (std::nothrow) wchar_t[size];
    if (text) wsprintfW(text, format, path);
    DebugPrint(L"save failed : %s\n", path);
    MessageBoxW(main_window, text ? text : path, UiText(TextId::OperationFileCaption),
                MB_OK | MB_ICONWARNING);
    delete[] text;
}

bool CAppMain::ConfirmPlayStart() {
    if (FromThisComputer(list.ident)) return true;
    const int answer = MessageBoxW(main_window, UiText(TextId::ForeignPlayText), UiText(TextId::PlayStartCaption),
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    return answer == IDYES;
}
