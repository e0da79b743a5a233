// Builds a list of 1,000,000 records and renders every row's five texts the
// way a virtual list view would: one running-sum pass for the time codes, then
// each row in O(1). Prints the phases and, last, model_1M_rows_ms.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "model/action.h"

namespace {

constexpr int kRecords = 1000000;

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    auto start = std::chrono::steady_clock::now();

    ActionList list;
    for (int i = 0; i < kRecords; ++i) {
        // A recording's mix: mouse pushes and releases, keys, the odd screenshot.
        ActionRecord* r = nullptr;
        switch (i % 5) {
        case 0: r = list.append(ActionDevice::Mouse, ActionKind::MouseLeftPush, i % 1920, i % 1080, 0, 120); break;
        case 1: r = list.append(ActionDevice::Mouse, ActionKind::MouseLeftRelease, i % 1920, -(i % 1080), 0, 80); break;
        case 2: r = list.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 65 + i % 40, 350); break;
        case 3: r = list.append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 65 + i % 40, 4000); break;
        default: r = list.append(ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0, 3600123); break;
        }
        if (!r) {
            std::fprintf(stderr, "out of memory at record %d\n", i);
            return 1;
        }
    }
    double buildMs = MillisecondsSince(start);

    auto renderStart = std::chrono::steady_clock::now();
    std::unique_ptr<uint32_t[]> codes(new (std::nothrow) uint32_t[kRecords]);
    if (!codes) return 1;
    list.timeCodes(codes.get(), kRecords);
    // The checksum keeps the compiler from dropping the rendering.
    uint64_t checksum = 0;
    RowTexts texts;
    for (int i = 0; i < list.count(); ++i) {
        list.rowTexts(i, codes[i], i & 1, &texts);
        for (const auto& text : texts.text) checksum += static_cast<uint16_t>(text[0]) + text[1];
    }
    double renderMs = MillisecondsSince(renderStart);
    double totalMs = MillisecondsSince(start);

    RowTexts last;
    list.rowTexts(kRecords - 1, codes[kRecords - 1], 0, &last);
    std::printf("records: %d (capacity %d)\n", list.count(), list.capacity());
    std::printf("build_ms: %.1f\n", buildMs);
    std::printf("render_ms: %.1f (checksum %llu)\n", renderMs, static_cast<unsigned long long>(checksum));
    std::printf("last_row_time_code_ms: %u\n", static_cast<unsigned>(codes[kRecords - 1]));
    std::printf("model_1M_rows_ms: %.0f\n", totalMs);
    return 0;
}
