#pragma once
// A topmost borderless window painted in known colours, for screenshot tests:
// vertical stripes of equal width, left to right in the order given.
#include <windows.h>

#include <vector>

class ColourWindow {
public:
    ColourWindow(int left, int top, int width, int height, std::vector<COLORREF> stripes)
        : left_(left), top_(top), width_(width), height_(height), stripes_(std::move(stripes)) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TaploreColourWindow";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"colours", WS_POPUP, left, top,
                                  width, height, nullptr, nullptr, wc.hInstance, this);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
    }
    ~ColourWindow() { DestroyWindow(window_); }

    // The colour the stripe containing screen column x should show.
    COLORREF ColourAt(int x) const {
        int stripe = (x - left_) * static_cast<int>(stripes_.size()) / width_;
        return stripes_[stripe];
    }

    // Pumps messages until the screen shows the stripes (sampled in the middle
    // of each), or timeoutMs have passed.
    bool WaitUntilShown(DWORD timeoutMs) {
        DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (Shown()) return true;
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(10);
        }
    }

    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    size_t stripes() const { return stripes_.size(); }
    // Middle column of stripe i, in screen coordinates.
    int StripeCentre(size_t i) const {
        return left_ + static_cast<int>((2 * i + 1) * width_ / (2 * stripes_.size()));
    }

private:
    bool Shown() const {
        HDC screen = GetDC(nullptr);
        bool ok = true;
        for (size_t i = 0; i < stripes_.size() && ok; ++i) {
            ok = GetPixel(screen, StripeCentre(i), top_ + height_ / 2) == stripes_[i];
        }
        ReleaseDC(nullptr, screen);
        return ok;
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<ColourWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && message == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            int n = static_cast<int>(self->stripes_.size());
            for (int i = 0; i < n; ++i) {
                RECT r = {i * self->width_ / n, 0, (i + 1) * self->width_ / n, self->height_};
                HBRUSH brush = CreateSolidBrush(self->stripes_[i]);
                FillRect(dc, &r, brush);
                DeleteObject(brush);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    int left_, top_, width_, height_;
    std::vector<COLORREF> stripes_;
};
