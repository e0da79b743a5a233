#include "model/play_speed.h"

#include <cstdint>

const int32_t kSpeedChoices[6] = {25, 50, 100, 200, 400, 1000};

int32_t ParsePlaySpeed(const wchar_t* text) {
    if (!text) return 0;
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t') ++p;
    if (*p == L'x' || *p == L'X' || *p == 0x00D7) ++p;
    int64_t value = 0;
    int digits = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p, ++digits) {
        if (digits >= 6) return 0;
        value = value * 10 + (*p - L'0');
    }
    value *= 100;
    int decimals = 0;
    if (*p == L'.') {
        ++p;
        int64_t scale = 10;
        for (; *p >= L'0' && *p <= L'9'; ++p, ++decimals) {
            if (decimals >= 2) return 0;
            value += (*p - L'0') * scale;
            scale /= 10;
        }
    }
    if (digits + decimals == 0) return 0;
    while (*p == L' ' || *p == L'\t') ++p;
    if (*p) return 0;
    if (value < kSpeedMin || value > kSpeedMax) return 0;
    return static_cast<int32_t>(value);
}

int FormatPlaySpeed(int32_t speed, wchar_t* out) {
    wchar_t digits[kSpeedTextCapacity];
    int n = 0;
    uint32_t whole = static_cast<uint32_t>(speed < 0 ? 0 : speed) / 100;
    const uint32_t part = static_cast<uint32_t>(speed < 0 ? 0 : speed) % 100;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + whole % 10);
        whole /= 10;
    } while (whole && n < 6);
    int length = 0;
    out[length++] = L'x';
    while (n > 0) out[length++] = digits[--n];
    if (part) {
        out[length++] = L'.';
        out[length++] = static_cast<wchar_t>(L'0' + part / 10);
        if (part % 10) out[length++] = static_cast<wchar_t>(L'0' + part % 10);
    }
    out[length] = 0;
    return length;
}

CIntervalScaler::CIntervalScaler(int32_t speed)
    : speed_(speed >= kSpeedMin && speed <= kSpeedMax ? speed : kSpeedNormal) {}

uint32_t CIntervalScaler::Next(uint32_t interval) {
    const uint64_t scaled = static_cast<uint64_t>(interval) * 100 + carried_;
    carried_ = scaled % static_cast<uint64_t>(speed_);
    const uint64_t wait = scaled / static_cast<uint64_t>(speed_);
    // Only slow speeds of intervals near 50 days reach the limit.
    return wait > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(wait);
}
