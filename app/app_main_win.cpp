#include "app/app_main.h"

#include <commctrl.h>

#include <algorithm>

#include "config/app_parameter.h"
#include "config/comm_config.h"
#include "core/debug.h"
#include "frame/dialog.h"
#include "model/keynames.h"
#include "resources/resource.h"
#include "win/handles_win.h"

const int kListColumnWidths[kRowColumns] = {100, 100, 100, 100, 300};

int ListColumnWidth(HDC dc, int column, int language, int dpi) {
    if (column < 0 || column >= kRowColumns) return 0;
    int widest = 0;
    auto measure = [&](const wchar_t* text) {
        SIZE size = {};
        if (text && GetTextExtentPoint32W(dc, text, lstrlenW(text), &size) && size.cx > widest) widest = size.cx;
    };
    measure(RowColumnHeading(column, language));
    wchar_t text[kRowTextCapacity];
    switch (column) {
    case 0:
    case 1:
        FormatDuration(0xFFFFFFFFu, text);
        measure(text);
        break;
    case 2:
        // Positions of every screen a virtual desktop can hold.
        measure(L"(x=-32768, y=-32768)");
        break;
    case 3:
        for (int code = 0; code < 256; ++code) measure(FindKeyName(code));
        break;
    default:
        // A wheel's text carries its delta; the longest is the lowest.
        for (int kind = 1; kind <= kLastActionKind; ++kind) {
            OperationText(static_cast<ActionKind>(kind), INT32_MIN, language, text);
            measure(text);
        }
        break;
    }
    return std::max(MulDiv(kListColumnWidths[column], dpi, 96), widest + MulDiv(kListCellPadding, dpi, 96));
}

namespace {

// The main window opens the file named on the command line.
const UINT WM_OPEN_AT_START = WM_APP + 1;
// The main window offers a recovery copy back.
const UINT WM_OFFER_RECOVERY = WM_APP + 2;

// The window's dpi: the program is per-monitor DPI aware, so fixed pixel
// sizes would shrink on scaled displays. Looked up at run time because older
// systems lack GetDpiForWindow.
int WindowDpi(HWND window) {
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    static GetDpiForWindowFn getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = getDpi ? getDpi(window) : 0;
    if (dpi == 0) {
        CWindowDc dc(window);
        dpi = dc.Get() ? static_cast<UINT>(GetDeviceCaps(dc.Get(), LOGPIXELSX)) : 96;
    }
    return static_cast<int>(dpi);
}

}  // namespace

CAppMain::CAppMain() {
    mode = kAppModeDialog;
    multiple_instances = 1;
    list.ident = CurrentMachineIdent();
}

CAppMain::~CAppMain() {}

int CAppMain::Run(HINSTANCE hInstance, HINSTANCE previous, LPWSTR commandLine, int show) {
    const LaunchRequest request = ReadProgramCommandLine();
    if (request.mode != LaunchMode::Window && request.mode != LaunchMode::Open) {
        return RunCommand(hInstance, request);
    }
    openAtStart_ = request.file;
    int result = CAppBase::Run(hInstance, previous, commandLine, show);
    RemoveShortcuts();
    player.StopThread();
    return result;
}

INT_PTR CAppMain::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INPUT:
        recorder.OnRawInput(reinterpret_cast<HRAWINPUT>(lParam));
        // The break key may have ended a recording.
        UpdateControls();
        // Left unhandled so that the platform's default processing releases
        // the raw-input data of foreground events.
        return 0;
    case WM_PLAY_END:
        if (player.OnPlayEnd()) RestoreWindow(dialog);
        UpdateControls();
        if (wParam & kPlayEndRefused) ReportRefusedInput();
        if (wParam & kPlayEndPicturesLost) ReportLostPictures();
        return 1;
    case WM_BREAK_KEY_END:
        UpdateControls();
        return 1;
    case WM_INPUT_UNAVAILABLE:
        ReportInputUnavailable(nullptr);
        return 1;
    case WM_HOTKEY:
        OnHotkey(static_cast<int>(wParam));
        return 1;
    case WM_TIMER:
        if (wParam == kRowsTimerId) {
            ShowPendingRows();
            return 1;
        }
        if (wParam != kPlayHotkeyTimerId) return CAppBase::OnMessage(dialog, message, wParam, lParam);
        OnPlayHotkeyTimer();
        return 1;
    case WM_OFFER_RECOVERY:
        OfferRecovery();
        return 1;
    case WM_QUERYENDSESSION:
        // The session may end: nothing is asked, so nothing holds it up.
        EndForSession();
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return 1;
    case WM_ENDSESSION:
        if (wParam) {
            EndForSession();
            KeepRecoveryCopy();
            // Without the unsaved-changes prompt: the changes are in the copy.
            CAppBase::OnExit();
        }
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        return 1;
    case WM_OPEN_AT_START:
        if (openAtStart_) OpenPath(openAtStart_);
        openAtStart_ = nullptr;
        return 1;
    case WM_CLOSE:
        // Unhandled: the dialog manager turns it into the cancel command,
        // which ends the dialog through OnExit. Handled when the prompt's
        // save failed, so the window stays with its list.
        return OnClose() ? 0 : 1;
    default:
        return CAppBase::OnMessage(dialog, message, wParam, lParam);
    }
}

