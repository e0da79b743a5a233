#pragma once
// An hour of mouse motion as a recording at 1 ms holds it: moves along a
// wandering path, with clicks, wheel notches and typing now and then. Shared
// by the benchmarks that load, open and save such a list.
#include <cstdint>

#include "model/action.h"

inline void GenerateMotion(ActionList* list, int count) {
    uint32_t state = 777;
    auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    int x = 960, y = 540;
    for (int i = 0; i < count; ++i) {
        const uint32_t pick = next(1000);
        if (pick < 990) {
            x = (x + static_cast<int>(next(7)) - 3 + 1920) % 1920;
            y = (y + static_cast<int>(next(5)) - 2 + 1080) % 1080;
            list->append(ActionDevice::Mouse, ActionKind::MouseMove, x, y, 0, 1);
        } else if (pick < 994) {
            list->append(ActionDevice::Mouse, next(2) ? ActionKind::MouseLeftPush : ActionKind::MouseLeftRelease, x,
                         y, 0, next(200));
        } else if (pick < 996) {
            list->append(ActionDevice::Mouse, ActionKind::MouseWheel, x, y, next(2) ? 120 : -120, next(50));
        } else {
            list->append(ActionDevice::Keyboard, next(2) ? ActionKind::PushKey : ActionKind::ReleaseKey, 0, 0,
                         static_cast<int32_t>(0x41 + next(26)), next(300));
        }
    }
    list->screenshotFolder.Assign(L"C:\\Users\\operator\\Pictures\\Shots");
}
