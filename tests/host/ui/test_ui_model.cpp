// The UI model: a rollout made from a dialog resource answers a pressed button and shows
// its status text; list selection, check boxes, enabling, the file responder and the
// resource loader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/ui_model.h"
#include "max/interface.h"

namespace {

enum { kDialog = 7500, kPreset = 7501, kWhole = 7502, kMake = 7503, kStatus = 7504, kSave = 7505, kName = 7506 };

// A panel the way plug-in code writes one: state through GWLP_USERDATA, status in a static.
struct Panel {
    int inits = 0, destroyed = 0;
    std::wstring lastSaved;
    static INT_PTR CALLBACK_proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
            auto* p = reinterpret_cast<Panel*>(lParam);
            ++p->inits;
            for (const wchar_t* name : {L"Light dusting", L"Heavy snow", L"Sandstorm"})
                SendDlgItemMessageW(hwnd, kPreset, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            SendDlgItemMessageW(hwnd, kPreset, CB_SETCURSEL, 1, 0);
            return TRUE;
        }
        auto* p = reinterpret_cast<Panel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_DESTROY) {
            ++p->destroyed;
            return TRUE;
        }
        if (msg != WM_COMMAND) return FALSE;
        if (LOWORD(wParam) == kPreset && HIWORD(wParam) == CBN_SELCHANGE)
            EnableWindow(GetDlgItem(hwnd, kMake), SendDlgItemMessageW(hwnd, kPreset, CB_GETCURSEL, 0, 0) != 2);
        if (LOWORD(wParam) == kMake && HIWORD(wParam) == BN_CLICKED) {
            wchar_t preset[16];
            std::wstring text = L"Made preset " +
                                std::to_wstring(SendDlgItemMessageW(hwnd, kPreset, CB_GETCURSEL, 0, 0) + 1) +
                                (IsDlgButtonChecked(hwnd, kWhole) ? L" on the scene" : L" on the selection");
            GetDlgItemTextW(hwnd, kName, preset, 16);
            SetDlgItemTextW(hwnd, kStatus, (text + L" as " + preset).c_str());
        }
        if (LOWORD(wParam) == kSave) {
            wchar_t path[32] = L"weather.txt";
            OPENFILENAMEW ofn;
            ofn.lpstrFile = path;
            ofn.nMaxFile = 32;
            ofn.lpstrTitle = L"Save report";
            p->lastSaved = GetSaveFileNameW(&ofn) ? path : L"(cancelled)";
        }
        return TRUE;
    }
};

struct UiTest : ::testing::Test {
    Panel panel;
    void SetUp() override {
        host::ui::resetUi();
        host::ui::addDialogResource({kDialog,
                                     L"Weather",
                                     {{kPreset, host::ui::ControlKind::ComboBox, L""},
                                      {kWhole, host::ui::ControlKind::CheckBox, L"Whole scene"},
                                      {kMake, host::ui::ControlKind::Button, L"MAKE WEATHER"},
                                      {kStatus, host::ui::ControlKind::Static, L"Ready."},
                                      {kSave, host::ui::ControlKind::Button, L"Save..."},
                                      {kName, host::ui::ControlKind::Edit, L"untitled"}}});
    }
    void TearDown() override { host::ui::resetUi(); }
};

TEST_F(UiTest, PressedButtonUpdatesStatus) {
    HWND r = host::ui::addRollout(kDialog, Panel::CALLBACK_proc, L"", reinterpret_cast<LPARAM>(&panel));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(panel.inits, 1);
    EXPECT_EQ(host::ui::rollouts().at(0).title, L"Weather");
    EXPECT_EQ(host::ui::controlText(r, kStatus), L"Ready.");
    EXPECT_EQ(host::ui::listItems(r, kPreset).size(), 3u);

    EXPECT_TRUE(host::ui::pressButton(r, kWhole));
    EXPECT_TRUE(host::ui::typeText(r, kName, L"a very long name that is cut"));
    EXPECT_TRUE(host::ui::pressButton(r, kMake));
    EXPECT_EQ(host::ui::controlText(r, kStatus), L"Made preset 2 on the scene as a very long nam");

    EXPECT_TRUE(host::ui::selectItem(r, kPreset, 2));  // the panel disables MAKE for this preset
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(r, kMake)));
    EXPECT_FALSE(host::ui::pressButton(r, kMake));
    EXPECT_FALSE(host::ui::selectItem(r, kPreset, 3));
    EXPECT_FALSE(host::ui::pressButton(r, 9999));
    EXPECT_FALSE(host::ui::typeText(r, kStatus, L"not an edit box"));

    EXPECT_TRUE(host::ui::deleteRollout(r));
    EXPECT_EQ(panel.destroyed, 1);
    EXPECT_FALSE(host::ui::pressButton(r, kMake));  // a stale handle is refused, not followed
    EXPECT_EQ(GetDlgItem(r, kMake), nullptr);
    EXPECT_FALSE(host::ui::deleteRollout(r));
    EXPECT_EQ(host::ui::addRollout(4242, Panel::CALLBACK_proc, L"", 0), nullptr);
}

