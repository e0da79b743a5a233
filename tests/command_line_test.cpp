#include <string>
#include <vector>

#include "config/command_line.h"
#include "doctest.h"
#include "test_util.h"

using testutil::Utf8;

namespace {

LaunchRequest Parse(std::vector<const wchar_t*> arguments) {
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

std::string Text(const wchar_t* text) { return text ? Utf8(text) : "<null>"; }

}  // namespace

TEST_CASE("the command line: modes and the values of /play") {
    struct Case {
        std::vector<const wchar_t*> arguments;
        LaunchMode mode;
        const char* file;
        int32_t repeat, speed;
        bool yes, quiet;
    } cases[] = {
        {{}, LaunchMode::Window, "<null>", 0, 100, false, false},
        {{L""}, LaunchMode::Window, "<null>", 0, 100, false, false},
        {{L"C:\\lists\\a b.mou"}, LaunchMode::Open, "C:\\lists\\a b.mou", 0, 100, false, false},
        {{L"/play", L"a.mou"}, LaunchMode::Play, "a.mou", 0, 100, false, false},
        {{L"a.mou", L"-PLAY"}, LaunchMode::Play, "a.mou", 0, 100, false, false},
        {{L"/Play", L"a.mou", L"/repeat", L"3", L"/speed", L"x0.5", L"/yes", L"/quiet"},
         LaunchMode::Play, "a.mou", 3, 50, true, true},
        {{L"/play", L"/repeat", L"-1", L"/SPEED", L"10", L"a.mou"}, LaunchMode::Play, "a.mou", -1, 1000, false,
         false},
        {{L"/play", L"a.mou", L"/repeat", L"0"}, LaunchMode::Play, "a.mou", 0, 100, false, false},
        {{L"/?"}, LaunchMode::Usage, "<null>", 0, 100, false, false},
        {{L"/play", L"a.mou", L"-help"}, LaunchMode::Usage, "<null>", 0, 100, false, false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.arguments.size());
        CAPTURE(c.file);
        LaunchRequest r = Parse(c.arguments);
        CHECK(r.mode == c.mode);
        CHECK(r.error == LaunchError::None);
        CHECK(Text(r.file) == c.file);
        CHECK(r.repeat == c.repeat);
        CHECK(r.speed == c.speed);
        CHECK(r.yes == c.yes);
        CHECK(r.quiet == c.quiet);
    }
}

TEST_CASE("the command line: every wrong argument is an error that names it, and starts nothing") {
    struct Case {
        std::vector<const wchar_t*> arguments;
        LaunchError error;
        const char* argument;
        bool quiet;
    } cases[] = {
        {{L"/plya", L"a.mou"}, LaunchError::UnknownSwitch, "/plya", false},
        {{L"/play", L"a.mou", L"/repeat"}, LaunchError::MissingValue, "/repeat", false},
        {{L"/play", L"a.mou", L"/speed"}, LaunchError::MissingValue, "/speed", false},
        {{L"/play", L"a.mou", L"/repeat", L"2x"}, LaunchError::BadRepeat, "2x", false},
        {{L"/play", L"a.mou", L"/repeat", L""}, LaunchError::BadRepeat, "", false},
        {{L"/play", L"a.mou", L"/repeat", L"99999999999"}, LaunchError::BadRepeat, "99999999999", false},
        {{L"/play", L"a.mou", L"/speed", L"0"}, LaunchError::BadSpeed, "0", false},
        {{L"/play", L"a.mou", L"/speed", L"fast"}, LaunchError::BadSpeed, "fast", false},
        {{L"/play", L"a.mou", L"/speed", L"101"}, LaunchError::BadSpeed, "101", false},
        {{L"/play"}, LaunchError::MissingFile, "<null>", false},
        {{L"/play", L"/quiet"}, LaunchError::MissingFile, "<null>", true},
        {{L"a.mou", L"b.mou"}, LaunchError::ExtraArgument, "b.mou", false},
        {{L"/play", L"a.mou", L"b.mou"}, LaunchError::ExtraArgument, "b.mou", false},
        {{L"a.mou", L"/yes"}, LaunchError::ExtraArgument, "/yes", false},
        {{L"/repeat", L"2", L"a.mou"}, LaunchError::ExtraArgument, "/repeat", false},
        {{L"/quiet"}, LaunchError::ExtraArgument, "/quiet", true},
        // /quiet after the fault still silences it.
        {{L"/play", L"a.mou", L"/speed", L"x", L"/quiet"}, LaunchError::BadSpeed, "x", true},
        {{L"/bogus", L"/quiet"}, LaunchError::UnknownSwitch, "/bogus", true},
        {{L"/"}, LaunchError::UnknownSwitch, "/", false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.argument);
        LaunchRequest r = Parse(c.arguments);
        CHECK(r.mode == LaunchMode::Error);
        CHECK(r.error == c.error);
        CHECK(Text(r.argument) == c.argument);
        CHECK(r.quiet == c.quiet);
        // Every error has its own message in both languages, with one %s.
        for (int language = 0; language < 2; ++language) {
            const std::string format = Utf8(LaunchErrorFormat(c.error, language));
            CHECK(format.find("%s") != std::string::npos);
            CHECK(format.find("%s", format.find("%s") + 1) == std::string::npos);
            CHECK(format != "%s");
        }
    }
    CHECK(Utf8(UsageText(0)).find("/play FILE.mou [/repeat N] [/speed X] [/yes] [/quiet]") != std::string::npos);
    CHECK(Utf8(UsageText(1)).find("/play ファイル.mou [/repeat N] [/speed X] [/yes] [/quiet]") != std::string::npos);
}
