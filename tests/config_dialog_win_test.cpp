// The settings dialog from its real templates (2002 Japanese, 2102 English),
// and the Setting command that stores the break key and writes the settings
// file at once.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "dialog_harness_win.h"
#include "dialogs/config_dialog_win.h"
#include "doctest.h"
#include "model/keynames.h"
#include "resources/resource.h"
#include "test_util.h"

using dialogtest::Click;
using dialogtest::ComboState;
using dialogtest::ReadCombo;
using dialogtest::RunDriven;
using dialogtest::SelectedText;

namespace {

// A fresh current directory holding the settings file, which a configuration
// made inside it reads and writes. The folder of the test program is never
// touched, so tests that run beside this one keep theirs.
class SettingsFolder {
public:
    explicit SettingsFolder(const std::string& settings) : dir_(testutil::MakeTempDir()) {
        GetCurrentDirectoryA(MAX_PATH, previous_);
        ok_ = testutil::WriteBytes(Ini(), settings) && SetCurrentDirectoryA(dir_.c_str());
    }
    ~SettingsFolder() {
        SetCurrentDirectoryA(previous_);
        DeleteFileA(Ini().c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;
    bool Ok() const { return ok_; }
    std::string Ini() const { return testutil::Join(dir_, "Taplore.ini"); }

private:
    std::string dir_;
    char previous_[MAX_PATH] = {};
    bool ok_ = false;
};

// A label as the user reads it: the mnemonic's "&" only underlines.
std::string Shown(std::string text) {
    for (size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at)) text.erase(at, 1);
    return text;
}

struct Seen {
    std::string caption;
    ComboState keys;
    bool smallIcon = false;
    std::string motionText;
    bool motionChecked = false;
    bool motionEnabled = false;
};

Seen Look(HWND dialog) {
    HWND motion = GetDlgItem(dialog, IDC_RECORD_MOTION);
    return {gui::WindowText(dialog),
            ReadCombo(GetDlgItem(dialog, IDC_BREAK_KEY)),
            dialogtest::HasSmallIcon(dialog),
            Shown(gui::WindowText(motion)),
            SendMessageW(motion, BM_GETCHECK, 0, 0) == BST_CHECKED,
            motion && IsWindowVisible(motion) && IsWindowEnabled(motion)};
}

std::string SettingsWithBreakKey(const std::string& key, const std::string& more = "") {
    return "<?xml version=\"1.0\" ?>\r\n<config><language>0</language>\r\n<break_key>" + key +
           "</break_key>\r\n" + more + "</config>\r\n";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What a fresh configuration reads from the sandbox's settings file.
int32_t StoredBreakKey() {
    CAppParameter fresh;
    fresh.Initialize();
    return fresh.break_key;
}

int32_t StoredRecordMotion() {
    CAppParameter fresh;
    fresh.Initialize();
    return fresh.record_motion;
}

// Presses OK in the settings dialog `dialog` and expects the hotkey warning:
// returns its message once it is answered and the dialog still stands, else
// what went wrong.
std::string Refusal(HWND dialog, int language) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    HWND box = gui::WaitForTopWindow(GetCurrentProcessId(), language == 1 ? "ホットキー" : "Hotkey");
    if (!box) return "<no warning>";
    std::string text;
    HWND child = nullptr;
    while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
        const std::string shown = gui::WindowText(child);
        if (!shown.empty()) text = shown;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!gui::WaitFor([&] { return !IsWindow(box); })) return "<warning stays>";
    return IsWindowVisible(dialog) ? text : "<dialog closed>";
}

const char* const kMotionTexts[2] = {"Record mouse movement, wheel and all buttons",
                                     "マウスの移動、ホイール、すべてのボタンを記録する(M)"};

}  // namespace

TEST_CASE("the settings dialog lists the key names and opens on the break key") {
    struct Case {
        int ui_language;
        const char* caption;
    };
    for (const Case& c : {Case{0, "Setting"}, Case{1, "設定"}}) {
        CAPTURE(c.caption);
        CAppParameter config;
        config.ui_language = c.ui_language;
        dialogtest::PublishedConfig published(&config);
        CConfigDialog dialog;
        dialog.break_key = 112;
        Seen seen;
        auto run = RunDriven([&] { return dialog.Show(nullptr); },
                             [&](HWND d) {
                                 seen = Look(d);
                                 Click(d, IDOK);
                             });
        REQUIRE(run.driven);
        CHECK(run.result == 1);
        CHECK(seen.caption == c.caption);
        CHECK(seen.smallIcon);
        REQUIRE(seen.keys.items.size() == static_cast<size_t>(kKeyNameCount));
        for (int i = 0; i < kKeyNameCount; ++i) {
            CHECK(seen.keys.items[i] == testutil::Utf8(KeyNameTable[i].name));
            CHECK(seen.keys.data[i] == static_cast<LRESULT>(KeyNameTable[i].code));
        }
        CHECK(SelectedText(seen.keys) == "VK_F1");
        CHECK(dialog.break_key == 112);
    }
}

