// capture_probe.exe FOLDER
// Shows a window in known colours and plays one Screenshot action per format
// (JPEG, GIF, PNG, Bitmap) into FOLDER through the player, as the program
// does. Prints the virtual desktop size and then one line "x y RRGGBB" per
// screen point whose colour the images must show (positions relative to the
// desktop's top-left corner), for capture_decode.sh to check with ImageMagick.
#include <cstdio>

#include "capture_window.h"
#include "play_window.h"
#include "playback/capture_win.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    ULONG_PTR gdiplus = GdiPlusStart();
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    ColourWindow colours(vx + 300, vy + 200, 500, 100,
                         {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0)});
    if (!colours.WaitUntilShown(5000)) return 3;
    int result = 0;
    {
        PlayWindow window;
        CPlayer player;
        window.SetPlayer(&player);
        player.SetMainWindow(window.hwnd());
        if (!player.StartThread()) return 4;
        ActionList list;
        list.append(ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0, 0);
        list.screenshotFolder.Assign(argv[1]);
        // Bitmap last: a conversion deletes its intermediate BMP, which has
        // the name of a Bitmap screenshot taken in the same second.
        const ScreenshotFormat formats[] = {ScreenshotFormat::JPEG, ScreenshotFormat::GIF,
                                            ScreenshotFormat::PNG, ScreenshotFormat::Bitmap};
        for (int i = 0; i < 4 && result == 0; ++i) {
            list.screenshotFormat = formats[i];
            if (!player.RequestPlay(list, 0) || !window.WaitForPlayEnd(i + 1, 20000)) result = 5;
        }
        player.StopThread();
    }
    std::printf("%d %d\n", vw, vh);
    for (size_t i = 0; i < colours.stripes(); ++i) {
        int x = colours.StripeCentre(i);
        COLORREF c = colours.ColourAt(x);
        for (int y : {colours.top() + 5, colours.top() + colours.height() / 2}) {
            std::printf("%d %d %02X%02X%02X\n", x - vx, y - vy, GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    GdiPlusStop(gdiplus);
    return result;
}
