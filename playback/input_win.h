#pragma once
// Input injection for playback: the INPUT records each action kind becomes,
// the mapping of screen pixels to absolute mouse coordinates, and the record
// of what a run holds pressed so that an interrupted run can let go of it.
#include <windows.h>

#include <cstdint>

#include "core/array.h"
#include "model/action.h"

// Where injected input goes. The player talks only to this, so tests can put
// a recording fake in place of the system.
class IInputSink {
public:
    virtual ~IInputSink() {}
    // Injects the records in order as one uninterrupted sequence; returns the
    // number of records the system accepted.
    virtual UINT Send(UINT count, INPUT* inputs) = 0;
    // The virtual desktop (all monitors) in screen pixels.
    virtual RECT VirtualDesktop() = 0;
};

// The system's input: SendInput and the virtual-screen metrics.
class CSystemInput : public IInputSink {
public:
    UINT Send(UINT count, INPUT* inputs) override;
    RECT VirtualDesktop() override;
};

enum : int { kMaxActionInputs = 5 };

// The absolute coordinate (0 .. 65535) that the system maps back to exactly
// `pixel`. Windows and Wine compute origin + value * extent / 65536 and
// truncate, so the value must be rounded up: rounding down lands one pixel
// short. Pixels outside the desktop are clamped to its edge.
LONG AbsoluteCoordinate(int32_t pixel, LONG origin, LONG extent);

// Fills `out` with the records that play `record` over `desktop`, all meant
// for one Send call: an absolute move and the button records of a mouse kind,
// or one key record (with the record's stroke, or without one the scan code
// of its virtual key and the flag it has by nature); a move alone for MouseMove; the move and the turn, with
// the record's delta, for a wheel. Returns their number; 0 for a screenshot
// or an unknown kind, which send nothing. Each button record states the position of the
// move again: a button record without one acts wherever the system believes
// the pointer to be, and under Wine that can still be the previous position.
int BuildActionInputs(const ActionRecord& record, const RECT& desktop, INPUT out[kMaxActionInputs]);

// The buttons and keys that injected input has pressed and not released.
class CHeldInput {
public:
    CHeldInput() {}
    CHeldInput(const CHeldInput&) = delete;
    CHeldInput& operator=(const CHeldInput&) = delete;

    // Takes note of records that the system accepted.
    void Note(const INPUT* inputs, UINT count);
    bool Empty() const { return buttons_ == 0 && keys_.Empty(); }
    // Sends, in one call, the release of everything held: buttons first, then
    // keys in the reverse order of their presses. Returns the number of
    // records accepted; only their buttons and keys count as released, the
    // refused ones stay held for a later try.
    UINT ReleaseAll(IInputSink* sink);
    // Forgets everything held without releasing it.
    void Forget();

private:
    void AddKey(const KEYBDINPUT& key);
    void RemoveKey(const KEYBDINPUT& key);

    static constexpr unsigned kLeft = 1, kRight = 2, kMiddle = 4, kX1 = 8, kX2 = 16;
    unsigned buttons_ = 0;  // the k* bits of the buttons held
    // Where the last absolute mouse record put the pointer: buttons are let go
    // there, stated again, since the system may not have caught up with it.
    DWORD place_ = 0;
    LONG dx_ = 0;
    LONG dy_ = 0;
    CArray<KEYBDINPUT> keys_;  // virtual key, scan code, extended flag; in the order they were pressed
};
