#include "model/action.h"

#include <cstring>
#include <limits>
#include <utility>

#include "core/texts.h"
#include "model/keynames.h"

namespace {

// Storage grows by at least this many slots, and by half its size once it is
// larger, so that building a long list costs amortised O(1) per record (a
// fixed step would copy the whole array every 256 records: 1,000,000 records
// took 33 s). It never shrinks except by clear.
constexpr int32_t kGrowthStep = 256;

int32_t GrownCapacity(int32_t capacity) {
    // Saturate at the largest count an int32 can hold; a list that cannot grow
    // any more fails like any other failed allocation.
    constexpr int32_t kMaxSlots = std::numeric_limits<int32_t>::max();
    int32_t step = capacity / 2 > kGrowthStep ? capacity / 2 : kGrowthStep;
    return capacity > kMaxSlots - step ? kMaxSlots : capacity + step;
}

const wchar_t* const kFormatTexts[4] = {L"Bitmap", L"JPEG", L"GIF", L"PNG"};

// Appends value in decimal with at least minDigits digits (zero padded);
// returns the new position. The caller guarantees room for 10 digits.
int PutUnsigned(wchar_t* out, int pos, uint32_t value, int minDigits) {
    wchar_t digits[10];
    int d = 0;
    do {
        digits[d++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value);
    while (d < minDigits) digits[d++] = L'0';
    while (d) out[pos++] = digits[--d];
    return pos;
}

int PutSigned(wchar_t* out, int pos, int32_t value) {
    return pos + FormatDecimal(value, out + pos);
}

int PutText(wchar_t* out, int pos, const wchar_t* text) {
    while (*text) out[pos++] = *text++;
    return pos;
}

int CopyText(wchar_t* out, const wchar_t* text) {
    int n = text ? PutText(out, 0, text) : 0;
    out[n] = 0;
    return n;
}

}  // namespace

const wchar_t* RowColumnHeading(int column, int language) {
    if (column < 0 || column >= kRowColumns) return nullptr;
    return TextFor(static_cast<TextId>(static_cast<int>(TextId::ColumnTimeCode) + column), language);
}

const wchar_t* ActionKindText(ActionKind kind, int language) {
    int32_t value = static_cast<int32_t>(kind);
    if (value < 1 || value > kLastActionKind) return nullptr;
    return TextFor(static_cast<TextId>(static_cast<int>(TextId::KindMouseLeftPush) + value - 1), language);
}

bool IsExtendedByNature(int32_t code) {
    switch (code) {
    case 0x03:  // VK_CANCEL (Ctrl+Break)
    case 0x21: case 0x22: case 0x23: case 0x24:  // VK_PRIOR, VK_NEXT, VK_END, VK_HOME
    case 0x25: case 0x26: case 0x27: case 0x28:  // VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN
    case 0x2C: case 0x2D: case 0x2E:             // VK_SNAPSHOT, VK_INSERT, VK_DELETE
    case 0x5B: case 0x5C: case 0x5D: case 0x5F:  // VK_LWIN, VK_RWIN, VK_APPS, VK_SLEEP
    case 0x6F:                                   // VK_DIVIDE
    case 0x90:                                   // VK_NUMLOCK
    case 0xA3: case 0xA5:                        // VK_RCONTROL, VK_RMENU
        return true;
    default:
        // VK_BROWSER_BACK .. VK_LAUNCH_APP2
        return code >= 0xA6 && code <= 0xB7;
    }
}

int OperationText(ActionKind kind, int32_t keyCode, int language, wchar_t* out) {
    int pos = CopyText(out, ActionKindText(kind, language));
    if (IsWheelKind(kind)) {
        out[pos++] = L' ';
        pos = PutSigned(out, pos, keyCode);
        out[pos] = 0;
    }
    return pos;
}

const wchar_t* ActionDeviceText(ActionDevice device, int language) {
    int32_t value = static_cast<int32_t>(device);
    if (value < 0 || value > 2) return nullptr;
    return TextFor(static_cast<TextId>(static_cast<int>(TextId::DeviceMouse) + value), language);
}

const wchar_t* ScreenshotFormatText(ScreenshotFormat format) {
    int32_t value = static_cast<int32_t>(format);
    if (value < 0 || value > 3) return nullptr;
    return kFormatTexts[value];
}

int FormatDuration(uint32_t t, wchar_t* out) {
    int pos = PutUnsigned(out, 0, t / 3600000u, 2);
    out[pos++] = L':';
    pos = PutUnsigned(out, pos, t % 3600000u / 60000u, 2);
    out[pos++] = L':';
    pos = PutUnsigned(out, pos, t % 60000u / 1000u, 2);
    out[pos++] = L'.';
    pos = PutUnsigned(out, pos, t % 1000u, 3);
    out[pos] = 0;
    return pos;
}

ActionRecord* ActionList::append(ActionDevice device, ActionKind kind, int32_t x, int32_t y,
                                 int32_t keyCode, uint32_t interval) {
    ActionRecord record = {interval, device, kind, x, y, keyCode};
    return append(record);
}

ActionRecord* ActionList::append(const ActionRecord& record) {
    if (records_.Count() == records_.Capacity()) {
        int32_t grown = GrownCapacity(records_.Capacity());
        if (grown == records_.Capacity() || !records_.Reserve(grown)) return nullptr;
    }
    ActionRecord* added = records_.Append(record);
    if (added) modified = 1;
    return added;
}

void ActionList::clear() { records_.Free(); }

void ActionList::takeRecords(ActionList& other) {
    if (&other == this) return;
    records_ = std::move(other.records_);
}

ActionRecord* ActionList::at(int i) {
    return i >= 0 && i < records_.Count() ? &records_[i] : nullptr;
}

const ActionRecord* ActionList::at(int i) const {
    return i >= 0 && i < records_.Count() ? &records_[i] : nullptr;
}

int ActionList::replace(int i, const ActionRecord& record) {
    ActionRecord* slot = at(i);
    if (!slot) return 0;
    *slot = record;
    modified = 1;
    return 1;
}

int ActionList::remove(int i) {
    if (i < 0 || i >= records_.Count()) return 0;
    records_.RemoveAt(i);
    modified = 1;
    return 1;
}

int ActionList::moveUp(int i) {
    if (i < 1 || i >= records_.Count()) return 0;
    ActionRecord held = records_[i - 1];
    records_[i - 1] = records_[i];
    records_[i] = held;
    modified = 1;
    return 1;
}

int ActionList::moveDown(int i) {
    if (i < 0 || i >= records_.Count() - 1) return 0;
    return moveUp(i + 1);
}

uint32_t ActionList::timeCode(int i) const {
    if (i > records_.Count()) i = records_.Count();
    uint32_t sum = 0;
    for (int k = 0; k < i; ++k) sum += records_[k].interval;
    return sum;
}

int ActionList::timeCodes(uint32_t* out, int n) const {
    if (n > records_.Count()) n = records_.Count();
    uint32_t sum = 0;
    for (int k = 0; k < n; ++k) {
        out[k] = sum;
        sum += records_[k].interval;
    }
    return n < 0 ? 0 : n;
}

int ActionList::rowTexts(int i, int language, RowTexts* out) const {
    return rowTexts(i, timeCode(i), language, out);
}

int ActionList::rowTexts(int i, uint32_t timeCode, int language, RowTexts* out) const {
    for (auto& text : out->text) text[0] = 0;
    const ActionRecord* r = at(i);
    if (!r) return 0;
    FormatDuration(timeCode, out->text[0]);
    FormatDuration(r->interval, out->text[1]);
    if (r->device == ActionDevice::Mouse) {
        wchar_t* t = out->text[2];
        int pos = PutText(t, 0, L"(x=");
        pos = PutSigned(t, pos, r->x);
        pos = PutText(t, pos, L", y=");
        pos = PutSigned(t, pos, r->y);
        pos = PutText(t, pos, L")");
        t[pos] = 0;
    }
    if (r->device == ActionDevice::Keyboard) keyName(r->keyCode, out->text[3]);
    OperationText(r->kind, r->keyCode, language, out->text[4]);
    return 1;
}