void CAppMain::OnExit() {
    EndRecordingOrRun();
    if (!newList()) return;
    CAppBase::OnExit();
}

void CAppMain::OnInitDialog(HWND dialog) {
    main_window = dialog;
    player.SetMainWindow(dialog);
    recorder.SetWindow(dialog);
    // Rows and records correspond one to one, so a new last record is a new
    // last row; a row the view has already is a record replaced in place.
    recorder.SetRowAppended(
        [](void* app, int row) {
            CAppMain* self = static_cast<CAppMain*>(app);
            const LRESULT shown = self->ListView() ? SendMessageW(self->ListView(), LVM_GETITEMCOUNT, 0, 0) : 0;
            if (row < shown) {
                self->showRow(row);
            } else {
                self->QueueRows();
            }
        },
        this);
    SetDialogSmallIcon(dialog);
    SetUpListView();
    SetWindowTextW(FolderBox(), L"");
    SetUpFormatBox();
    SetUpSpeedBox();
    // Raw mouse and keyboard input, also while the window is in the
    // background. Without it nothing can be recorded and no run stopped by
    // the break key; the user is told once the window is up.
    if (!recorder.RegisterInput()) PostMessageW(dialog, WM_INPUT_UNAVAILABLE, 0, 0);
    // A run's end then waits for its input to come back, so that the window
    // restores itself only once every key and click has reached its target.
    player.WatchInputArrivals(recorder.InputReady());
    InstallShortcuts();
    UpdateControls();
    // Posted, so that the window is on the screen before a question or a
    // warning can appear over it; a recovered list first, so that a file
    // named on the command line asks about it before replacing it.
    PostMessageW(dialog, WM_OFFER_RECOVERY, 0, 0);
    if (openAtStart_) PostMessageW(dialog, WM_OPEN_AT_START, 0, 0);
    ShowRecentFiles();
    DragAcceptFiles(dialog, TRUE);
    RegisterHotkeys();
}

void CAppMain::EndRecordingOrRun() {
    // The window is minimised while recording or playing; what closes it
    // ends that first and brings it back, so its prompt has a window to
    // stand on and the break key has nothing left to act on.
    if (recorder.StopRecord() || player.StopPlay()) RestoreWindow(main_window);
}

bool CAppMain::ReportInputUnavailable(const wchar_t* refused) {
    if (recorder.InputReady()) return false;
    wchar_t text[512];
    lstrcpynW(text, refused ? refused : L"", 128);
    lstrcatW(text, UiText(TextId::InputUnavailableText));
    MessageBoxW(main_window, text, UiText(TextId::InputCaption), MB_OK | MB_ICONWARNING);
    return true;
}

void CAppMain::ReportRefusedInput() {
    MessageBoxW(main_window, UiText(TextId::InjectionRefusedText), UiText(TextId::PlayStoppedCaption),
                MB_OK | MB_ICONWARNING);
}

void CAppMain::ReportLostPictures() {
    ShowFormatted(main_window, UiText(TextId::PicturesLostCaption), UiText(TextId::PicturesLostFormat),
                  list.screenshotFolder.GetWide(), MB_ICONWARNING);
}

void ShowFormatted(HWND owner, const wchar_t* caption, const wchar_t* format, const wchar_t* argument, UINT icon) {
    if (!argument) argument = L"";
    CArray<wchar_t> text;
    const bool made = text.Resize(lstrlenW(format) + lstrlenW(argument) + 1);
    if (made) wsprintfW(text.Data(), format, argument);
    MessageBoxW(owner, made ? text.Data() : format, caption, MB_OK | icon);
}

