// The file commands of the main window: Open, Save and Save As with the
// platform's file dialogs, and the provenance check that warns about a list
// saved on another computer when it is opened and asks before it is played.
//
// A save that cannot be written (a locked or read-only file, a full disk) is
// reported to the user and leaves the list marked modified, so the
// unsaved-changes prompt still guards it. An Open that cannot read its file
// whole says so; a file that gave nothing leaves the window as it was, and a
// list that did not come whole from its file is not saved over it unasked.
#include "app/app_main.h"

#include <commdlg.h>

#include <cstdint>
#include "core/debug.h"
#include "core/file.h"
#include "frame/dialog.h"

namespace {

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
// ignored): list.txt becomes list.txt.mou, list.MOU stays. The wide text is
// put into `target` and returned; null when memory ran out.
const wchar_t* WithOperationExtension(const wchar_t* path, CArray<wchar_t>* target) {
    CArray<char> narrow;
    if (!WideToMulti(path, -1, kCodePageAnsi, &narrow)) return nullptr;
    CFileName name;
    if (!name.SetPath(narrow.Data()) || !name.AddExtension("mou")) return nullptr;
    const CString& full = name.GetFullPath();
    return MultiToWide(full.GetText(), full.GetLength(), kCodePageAnsi, target);
}

}  // namespace

bool FromThisComputer(const MachineIdent& ident) {
    const MachineIdent here = CurrentMachineIdent();
    for (int k = 0; k < 4; ++k) {
        if (ident.w[k] != here.w[k]) return false;
    }
    return true;
}

void CAppMain::OpenFile() {
    if (EditsLocked()) return;
    // The list is dropped only for a file that could be read: the prompt
    // comes first, the emptying after the load.
    if (!saveIfModified(SaveReason::Update)) return;

    wchar_t path[kPathCharacters + 1] = {};
    OPENFILENAMEW dialog;
    PrepareFileDialog(&dialog, main_window, path, UiText(TextId::OpenFileTitle));
    dialog.lpstrDefExt = L"mou";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    const bool chosen = GetOpenFileNameW(&dialog) && path[0];
    // A run may have begun while the dialog was open.
    if (EditsLocked()) return;
    if (!chosen) {
        ResetList();
        return;
    }
    LoadPath(path);
}

void CAppMain::OpenPath(const wchar_t* path) {
    if (EditsLocked()) return;
    if (!saveIfModified(SaveReason::Update)) return;
    // A run may have begun while the prompt was open.
    if (EditsLocked()) return;
    LoadPath(path);
}

void CAppMain::LoadPath(const wchar_t* path) {
    CArray<wchar_t> full;
    path = FullPathOf(path, &full);
    ActionList loaded;
    const OperationFileLoad result = LoadOperationFile(&loaded, path);
    if (!result.operationFile || (result.records == 0 && !result.whole())) {
        ReportLoad(path, result, false);
        return;
    }
    TakeList(&loaded);
    incompleteFromFile_ = !result.whole();
    if (!FromThisComputer(list.ident)) {
        MessageBoxW(main_window, UiText(TextId::ForeignFileText), UiText(TextId::OperationFileCaption),
                    MB_OK | MB_ICONWARNING);
    }
    ShowList();
    if (incompleteFromFile_) ReportLoad(path, result, true);
    NoteRecentFile(path);
}

void CAppMain::TakeList(ActionList* loaded) {
    // What New would leave, then the loaded list: a format no item of the
    // format box has leaves it at JPEG.
    ResetList();
    list.takeRecords(*loaded);
    list.filePath.Assign(loaded->filePath);
    list.screenshotFolder.Assign(loaded->screenshotFolder);
    list.screenshotFormat = loaded->screenshotFormat;
    list.ident = loaded->ident;
    list.modified = 0;
}

void CAppMain::ShowList() {
    refreshRows();
    const wchar_t* folder = list.screenshotFolder.GetWide();
    SetWindowTextW(FolderBox(), folder ? folder : L"");
    SelectComboItemByData(FormatBox(), static_cast<LPARAM>(list.screenshotFormat));
}

