#pragma once
// Playback speed. A speed is held in hundredths (100 plays at the recorded
// pace, 200 twice as fast, 50 at half speed) so that the choices of the main
// window and every typed value up to two decimals are exact. The speed only
// scales the waits of a run: the list and its file keep the recorded
// intervals.
#include <cstdint>

enum : int32_t {
    kSpeedNormal = 100,
    kSpeedMin = 10,     // x0.1
    kSpeedMax = 10000,  // x100
    // "x" or "-", up to five digits, ".", two decimals, terminator.
    kSpeedTextCapacity = 12,
};

// The choices offered in the main window, slowest first.
extern const int32_t kSpeedChoices[6];

// A typed speed: optional blanks, an optional "x" (or "X", "×"), a decimal
// number with at most two decimals ("2", "0.25", "x1.5", ".5"), optional
// blanks. Returns the speed in hundredths, or 0 when the text is not such a
// number or lies outside x0.1 .. x100.
int32_t ParsePlaySpeed(const wchar_t* text);

// Writes "x" and the speed with no trailing zeros ("x0.25", "x2", "x1.5")
// into `out` (at least kSpeedTextCapacity units); returns the length.
int FormatPlaySpeed(int32_t speed, wchar_t* out);

// Turns recorded intervals into the waits of a run at one speed. The part of
// a millisecond that each division leaves is carried into the next interval,
// so a long list keeps to its scaled timeline exactly: after any number of
// intervals the waits add up to the scaled sum of the recorded ones, rounded
// down. At the normal speed every wait is its interval.
class CIntervalScaler {
public:
    // Speeds outside kSpeedMin .. kSpeedMax play at the normal speed.
    explicit CIntervalScaler(int32_t speed);
    uint32_t Next(uint32_t interval);
    int32_t Speed() const { return speed_; }

private:
    int32_t speed_;
    uint64_t carried_ = 0;  // hundredths of a millisecond times the speed, < speed_
};