TEST_CASE("Setting: the motion check box is stored as record_motion and written at once") {
    // Off by default: a settings file without the element opens unchecked.
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        for (bool storedOn : {false, true}) {
            CAPTURE(storedOn);
            SettingsFolder box(SettingsWithBreakKey("112", storedOn ? "<record_motion>1</record_motion>\r\n" : ""));
            REQUIRE(box.Ok());
            CAppParameter config;
            config.Initialize();
            config.ui_language = language;
            REQUIRE(config.record_motion == (storedOn ? 1 : 0));
            dialogtest::PublishedConfig published(&config);
            Seen seen;
            auto run = RunDriven([] { return ChooseBreakKey(nullptr); },
                                 [&](HWND d) {
                                     seen = Look(d);
                                     Click(d, IDC_RECORD_MOTION);
                                     Click(d, IDOK);
                                 });
            REQUIRE(run.driven);
            CHECK(run.result == 1);
            CHECK(seen.motionText == kMotionTexts[language]);
            CHECK(seen.motionEnabled);
            CHECK(seen.motionChecked == storedOn);
            const int32_t expected = storedOn ? 0 : 1;
            CHECK(config.record_motion == expected);
            CHECK(config.break_key == 112);
            const std::string written = testutil::ReadBytes(box.Ini());
            CHECK(Contains(written, "<record_motion>" + std::to_string(expected) + "</record_motion>"));
            CHECK(StoredRecordMotion() == expected);
        }
    }
}

TEST_CASE("Setting: choosing VK_ESCAPE stores 27 and writes the settings file at once") {
    SettingsFolder box(SettingsWithBreakKey("112"));
    REQUIRE(box.Ok());
    CAppParameter config;
    config.Initialize();
    REQUIRE(config.break_key == 112);
    dialogtest::PublishedConfig published(&config);

    std::string selectedAtStart;
    bool chosen = false;
    auto run = RunDriven([] { return ChooseBreakKey(nullptr); },
                         [&](HWND d) {
                             selectedAtStart = SelectedText(ReadCombo(GetDlgItem(d, IDC_BREAK_KEY)));
                             chosen = dialogtest::ChooseText(d, IDC_BREAK_KEY, "VK_ESCAPE");
                             Click(d, IDOK);
                         });
    REQUIRE(run.driven);
    CHECK(chosen);
    CHECK(run.result == 1);
    CHECK(selectedAtStart == "VK_F1");
    CHECK(config.break_key == 27);
    // Written before the command returned, with nothing else done in between.
    const std::string written = testutil::ReadBytes(box.Ini());
    CHECK(Contains(written, "<break_key>27</break_key>"));
    CHECK(Contains(written, "<language>0</language>"));
    CHECK(StoredBreakKey() == 27);
}

