#include "core/texts.h"

namespace {

struct TextPair {
    const wchar_t* english;
    const wchar_t* japanese;
};

// In the order of TextId.
const TextPair kTexts[] = {
    {L"Time Code", L"タイムコード"},
    {L"Interval", L"間隔"},
    {L"Mouse Point", L"マウスの位置"},
    {L"Keycode", L"キーコード"},
    {L"Oparation", L"操作"},

    {L"Mouse left push", L"マウスの左ボタンを押す"},
    {L"Mouse left release", L"マウスの左ボタンを離す"},
    {L"Mouse left click", L"マウスの左ボタンをクリック"},
    {L"Mouse left double click", L"マウスの左ボタンをダブルクリック"},
    {L"Mouse right push", L"マウスの右ボタンを押す"},
    {L"Mouse right release", L"マウスの右ボタンを離す"},
    {L"Mouse right click", L"マウスの右ボタンをクリック"},
    {L"Mouse right double click", L"マウスの右ボタンをダブルクリック"},
    {L"Push key", L"キーを押す"},
    {L"Release key", L"キーを離す"},
    {L"Screenshot", L"画面のスクリーンショット"},
    {L"Mouse move", L"マウスを移動"},
    {L"Mouse middle push", L"マウスの中ボタンを押す"},
    {L"Mouse middle release", L"マウスの中ボタンを離す"},
    {L"Mouse side button 1 push", L"マウスのサイドボタン1を押す"},
    {L"Mouse side button 1 release", L"マウスのサイドボタン1を離す"},
    {L"Mouse side button 2 push", L"マウスのサイドボタン2を押す"},
    {L"Mouse side button 2 release", L"マウスのサイドボタン2を離す"},
    {L"Mouse wheel", L"マウスのホイール"},
    {L"Mouse horizontal wheel", L"マウスの横ホイール"},

    {L"Mouse", L"マウス"},
    {L"Keyboard", L"キーボード"},
    {L"Display", L"ディスプレイ"},

    {L"Desktop screenshot", L"デスクトップのスクリーンショット"},

    {L"English", L"英語"},
    {L"Japanese", L"日本語"},

    {L"Operation record", L"操作の記録"},
    {L"The operation list has been cleared.\nSave operation list?",
     L"操作リストはクリアされています。\n操作リストを保存しますか？"},
    {L"Operation update", L"操作の更新"},
    {L"The operation list has changed.\nDo you want to save ?", L"操作リストが変更されています。\n保存しますか？"},
    {L"Delete oparation", L"操作の削除"},
    {L"Do you want to remove the oparation from the list ?", L"操作リストから削除しますか？"},
    {L"Recovered operation list", L"操作リストの復元"},
    {L"When Windows last ended your session (log-off, shutdown or restart), the operation list had changes that "
     L"were not saved. Taplore kept a copy of it.\nDo you want to open the copy now?\n\n"
     L"Either way the copy is deleted; save the list to keep it.",
     L"前回 Windows のセッションが終了したとき（ログオフ、シャットダウン、再起動）、操作リストに保存していない変更が"
     L"ありました。Taplore はその控えを残しました。\n控えを今開きますか？\n\n"
     L"どちらを選んでも控えは削除されます。残すには操作リストを保存してください。"},

    {L"Mouse operation files(*.mou)\0*.mou\0All files(*.*)\0*.*\0",
     L"マウス操作ファイル(*.mou)\0*.mou\0全てのファイル(*.*)\0*.*\0"},
    {L"Load Mouse operation File", L"マウス操作ファイルの読み込み"},
    {L"Save Mouse operation File", L"マウス操作ファイルの保存"},
    {L"Mouse operation file", L"マウス操作ファイル"},
    {L"It is not a file saved on this computer.\nIt may contain illegal operations.",
     L"このパソコンで保存したファイルではありません。\n不正な操作が含まれているかもしれません。"},
    {L"The operation list could not be saved to\n%s", L"操作リストを保存できませんでした。\n%s"},
    {L"The operation list was not saved to\n%s\nIt is too large for one file: its %d operations would take more "
     L"than 2 GB. The file and the list stay as they are; delete operations (such as mouse moves) to save it.",
     L"操作リストを保存しませんでした。\n%s\n1つのファイルには大きすぎます。%d 個の操作は 2 GB を超えます。"
     L"ファイルとリストはそのままです。保存するには操作（マウスの移動など）を削除してください。"},
    {L"Play start", L"再生開始"},
    {L"It is not a file saved on this computer.\nIt may contain illegal operations.\nDo you still want to run it?",
     L"このパソコンで保存したファイルではありません。\n不正な操作が含まれているかもしれません。\nそれでも実行しますか？"},
    {L"The speed must be a number from 0.1 to 100 (at most two decimals), such as 2 or 0.5.",
     L"速度は 0.1 から 100 までの数（小数は2桁まで）で指定してください。例: 2、0.5"},

    {L"%s\ncould not be read. It may be open in another program.",
     L"%s\nを読み込めませんでした。他のプログラムが開いている可能性があります。"},
    {L"%s\nis not an operation file.", L"%s\nは操作ファイルではありません。"},
    {L"%s\nis not an operation file. Reading stopped at byte %d.",
     L"%s\nは操作ファイルではありません。%d バイト目で読み込みを中止しました。"},
    {L"%s\nis damaged: reading stopped at byte %d.", L"%s\nは壊れています。%d バイト目で読み込みを中止しました。"},
    {L"Memory ran out while reading\n%s.", L"%s\nの読み込み中にメモリが不足しました。"},
    {L"Memory ran out while reading\n%s (at byte %d).", L"%s\nの読み込み中にメモリが不足しました（%d バイト目）。"},
    {L"No operation was read, and the list was not changed.",
     L"操作は読み込まれず、操作リストは変更されていません。"},
    {L"Only the first %d operations were read. Save will ask for a file name, so that the file is not "
     L"overwritten by this list.",
     L"最初の %d 件の操作だけを読み込みました。このリストでファイルを上書きしないよう、上書き保存では保存先を尋ねます。"},
    {L"Screenshots cannot be saved to the folder\n%s\nIt does not exist or cannot be written.\nDo you still want "
     L"to play?",
     L"スクリーンショットをフォルダーに保存できません。\n%s\nフォルダーが存在しないか、書き込みできません。\n"
     L"それでも再生しますか？"},
    {L"Help Topics", L"ヘルプの表示"},
    {L"The help page cannot be found:\n%s\nIt belongs in the help folder beside Taplore.exe.",
     L"ヘルプのページが見つかりません。\n%s\nTaplore.exe と同じフォルダーの help フォルダーにあるはずです。"},
    {L"The help page could not be opened:\n%s\nNo program to show it (a web browser) was found. Open the page "
     L"from that folder yourself.",
     L"ヘルプのページを開けませんでした。\n%s\nページを表示するプログラム（Web ブラウザー）が見つかりません。"
     L"このフォルダーからページを直接開いてください。"},
    {L"Choose Language", L"言語設定"},
    {L"The language you chose applies from the next start of Taplore.", L"選んだ言語は次回の起動から使われます。"},

    {L"Mouse and keyboard input", L"マウスとキーボードの入力"},
    {L"The system refused Taplore's request for mouse and keyboard input.\n"
     L"Recording is not possible, and the break key cannot stop a play run.",
     L"システムがマウスとキーボードの入力の受け取りを拒否しました。\n"
     L"記録はできず、停止キーで再生を止めることもできません。"},
    {L"Recording cannot start.\n", L"記録を開始できません。\n"},
    {L"Playing cannot start.\n", L"再生を開始できません。\n"},
    {L"Play stopped", L"再生の停止"},
    {L"The play run was stopped: the system refused the input Taplore sent.\n"
     L"A program running as administrator may have the focus; input from Taplore cannot reach it.",
     L"システムが Taplore の送った入力を受け付けなかったため、再生を停止しました。\n"
     L"管理者として実行中のプログラムがフォーカスを持っている可能性があります。"
     L"Taplore からの入力はそのプログラムに届きません。"},
    {L"Screenshots not saved", L"スクリーンショットの未保存"},
    {L"Screenshots of this run could not be saved to the folder\n%s\n"
     L"Check that the folder exists, takes new files and has room on its drive.",
     L"この再生のスクリーンショットをフォルダーに保存できませんでした。\n%s\n"
     L"フォルダーがあり、新しいファイルを書き込めて、ドライブに空きがあることを確認してください。"},
    {L"The file is no longer there and has been taken off the list:\n%s",
     L"ファイルが見つからないため、一覧から外しました。\n%s"},
    {L"Taplore.exe [FILE.mou]\n"
     L"    Starts with that file open.\n\n"
     L"Taplore.exe /play FILE.mou [/repeat N] [/speed X] [/yes] [/quiet]\n"
     L"    Plays the file without showing the main window, then ends.\n"
     L"    /repeat N   plays it N times (0 once, a negative number until the break key).\n"
     L"    /speed X    the speed, 0.1 to 100, such as 2 or 0.5 (1 when not given).\n"
     L"    /yes        plays a file saved on another computer without asking.\n"
     L"    /quiet      shows no window and no message (for the Task Scheduler).\n\n"
     L"Exit code: 0 every pass ran, 1 the break key stopped it, 2 the file could not be read, "
     L"an argument is wrong, or the run was refused.",
     L"Taplore.exe [ファイル.mou]\n"
     L"    そのファイルを開いて起動します。\n\n"
     L"Taplore.exe /play ファイル.mou [/repeat N] [/speed X] [/yes] [/quiet]\n"
     L"    メイン画面を出さずにファイルを再生して終了します。\n"
     L"    /repeat N   N 回再生します（0 は 1 回、負の数は中断キーまで）。\n"
     L"    /speed X    再生速度（0.1 から 100、例: 2、0.5。省略時は 1）。\n"
     L"    /yes        他のパソコンで保存したファイルも確認せずに再生します。\n"
     L"    /quiet      画面もメッセージも出しません（タスク スケジューラ向け）。\n\n"
     L"終了コード: 0 すべて再生した、1 中断キーで止めた、2 ファイルを読めない・引数が正しくない・再生しなかった。"},
    {L"The operation file could not be read:\n%s", L"操作ファイルを読み込めませんでした。\n%s"},
    {L"Unknown switch: %s", L"不明なスイッチです: %s"},
    {L"%s needs a value after it.", L"%s の後に値がありません。"},
    {L"Not a repeat count for /repeat: %s", L"/repeat の回数が正しくありません: %s"},
    {L"Not a speed from 0.1 to 100 for /speed: %s", L"/speed の速度が正しくありません（0.1 から 100）: %s"},
    {L"/play needs the file to play.%s", L"/play には再生するファイルを指定してください。%s"},
    {L"An argument that needs /play, or a second file: %s", L"/play なしでは使えない引数か、2 つ目のファイルです: %s"},
    {L"Hotkey", L"ホットキー"},
    {L"The hotkey of Start Record needs Ctrl or Alt: a key without them would be taken from typing in every "
     L"program.\nOnly the function keys F1 to F24 may be used alone or with Shift.",
     L"記録開始のホットキーには Ctrl か Alt を含めてください。含めないと、すべてのプログラムでその文字が入力できなくなります。\n"
     L"ファンクションキー F1～F24 だけは単独でも Shift とでも使えます。"},
    {L"The hotkey of Start Play needs Ctrl or Alt: a key without them would be taken from typing in every "
     L"program.\nOnly the function keys F1 to F24 may be used alone or with Shift.",
     L"再生開始のホットキーには Ctrl か Alt を含めてください。含めないと、すべてのプログラムでその文字が入力できなくなります。\n"
     L"ファンクションキー F1～F24 だけは単独でも Shift とでも使えます。"},
    {L"The hotkey %s of Start Record is in use by another program.\nIt is not active.",
     L"記録開始のホットキー %s は他のプログラムが使用しています。\nこのホットキーは無効です。"},
    {L"The hotkey %s of Start Play is in use by another program.\nIt is not active.",
     L"再生開始のホットキー %s は他のプログラムが使用しています。\nこのホットキーは無効です。"},
    {L"Not active: in use elsewhere", L"無効: 他のプログラムが使用中"},
};
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<int>(TextId::Count), "one pair per TextId");

}  // namespace

const wchar_t* TextFor(TextId id, int language) {
    const int index = static_cast<int>(id);
    if (index < 0 || index >= static_cast<int>(TextId::Count)) return nullptr;
    return language == 1 ? kTexts[index].japanese : kTexts[index].english;
}