TEST_F(UiTest, FileResponderAndShell) {
    Interface* ip = GetCOREInterface();
    HWND r = ip->AddRollupPage(nullptr, MAKEINTRESOURCE(kDialog), Panel::CALLBACK_proc, L"Custom",
                               reinterpret_cast<LPARAM>(&panel));
    ASSERT_EQ(host::ui::findRollout(kDialog), r);
    EXPECT_EQ(host::ui::rollouts().at(0).title, L"Custom");
    host::ui::pressButton(r, kSave);
    EXPECT_EQ(panel.lastSaved, L"(cancelled)");  // no responder: the dialog is cancelled
    std::wstring seenTitle;
    host::ui::setFileResponder([&](bool save, const std::wstring& title, std::wstring& path) {
        seenTitle = (save ? L"save: " : L"open: ") + title;
        path = L"/tmp/" + path;
        return true;
    });
    host::ui::pressButton(r, kSave);
    EXPECT_EQ(panel.lastSaved, L"/tmp/weather.txt");
    EXPECT_EQ(seenTitle, L"save: Save report");
    host::ui::setFileResponder([](bool, const std::wstring&, std::wstring& path) {
        path = std::wstring(40, L'x');  // longer than the caller's buffer
        return true;
    });
    host::ui::pressButton(r, kSave);
    EXPECT_EQ(panel.lastSaved, L"(cancelled)");
    ShellExecuteW(nullptr, L"open", L"https://example.org/guide", nullptr, nullptr, 1);
    ASSERT_EQ(host::ui::shellCalls().size(), 1u);
    EXPECT_EQ(host::ui::shellCalls()[0].file, L"https://example.org/guide");
    ip->DeleteRollupPage(r);
    EXPECT_EQ(panel.destroyed, 1);
    EXPECT_TRUE(host::ui::rollouts().empty());
}

