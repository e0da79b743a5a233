#pragma once
// The time codes of the list rows, kept as a running sum so that a list view
// that asks for rows one by one, in any order, never adds up the intervals
// above a row again: each time code is computed once, in one forward pass,
// until the records it depends on change.
#include <cstdint>

#include "core/array.h"
#include "model/action.h"

class CRowTimeCodes {
public:
    CRowTimeCodes() = default;
    CRowTimeCodes(const CRowTimeCodes&) = delete;
    CRowTimeCodes& operator=(const CRowTimeCodes&) = delete;

    // The time code of row `row` of `list` (0 outside the list). Extends the
    // running sum up to `row` when needed; when memory runs out the time code
    // is summed directly instead.
    uint32_t At(const ActionList& list, int row);
    // The records from `row` on have changed, moved or gone; records appended
    // at the end need no call.
    void Invalidate(int row);
    // Rows whose time code is known.
    int KnownRows() const { return known_; }

private:
    bool Reserve(int rows);

    CArray<uint32_t> sums_;  // storage only: sums_[i] is the time code of row i, for i < known_
    int known_ = 0;
};
