#include "config/command_line.h"

#include <cstdint>

#include "core/texts.h"
#include "model/play_speed.h"

namespace {

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool IsSwitch(const wchar_t* argument) { return argument[0] == L'/' || argument[0] == L'-'; }

// Whether the switch `argument` (with its "/" or "-") is `name`.
bool SwitchIs(const wchar_t* argument, const wchar_t* name) {
    const wchar_t* p = argument + 1;
    for (; *name; ++p, ++name) {
        if (Lower(*p) != *name) return false;
    }
    return *p == 0;
}

// The whole text as a repeat count: blanks, an optional "-", digits.
bool ParseRepeat(const wchar_t* text, int32_t* out) {
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t') ++p;
    bool negative = false;
    if (*p == L'-') {
        negative = true;
        ++p;
    }
    if (*p < L'0' || *p > L'9') return false;
    int64_t value = 0;
    for (; *p; ++p) {
        if (*p < L'0' || *p > L'9') return false;
        value = value * 10 + (*p - L'0');
        if (value > INT32_MAX) return false;
    }
    *out = static_cast<int32_t>(negative ? -value : value);
    return true;
}

LaunchRequest Failed(LaunchError error, const wchar_t* argument, bool quiet) {
    LaunchRequest request;
    request.mode = LaunchMode::Error;
    request.quiet = quiet;
    request.error = error;
    request.argument = argument;
    return request;
}

}  // namespace

LaunchRequest ParseCommandLine(int count, const wchar_t* const* arguments) {
    LaunchRequest request;
    // /quiet anywhere keeps every error silent, also one found before it.
    for (int i = 0; i < count; ++i) {
        if (arguments[i] && IsSwitch(arguments[i]) && SwitchIs(arguments[i], L"quiet")) request.quiet = true;
    }
    const bool quiet = request.quiet;
    bool play = false, usage = false;
    const wchar_t* extra = nullptr;  // the first argument that needs /play
    for (int i = 0; i < count; ++i) {
        const wchar_t* argument = arguments[i] ? arguments[i] : L"";
        if (!argument[0]) continue;
        if (!IsSwitch(argument)) {
            if (request.file) return Failed(LaunchError::ExtraArgument, argument, quiet);
            request.file = argument;
            continue;
        }
        if (SwitchIs(argument, L"?") || SwitchIs(argument, L"help")) {
            usage = true;
        } else if (SwitchIs(argument, L"play")) {
            play = true;
        } else if (SwitchIs(argument, L"yes")) {
            request.yes = true;
            if (!extra) extra = argument;
        } else if (SwitchIs(argument, L"quiet")) {
            if (!extra) extra = argument;
        } else if (SwitchIs(argument, L"repeat") || SwitchIs(argument, L"speed")) {
            const bool repeat = SwitchIs(argument, L"repeat");
            if (i + 1 >= count || !arguments[i + 1]) return Failed(LaunchError::MissingValue, argument, quiet);
            const wchar_t* value = arguments[++i];
            if (repeat) {
                if (!ParseRepeat(value, &request.repeat)) return Failed(LaunchError::BadRepeat, value, quiet);
            } else {
                request.speed = ParsePlaySpeed(value);
                if (request.speed == 0) return Failed(LaunchError::BadSpeed, value, quiet);
            }
            if (!extra) extra = argument;
        } else {
            return Failed(LaunchError::UnknownSwitch, argument, quiet);
        }
    }
    if (usage) {
        LaunchRequest shown;
        shown.mode = LaunchMode::Usage;
        return shown;
    }
    if (play) {
        if (!request.file) return Failed(LaunchError::MissingFile, nullptr, quiet);
        request.mode = LaunchMode::Play;
        return request;
    }
    if (extra) return Failed(LaunchError::ExtraArgument, extra, quiet);
    request.mode = request.file ? LaunchMode::Open : LaunchMode::Window;
    return request;
}

const wchar_t* UsageText(int language) { return TextFor(TextId::Usage, language); }

const wchar_t* LaunchErrorFormat(LaunchError error, int language) {
    switch (error) {
    case LaunchError::UnknownSwitch:
        return TextFor(TextId::ErrorUnknownSwitch, language);
    case LaunchError::MissingValue:
        return TextFor(TextId::ErrorMissingValue, language);
    case LaunchError::BadRepeat:
        return TextFor(TextId::ErrorBadRepeat, language);
    case LaunchError::BadSpeed:
        return TextFor(TextId::ErrorBadSpeed, language);
    case LaunchError::MissingFile:
        return TextFor(TextId::ErrorMissingFile, language);
    case LaunchError::ExtraArgument:
        return TextFor(TextId::ErrorExtraArgument, language);
    case LaunchError::None:
        break;
    }
    return L"%s";
}