TEST_CASE("Setting: the hotkey fields show the hotkeys, say when one is not active, and OK stores them") {
    SettingsFolder box(SettingsWithBreakKey("112"));
    REQUIRE(box.Ok());
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CAppParameter config;
        config.Initialize();
        config.ui_language = language;
        REQUIRE(config.record_hotkey == 0x752);
        dialogtest::PublishedConfig published(&config);
        const bool active[2] = {true, false};
        LRESULT shownRecord = 0, shownPlay = 0;
        std::string recordState, playState;
        std::string refusals[2];
        auto run = RunDriven([&] { return ChooseBreakKey(nullptr, active); },
                             [&](HWND d) {
                                 shownRecord = SendDlgItemMessageW(d, IDC_RECORD_HOTKEY, HKM_GETHOTKEY, 0, 0);
                                 shownPlay = SendDlgItemMessageW(d, IDC_PLAY_HOTKEY, HKM_GETHOTKEY, 0, 0);
                                 recordState = gui::WindowText(GetDlgItem(d, IDC_RECORD_HOTKEY_STATE));
                                 playState = gui::WindowText(GetDlgItem(d, IDC_PLAY_HOTKEY_STATE));
                                 // A plain R, then a Shift+P, would take typing: OK refuses, names
                                 // the field and leaves the dialog open.
                                 SendDlgItemMessageW(d, IDC_RECORD_HOTKEY, HKM_SETHOTKEY, MAKEWORD('R', 0), 0);
                                 refusals[0] = Refusal(d, language);
                                 SendDlgItemMessageW(d, IDC_RECORD_HOTKEY, HKM_SETHOTKEY,
                                                     MAKEWORD(VK_F9, HOTKEYF_CONTROL | HOTKEYF_EXT), 0);
                                 SendDlgItemMessageW(d, IDC_PLAY_HOTKEY, HKM_SETHOTKEY,
                                                     MAKEWORD('P', HOTKEYF_SHIFT), 0);
                                 refusals[1] = Refusal(d, language);
                                 // Ctrl+F9 for recording; no hotkey for playing.
                                 SendDlgItemMessageW(d, IDC_PLAY_HOTKEY, HKM_SETHOTKEY, 0, 0);
                                 Click(d, IDOK);
                             });
        REQUIRE(run.driven);
        CHECK(run.result == 1);
        CHECK(shownRecord == 0x752);
        CHECK(shownPlay == 0x750);
        const char* const start[2][2] = {{"The hotkey of Start Record needs Ctrl or Alt", "記録開始のホットキーには Ctrl か Alt"},
                                         {"The hotkey of Start Play needs Ctrl or Alt", "再生開始のホットキーには Ctrl か Alt"}};
        CHECK(refusals[0].rfind(start[0][language], 0) == 0);
        CHECK(refusals[1].rfind(start[1][language], 0) == 0);
        CHECK(recordState == "");
        CHECK(playState == (language == 1 ? "無効: 他のプログラムが使用中" : "Not active: in use elsewhere"));
        CHECK(config.record_hotkey == (kHotkeyControl << 8 | VK_F9));
        CHECK(config.play_hotkey == 0);
        const std::string written = testutil::ReadBytes(box.Ini());
        CHECK(Contains(written, "<record_hotkey>632</record_hotkey>"));
        CHECK(Contains(written, "<play_hotkey>0</play_hotkey>"));
        REQUIRE(testutil::WriteBytes(box.Ini(), SettingsWithBreakKey("112")));
    }
}

TEST_CASE("Setting: Cancel keeps the break key and leaves the settings file untouched") {
    // Written by hand, so any rewrite would change the bytes.
    const std::string original = SettingsWithBreakKey(" 112 ");
    SettingsFolder box(original);
    REQUIRE(box.Ok());
    CAppParameter config;
    config.Initialize();
    dialogtest::PublishedConfig published(&config);
    const int32_t before = config.break_key;

    for (bool byClose : {false, true}) {
        CAPTURE(byClose);
        auto run = RunDriven([] { return ChooseBreakKey(nullptr); },
                             [&](HWND d) {
                                 dialogtest::ChooseText(d, IDC_BREAK_KEY, "VK_ESCAPE");
                                 Click(d, IDC_RECORD_MOTION);
                                 if (byClose) {
                                     SendMessageW(d, WM_CLOSE, 0, 0);
                                 } else {
                                     Click(d, IDCANCEL);
                                 }
                             });
        REQUIRE(run.driven);
        CHECK(run.result == 0);
        CHECK(config.break_key == before);
        CHECK(config.record_motion == 0);
        CHECK(testutil::ReadBytes(box.Ini()) == original);
    }
}

TEST_CASE("Setting: a break key without a name opens unselected and survives OK") {
    SettingsFolder box(SettingsWithBreakKey("186"));
    REQUIRE(box.Ok());
    CAppParameter config;
    config.Initialize();
    REQUIRE(config.break_key == 186);
    dialogtest::PublishedConfig published(&config);

    ComboState keys;
    auto run = RunDriven([] { return ChooseBreakKey(nullptr); },
                         [&](HWND d) {
                             keys = ReadCombo(GetDlgItem(d, IDC_BREAK_KEY));
                             Click(d, IDOK);
                         });
    REQUIRE(run.driven);
    CHECK(run.result == 1);
    CHECK(keys.items.size() == static_cast<size_t>(kKeyNameCount));
    CHECK(keys.selected == CB_ERR);
    CHECK(config.break_key == 186);
    CHECK(Contains(testutil::ReadBytes(box.Ini()), "<break_key>186</break_key>"));
}

TEST_CASE("Setting without a product configuration shows nothing") {
    CHECK(TheAppParameter() == nullptr);
    CHECK(ChooseBreakKey(nullptr) == -1);
}