TEST_F(UiTest, ResourceFiles) {
    auto dir = std::filesystem::temp_directory_path() / ("wx_ui_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto write = [&](const char* name, const char* text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    };
    std::string error;
    std::string good = write("good.json",
                             "{\"strings\": {\"3031\": \"Use painted colour (white = snow)\"},"
                             " \"dialogs\": [{\"id\": 1800, \"title\": \"Snow\", \"controls\": ["
                             "{\"id\": 2055, \"kind\": \"checkbox\", \"label\": \"Use painted colour\"},"
                             " {\"id\": 2056, \"kind\": \"edit\"}]}]}");
    ASSERT_TRUE(host::ui::loadResources(good, error)) << error;
    wchar_t buf[64];
    EXPECT_EQ(LoadStringW(nullptr, 3031, buf, 64), 33);
    EXPECT_STREQ(buf, L"Use painted colour (white = snow)");
    EXPECT_EQ(LoadStringW(nullptr, 9, buf, 64), 0);
    ASSERT_NE(host::ui::findDialogResource(1800), nullptr);
    EXPECT_EQ(host::ui::findDialogResource(1800)->controls.size(), 2u);

    struct Bad {
        const char* text;
        const char* message;
    } bad[] = {
        {"[1]", "not a JSON object"},
        {"{\"dialogs\": [{\"id\": 1, \"controls\": [{\"id\": 2, \"kind\": \"slider\"}]}]}", "control kind slider"},
        {"{\"strings\": {\"12x\": \"a\"}}", "string id 12x"},
        {"{\"dialogs\": [{\"controls\": []}]}", "bad entry"},
        {"{\"dialogs\": [{\"id\": 5, \"controls\": [{\"id\": 2, \"kind\": \"edit\"}, {\"id\": 2, \"kind\": "
         "\"spinner\"}]}]}",
         "dialog 5: control id 2 repeated"},
        {"{\"dialogs\": [{\"id\": 5, \"controls\": [{\"id\": 3, \"kind\": \"spinner\", \"buddy\": 4}, {\"id\": 4, "
         "\"kind\": \"static\"}]}]}",
         "spinner 3: buddy 4 is not an edit box"},
        {"{\"dialogs\": [{\"id\": 5, \"controls\": [{\"id\": 3, \"kind\": \"button\", \"items\": [3031]}]}]}",
         "control 3: items on a control that is no combo or list box"},
        {"{\"strings\": {\"3031\": \"x\"}, \"dialogs\": [{\"id\": 5, \"controls\": [{\"id\": 3, \"kind\": "
         "\"combobox\", \"items\": [3031, 3032]}]}]}",
         "control 3: string 3032 is not in the string table"},
        {"{\"dialogs\": [{\"id\": 5, \"titleId\": 77, \"controls\": []}]}", "dialog 5: string 77 is not"},
        {"{\"dialogs\": [{\"id\": 5, \"controls\": [{\"id\": 3, \"kind\": \"checkbox\", \"label\": \"a\", "
         "\"labelId\": 3031}]}]}",
         "both label and labelId"},
        {"{\"dialogs\": [{\"id\": 5, \"controls\": []}, {\"id\": 5, \"controls\": []}]}", "dialog 5 repeated"},
    };
    for (auto& b : bad) {
        EXPECT_FALSE(host::ui::loadResources(write("bad.json", b.text), error)) << b.text;
        EXPECT_NE(error.find(b.message), std::string::npos) << error;
    }
    EXPECT_FALSE(host::ui::loadResources((dir / "missing.json").string(), error));
    EXPECT_EQ(host::ui::findDialogResource(5), nullptr) << "a bad file added its dialogs";

    // A later file may use the strings of one loaded before it; a rollout shows the texts.
    std::string later = write("later.json",
                              "{\"dialogs\": [{\"id\": 1801, \"titleId\": 3031, \"controls\": ["
                              "{\"id\": -1, \"kind\": \"static\", \"labelId\": 3031},"
                              "{\"id\": -1, \"kind\": \"static\", \"label\": \"another static\"},"
                              "{\"id\": 7, \"kind\": \"combobox\", \"items\": [3031, 3031]}]}]}");
    ASSERT_TRUE(host::ui::loadResources(later, error)) << error;
    HWND r = host::ui::addRollout(1801, nullptr, L"", 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(host::ui::rollouts().back().title, L"Use painted colour (white = snow)");
    EXPECT_EQ(host::ui::listItems(r, 7).size(), 2u);
    EXPECT_EQ(host::ui::listItems(r, 7)[1], L"Use painted colour (white = snow)");
    std::filesystem::remove_all(dir);
}

// The utility panel's resource file: a rollout made from it answers MAKE WEATHER with a
// status text, as the panel's procedure writes it.
TEST_F(UiTest, UtilityPanelResource) {
    std::string error;
    auto file = std::filesystem::path(WX_SOURCE_DIR) / "resources" / "weather_utility.json";
    ASSERT_TRUE(host::ui::loadResources(file.string(), error)) << error;
    DLGPROC proc = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> INT_PTR {
        if (msg == WM_COMMAND && LOWORD(wParam) == 7508) SetDlgItemTextW(hwnd, 7512, L"Working...");
        return TRUE;
    };
    HWND r = GetCOREInterface()->AddRollupPage(nullptr, MAKEINTRESOURCE(7500), proc, L"Tarnwick Weather");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(host::ui::controlText(r, 7508), L"MAKE WEATHER");
    EXPECT_TRUE(host::ui::pressButton(r, 7505));
    EXPECT_EQ(IsDlgButtonChecked(r, 7505), BST_CHECKED);
    EXPECT_TRUE(host::ui::pressButton(r, 7508));
    EXPECT_EQ(host::ui::controlText(r, 7512), L"Working...");
    ASSERT_NE(host::ui::findDialogResource(7701), nullptr);
    EXPECT_EQ(host::ui::findDialogResource(7701)->title, L"Weather - About / Help");
}

}  // namespace
