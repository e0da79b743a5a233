#include <string>

#include "doctest.h"
#include "model/play_speed.h"
#include "test_util.h"

using testutil::Utf8;

TEST_CASE("typed speeds: a number with up to two decimals between x0.1 and x100") {
    struct Case {
        const wchar_t* text;
        int32_t speed;
    } cases[] = {
        {L"1", 100},      {L"x1", 100},     {L"X2", 200},      {L"\u00d74", 400},  {L"0.25", 25},
        {L"x0.5", 50},    {L".5", 50},      {L"1.", 100},      {L" x10 ", 1000},   {L"\t2.75", 275},
        {L"0.1", 10},     {L"100", 10000},  {L"100.00", 10000}, {L"007", 700},
        // Out of range, malformed, or more precise than a hundredth.
        {L"0.09", 0},     {L"100.01", 0},   {L"0", 0},         {L"", 0},           {L"x", 0},
        {L".", 0},        {L"-2", 0},       {L"2x", 0},        {L"1.255", 0},      {L"1,5", 0},
        {L"x 2", 0},      {L"1 0", 0},      {L"9999999", 0},   {L"2.5.", 0},
    };
    for (const Case& c : cases) {
        CAPTURE(Utf8(c.text));
        CHECK(ParsePlaySpeed(c.text) == c.speed);
    }
    CHECK(ParsePlaySpeed(nullptr) == 0);
}

TEST_CASE("speeds are shown as x and the shortest decimal, and read back the same") {
    struct Case {
        int32_t speed;
        const char* text;
    } cases[] = {{25, "x0.25"}, {50, "x0.5"}, {100, "x1"},   {150, "x1.5"},
                 {205, "x2.05"}, {1000, "x10"}, {10, "x0.1"}, {10000, "x100"}};
    for (const Case& c : cases) {
        wchar_t out[kSpeedTextCapacity];
        CHECK(FormatPlaySpeed(c.speed, out) == static_cast<int>(std::string(c.text).size()));
        CHECK(Utf8(out) == c.text);
    }
    for (int32_t speed = kSpeedMin; speed <= kSpeedMax; ++speed) {
        wchar_t out[kSpeedTextCapacity];
        FormatPlaySpeed(speed, out);
        REQUIRE(ParsePlaySpeed(out) == speed);
    }
}

TEST_CASE("scaled waits keep to the scaled timeline over a long list") {
    const uint32_t intervals[] = {0, 33, 1, 7, 100, 3, 0, 59, 1000, 17, 2, 45};
    for (int32_t speed : {10, 25, 50, 100, 150, 200, 300, 400, 700, 1000, 3333, 10000}) {
        CAPTURE(speed);
        CIntervalScaler scaler(speed);
        uint64_t recorded = 0, waited = 0;
        for (int round = 0; round < 500; ++round) {
            for (uint32_t interval : intervals) {
                const uint32_t wait = scaler.Next(interval);
                recorded += interval;
                waited += wait;
                // No wait strays more than a millisecond from its exact share.
                const double exact = interval * 100.0 / speed;
                REQUIRE(wait >= exact - 1.0);
                REQUIRE(wait <= exact + 1.0);
            }
            REQUIRE(waited == recorded * 100 / static_cast<uint64_t>(speed));
        }
    }
    CIntervalScaler normal(kSpeedNormal);
    for (uint32_t interval : {0u, 1u, 33u, 4294967295u}) CHECK(normal.Next(interval) == interval);
    // Outside the range the list plays at its recorded pace; a slow speed
    // never wraps a long interval around.
    CHECK(CIntervalScaler(0).Speed() == kSpeedNormal);
    CHECK(CIntervalScaler(10001).Speed() == kSpeedNormal);
    CHECK(CIntervalScaler(10).Next(4294967295u) == 4294967295u);
    CHECK(CIntervalScaler(10).Next(400000000u) == 4000000000u);
}
