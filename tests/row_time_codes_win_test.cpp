// The running sum behind the list view's time codes: every answer equals the
// model's own sum, in any order of asking and after every kind of change.
#include "app/row_time_codes.h"

#include <cstdint>

#include "doctest.h"

namespace {

void Fill(ActionList& list, int n, uint32_t seed) {
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        list.append(ActionDevice::Mouse, ActionKind::MouseLeftPush, i, 0, 0, seed % 100000);
    }
}

bool AllMatch(CRowTimeCodes& codes, const ActionList& list) {
    for (int i = list.count() - 1; i >= 0; --i) {
        if (codes.At(list, i) != list.timeCode(i)) return false;
    }
    return true;
}

}  // namespace

TEST_CASE("time codes are summed once, as far as asked, in any order") {
    ActionList list;
    Fill(list, 3000, 7);
    CRowTimeCodes codes;
    CHECK(codes.At(list, 0) == 0);
    CHECK(codes.At(list, 1500) == list.timeCode(1500));
    CHECK(codes.KnownRows() == 1501);  // nothing beyond the row asked for
    CHECK(codes.At(list, 700) == list.timeCode(700));
    CHECK(codes.KnownRows() == 1501);
    CHECK(codes.At(list, 2999) == list.timeCode(2999));
    CHECK(codes.At(list, 3000) == 0);
    CHECK(codes.At(list, -1) == 0);
    CHECK(AllMatch(codes, list));
}

TEST_CASE("changes in the middle are summed again from the changed row on") {
    ActionList list;
    Fill(list, 2000, 11);
    CRowTimeCodes codes;
    REQUIRE(AllMatch(codes, list));

    SUBCASE("an interval is overwritten") {
        ActionRecord changed = *list.at(10);
        changed.interval = 4294967295u;  // wraps every later sum
        list.replace(10, changed);
        codes.Invalidate(10);
        CHECK(codes.KnownRows() == 10);
        CHECK(AllMatch(codes, list));
    }
    SUBCASE("a record is removed") {
        list.remove(500);
        codes.Invalidate(500);
        CHECK(AllMatch(codes, list));
    }
    SUBCASE("two records change places") {
        list.moveUp(1999);
        codes.Invalidate(1998);
        CHECK(AllMatch(codes, list));
    }
    SUBCASE("records appended at the end need nothing") {
        Fill(list, 5000, 13);
        CHECK(AllMatch(codes, list));
    }
    SUBCASE("the list shrinks at its end and grows again") {
        list.remove(1999);
        list.remove(1998);
        CHECK(codes.At(list, 1997) == list.timeCode(1997));
        list.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 65, 5);
        CHECK(AllMatch(codes, list));
    }
    SUBCASE("the list is emptied and filled anew") {
        list.clear();
        codes.Invalidate(0);
        CHECK(codes.At(list, 0) == 0);
        Fill(list, 300, 17);
        CHECK(AllMatch(codes, list));
    }
}
