#include "app/row_time_codes.h"

void CRowTimeCodes::Invalidate(int row) {
    if (row < 0) row = 0;
    if (row < known_) known_ = row;
}

bool CRowTimeCodes::Reserve(int rows) {
    const int capacity = sums_.Capacity();
    if (rows <= capacity) return true;
    // Doubling keeps the copies of a growing list linear in its length.
    int64_t wanted = capacity < 1024 ? 1024 : static_cast<int64_t>(capacity) * 2;
    if (wanted < rows) wanted = rows;
    if (wanted > INT32_MAX) wanted = INT32_MAX;
    return sums_.Reserve(static_cast<int>(wanted));
}

uint32_t CRowTimeCodes::At(const ActionList& list, int row) {
    if (row < 0 || row >= list.count()) return 0;
    if (known_ > list.count()) known_ = list.count();
    if (row < known_) return sums_[row];
    if (!Reserve(list.count())) return list.timeCode(row);
    uint32_t sum = 0;
    if (known_ > 0) sum = sums_[known_ - 1] + list.at(known_ - 1)->interval;
    for (int i = known_; i <= row; ++i) {
        sums_[i] = sum;
        sum += list.at(i)->interval;
    }
    known_ = row + 1;
    return sums_[row];
}