void CAppMain::ReportLoad(const wchar_t* path, const OperationFileLoad& load, bool kept) {
    const int offset = load.offset > 0 && load.offset <= INT32_MAX ? static_cast<int>(load.offset) : 0;
    TextId what = TextId::LoadDamagedFormat;
    if (load.end == XmlEnd::Unreadable) {
        what = TextId::LoadUnreadableFormat;
    } else if (load.end == XmlEnd::OutOfMemory) {
        what = load.offset >= 0 ? TextId::LoadOutOfMemoryAtFormat : TextId::LoadOutOfMemoryFormat;
    } else if (!load.operationFile) {
        what = load.whole() ? TextId::LoadNotOperationFileFormat : TextId::LoadNotOperationFileAtFormat;
    }
    // wsprintfW writes at most 1024 characters; paths hold at most 519.
    wchar_t first[1024];
    wchar_t second[1024];
    wsprintfW(first, UiText(what), path, offset);
    if (kept) {
        wsprintfW(second, UiText(TextId::LoadPartFormat), static_cast<int>(load.records));
    } else {
        lstrcpynW(second, UiText(TextId::LoadNothingReadText), 1024);
    }
    wchar_t text[2048 + 2];
    lstrcpyW(text, first);
    lstrcatW(text, L"\n\n");
    lstrcatW(text, second);
    DebugPrint(L"load incomplete : %s\n", path);
    MessageBoxW(main_window, text, UiText(TextId::OperationFileCaption), MB_OK | MB_ICONWARNING);
}

void CAppMain::SaveFile() {
    TakeFocusedFolderBox();
    // No other file could take a list that is too large for one.
    const SaveOutcome direct = SaveToFilePath();
    if (direct != SaveOutcome::Saved && direct != SaveOutcome::TooLarge) SaveAs();
}

SaveOutcome CAppMain::SaveToFilePath() {
    if (list.filePath.GetLength() == 0 || incompleteFromFile_) return SaveOutcome::Cancelled;
    const OperationSave saved = SaveOperationFile(&list, nullptr);
    if (saved == OperationSave::Saved) {
        NoteRecentFile(list.filePath.GetWide());
        return SaveOutcome::Saved;
    }
    ReportSaveFailure(list.filePath.GetWide(), saved);
    return saved == OperationSave::TooLarge ? SaveOutcome::TooLarge : SaveOutcome::Failed;
}

SaveOutcome CAppMain::SaveAs() {
    TakeFocusedFolderBox();
    wchar_t path[kPathCharacters + 1] = {};
    OPENFILENAMEW dialog;
    PrepareFileDialog(&dialog, main_window, path, UiText(TextId::SaveFileTitle));
    // No question before an existing file is replaced, and no default
    // extension: the extension is added below, also to names that have one.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog) || !path[0]) return SaveOutcome::Cancelled;

    CArray<wchar_t> storage;
    const wchar_t* target = WithOperationExtension(path, &storage);
    if (!target) return SaveOutcome::Failed;
    DebugPrint(L"save file : %s\n", path);
    const OperationSave saved = SaveOperationFile(&list, target);
    if (saved == OperationSave::Saved) {
        incompleteFromFile_ = false;
        NoteRecentFile(target);
        return SaveOutcome::Saved;
    }
    ReportSaveFailure(target, saved);
    return saved == OperationSave::TooLarge ? SaveOutcome::TooLarge : SaveOutcome::Failed;
}

void CAppMain::ReportSaveFailure(const wchar_t* path, OperationSave outcome) {
    const bool tooLarge = outcome == OperationSave::TooLarge;
    const wchar_t* format = UiText(tooLarge ? TextId::SaveTooLargeFormat : TextId::SaveFailedFormat);
    if (!path) path = L"";
    CArray<wchar_t> storage;
    // The count takes at most 11 characters.
    wchar_t* text = storage.Resize(lstrlenW(format) + lstrlenW(path) + 12) ? storage.Data() : nullptr;
    if (text) wsprintfW(text, format, path, list.count());
    DebugPrint(L"save failed : %s\n", path);
    MessageBoxW(main_window, text ? text : path, UiText(TextId::OperationFileCaption),
                MB_OK | MB_ICONWARNING);
}

bool CAppMain::ConfirmScreenshotFolder(bool ask) {
    bool screenshots = false;
    for (int i = 0; i < list.count() && !screenshots; ++i) screenshots = list.at(i)->kind == ActionKind::Screenshot;
    // Without a folder nothing is to be saved.
    const wchar_t* folder = list.screenshotFolder.GetWide();
    if (!screenshots || !folder || !folder[0] || FolderAcceptsNewFiles(folder)) return true;
    if (!ask) return false;
    wchar_t text[1024];
    wsprintfW(text, UiText(TextId::ScreenshotFolderFormat), folder);
    const int answer = MessageBoxW(main_window, text, UiText(TextId::PlayStartCaption),
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    return answer == IDYES;
}

bool CAppMain::ConfirmPlayStart() {
    if (FromThisComputer(list.ident)) return true;
    const int answer = MessageBoxW(main_window, UiText(TextId::ForeignPlayText), UiText(TextId::PlayStartCaption),
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    return answer == IDYES;
}