int CAppMain::InitInstance(HINSTANCE hInstance) {
    if (!CAppBase::InitInstance(hInstance)) return 0;
    player.StartThread();
    return 1;
}

int CAppMain::OnClose() {
    DebugPrint(L"App Close\n");
    EndRecordingOrRun();
    return newList() ? 1 : 0;
}

LPCWSTR CAppMain::GetDialogId() {
    return MAKEINTRESOURCEW(DialogTemplateId(IDD_MAIN_JA, UiLanguage()));
}

bool CAppMain::saveIfModified(SaveReason reason) {
    TakeFocusedFolderBox();
    if (!list.modified) return true;
    const bool record = reason == SaveReason::Record;
    // Cancel (also Esc and the box's close button) takes the command back.
    // Yes is the default: Enter never drops changes.
    const int answer = MessageBoxW(main_window, UiText(record ? TextId::RecordPromptText : TextId::UpdatePromptText),
                                   UiText(record ? TextId::RecordPromptCaption : TextId::UpdatePromptCaption),
                                   MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
    if (answer == IDNO) return true;
    if (answer != IDYES) return false;
    const SaveOutcome direct = SaveToFilePath();
    if (direct == SaveOutcome::Saved) return true;
    if (direct == SaveOutcome::TooLarge) return false;
    // The user asked for the changes to be kept: a Save As cancelled or
    // failed takes the command back, as the question's Cancel does.
    return SaveAs() == SaveOutcome::Saved;
}

bool CAppMain::newList() {
    if (!saveIfModified(SaveReason::Update)) return false;
    ResetList();
    return true;
}

void CAppMain::ResetList() {
    ++listGeneration_;
    incompleteFromFile_ = false;
    list.clear();
    list.filePath.Clear();
    list.modified = 0;
    list.ident = CurrentMachineIdent();
    list.screenshotFolder.Clear();
    list.screenshotFormat = ScreenshotFormat::JPEG;
    refreshRows();
    if (!main_window) return;
    SetWindowTextW(FolderBox(), L"");
    SelectComboItemByData(FormatBox(), static_cast<LPARAM>(ScreenshotFormat::JPEG));
}

HWND CAppMain::ListView() const { return GetDlgItem(main_window, IDC_ACTION_LIST); }

HWND CAppMain::FolderBox() const { return GetDlgItem(main_window, IDC_SCREENSHOT_FOLDER); }

HWND CAppMain::FormatBox() const { return GetDlgItem(main_window, IDC_SCREENSHOT_FORMAT); }

HWND CAppMain::SpeedBox() const { return GetDlgItem(main_window, IDC_PLAY_SPEED); }

void CAppMain::SetUpListView() {
    HWND view = ListView();
    const int language = UiLanguage();
    const int dpi = WindowDpi(view);
    CWindowDc dc(view);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0));
    CSelectObject selected(dc.Get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    for (int column = 0; column < kRowColumns; ++column) {
        LVCOLUMNW col = {};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = ListColumnWidth(dc.Get(), column, language, dpi);
        col.pszText = const_cast<wchar_t*>(RowColumnHeading(column, language));
        col.iSubItem = column;
        SendMessageW(view, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
    }
    const DWORD added = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, added, added);
}

void CAppMain::SetUpFormatBox() {
    HWND box = FormatBox();
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (int format = 0; format <= 3; ++format) {
        AddComboItem(box, ScreenshotFormatText(static_cast<ScreenshotFormat>(format)), format);
    }
    SelectComboItemByData(box, static_cast<LPARAM>(ScreenshotFormat::JPEG));
}

void CAppMain::SetUpSpeedBox() {
    HWND box = SpeedBox();
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (int32_t speed : kSpeedChoices) {
        wchar_t text[kSpeedTextCapacity];
        FormatPlaySpeed(speed, text);
        AddComboItem(box, text, speed);
    }
    SendMessageW(box, CB_LIMITTEXT, kSpeedTextCapacity - 1, 0);
    const CAppParameter* parameters = TheAppParameter();
    wchar_t text[kSpeedTextCapacity];
    FormatPlaySpeed(parameters ? parameters->play_speed : kSpeedNormal, text);
    SetWindowTextW(box, text);
}
