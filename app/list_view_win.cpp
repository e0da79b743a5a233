// The operation list of the main window. The list view holds no texts: it is
// a virtual list view (LVS_OWNERDATA) that knows only the number of rows and
// asks for the text of each cell it draws, which comes from the record's row
// texts with the time code from a running sum. So showing a list of any
// length, or a change anywhere in it, costs a few messages, not one per row.
#include "app/app_main.h"

#include "resources/resource.h"

void CAppMain::showRow(int row) {
    HWND view = ListView();
    if (!view) return;
    if (row < 0) {
        // Rows and records correspond one to one, so the record appended last
        // is the new last row. The view neither scrolls nor redraws its rows.
        SendMessageW(view, LVM_SETITEMCOUNT, list.count(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
        return;
    }
    timeCodes_.Invalidate(row + 1);
    SendMessageW(view, LVM_REDRAWITEMS, row, row);
}

void CAppMain::QueueRows() {
    if (rowsPending_) return;
    rowsPending_ = true;
    SetTimer(main_window, kRowsTimerId, kRowsDelayMs, nullptr);
}

void CAppMain::ShowPendingRows() {
    if (!rowsPending_) return;
    rowsPending_ = false;
    KillTimer(main_window, kRowsTimerId);
    showRow(-1);
}

void CAppMain::refreshRows(int fromRow) {
    timeCodes_.Invalidate(fromRow);
    HWND view = ListView();
    if (!view) return;
    ClearSelection();
    if (SendMessageW(view, LVM_GETITEMCOUNT, 0, 0) != list.count()) {
        SendMessageW(view, LVM_SETITEMCOUNT, list.count(), LVSICF_NOSCROLL);
    }
    InvalidateRect(view, nullptr, FALSE);
}

void CAppMain::ClearSelection() {
    HWND view = ListView();
    // A virtual list view deselects, and finds selected rows, by visiting
    // every row. The usual case, one selected row that has the focus, and
    // none selected, are handled at that row alone.
    const LRESULT selected = SendMessageW(view, LVM_GETSELECTEDCOUNT, 0, 0);
    const int focused = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const bool focusedSelected =
        focused >= 0 && (SendMessageW(view, LVM_GETITEMSTATE, focused, LVIS_SELECTED) & LVIS_SELECTED);
    if (selected <= 0 || (selected == 1 && focusedSelected)) {
        if (focused >= 0) ListView_SetItemState(view, focused, 0, LVIS_SELECTED | LVIS_FOCUSED);
        return;
    }
    // Several rows: emptying the view drops every selection at once. The
    // rows in view are brought back into view.
    const int top = static_cast<int>(SendMessageW(view, LVM_GETTOPINDEX, 0, 0));
    SendMessageW(view, LVM_SETITEMCOUNT, 0, 0);
    SendMessageW(view, LVM_SETITEMCOUNT, list.count(), LVSICF_NOSCROLL);
    RECT first = {LVIR_BOUNDS, 0, 0, 0};
    if (top > 0 && SendMessageW(view, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first))) {
        SendMessageW(view, LVM_SCROLL, 0, static_cast<LPARAM>(top) * (first.bottom - first.top));
    }
}

void CAppMain::FillCell(NMLVDISPINFOW* info) {
    LVITEMW& item = info->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    item.pszText[0] = L'\0';
    if (item.iSubItem < 0 || item.iSubItem >= kRowColumns) return;
    RowTexts texts;
    if (!list.rowTexts(item.iItem, timeCodes_.At(list, item.iItem), UiLanguage(), &texts)) return;
    lstrcpynW(item.pszText, texts.text[item.iSubItem], item.cchTextMax);
}

void CAppMain::OnNotify(int, NMHDR* header) {
    if (!header || header->idFrom != IDC_ACTION_LIST) return;
    switch (header->code) {
    case LVN_GETDISPINFOW:
        FillCell(reinterpret_cast<NMLVDISPINFOW*>(header));
        break;
    case LVN_ODFINDITEMW:
        // No search by typed text: "not found" rather than the dialog's
        // default result 0, which would name the first row.
        SetWindowLongPtrW(main_window, DWLP_MSGRESULT, -1);
        break;
    case NM_DBLCLK:
    case NM_RETURN:
        ModifyRecord();
        break;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) DeleteRecord();
        break;
    case LVN_ITEMCHANGED:
        // The selection decides which editing buttons can act.
        UpdateControls();
        break;
    default:
        break;
    }
}

int CAppMain::FirstSelectedRow() const {
    HWND view = ListView();
    if (!view) return -1;
    // One selected row with the focus is that row; only a selection of
    // several rows is searched for row by row.
    const LRESULT selected = SendMessageW(view, LVM_GETSELECTEDCOUNT, 0, 0);
    if (selected <= 0) return -1;
    if (selected == 1) {
        const int focused =
            static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (focused >= 0 && (SendMessageW(view, LVM_GETITEMSTATE, focused, LVIS_SELECTED) & LVIS_SELECTED)) {
            return focused;
        }
    }
    return static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CAppMain::SelectRow(int row) {
    HWND view = ListView();
    if (!view || row < 0 || row >= list.count()) return;
    ListView_SetItemState(view, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(view, row, FALSE);
    SendMessageW(main_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(view), TRUE);
}
