// The kit's settings template: every registry value the monitor and
// Brisolt.dll read, under exactly the keys and names they read, and nothing
// else. Imported as it is it sets nothing; with its values filled in and
// imported by the 32-bit registry editor, as the kit's README says, the
// values land where the 32-bit monitor reads them, and it acts on them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "tests/support/FakeApp.h"
#include "tests/support/MonitorTestBase.h"
#include "tests/support/VisualiserStandIn.h"
#include "tests/support/Wait.h"
#include "tests/system/kit/KitUnderTest.h"

namespace testsupport::kit {
namespace {

using Data = std::variant<DWORD, std::string>;

// A value the programs read, spelled as they read it, with the data this
// test deploys: the stand-ins for the outside components, and values whose
// effect it can see.
struct TemplateValue {
    HKEY root;
    const char* key;
    const char* name;
    Data deployed;
};

constexpr const char* kProgramKey = "SOFTWARE\\VELMORA CORPORATION\\Tavrel";
constexpr const char* kLocationKey = "software\\Velmora Corporation\\Shared Info";
constexpr const char* kDriverKey = "Software\\Velmora Corporation\\Shared Info\\Shared Dlls";
constexpr const char* kVisualiserKey = "Software\\Velmora Corporation\\QUORB Mirelle";
constexpr const char* kRemoteKey =
    "SOFTWARE\\VELMORA CORPORATION\\QUORB Event Service\\Settings\\RemoteKey\\IsExistActivePlayer";
constexpr const char* kInterVideoKey = "Software\\InterVideo\\DVD8";
// Not read but written: the monitor deletes two values there. The template
// names it for reference only and must not create it.
constexpr const char* kUninstallKey =
    "software\\microsoft\\windows\\CurrentVersion\\Uninstall\\"
    "InstallShield_{8C44C027-7B9F-46F1-8FD8-5767403A7CA5}";

std::vector<TemplateValue> ValuesRead(const std::string& driverPath)
{
    return {
        {HKEY_LOCAL_MACHINE, kProgramKey, "dwStatusMode", DWORD{0}},
        {HKEY_LOCAL_MACHINE, kProgramKey, "dwLogoMode", DWORD{0}},
        {HKEY_LOCAL_MACHINE, kLocationKey, "dwLocation", DWORD{names::kLocationAtHome}},
        {HKEY_LOCAL_MACHINE, kDriverKey, "VelUtils.dll", driverPath},
        {HKEY_LOCAL_MACHINE, kVisualiserKey, "AppPath", VisualiserStandIn::Path()},
        {HKEY_CURRENT_USER, kRemoteKey, "dwApplication4", DWORD{1}},
        {HKEY_LOCAL_MACHINE, kInterVideoKey, "Path", std::string("C:\\Players\\DVDBD8\\")},
    };
}

std::string RootName(HKEY root)
{
    return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// The data in the syntax of a REGEDIT4 file.
std::string RegFileData(const Data& data)
{
    if (const auto* number = std::get_if<DWORD>(&data)) {
        char text[16] = {};
        std::snprintf(text, sizeof(text), "dword:%08lx", static_cast<unsigned long>(*number));
        return text;
    }
    std::string quoted = "\"";
    for (char c : std::get<std::string>(data)) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

struct Deployment {
    std::string text;                  // the template with the test's data in
    std::vector<int> uses;            // how often each of the values read was found
    std::vector<std::string> strays;  // values under keys or names not read
};

// What a deployer does with the template: the ";" taken from every key and
// value line, each value's data replaced by the deployment's.
Deployment Deploy(const std::string& templateText, const std::vector<TemplateValue>& values)
{
    Deployment deployment;
    deployment.uses.assign(values.size(), 0);
    std::string key;
    size_t start = 0;
    while (start < templateText.size()) {
        size_t end = templateText.find("\r\n", start);
        end = end == std::string::npos ? templateText.size() : end;
        std::string line = templateText.substr(start, end - start);
        start = end + 2;
        if (line.size() > 1 && line[0] == ';' && (line[1] == '[' || line[1] == '"')) {
            line.erase(0, 1);
        }
        if (!line.empty() && line[0] == '[') {
            key = line.substr(1, line.find(']') - 1);
        } else if (!line.empty() && line[0] == '"') {
            const std::string name = line.substr(1, line.find('"', 1) - 1);
            size_t i = 0;
            while (i < values.size() &&
                   (RootName(values[i].root) + "\\" + values[i].key != key || name != values[i].name)) {
                ++i;
            }
            if (i == values.size()) {
                deployment.strays.push_back(key + " " + name);
            } else {
                ++deployment.uses[i];
                line = "\"" + name + "\"=" + RegFileData(values[i].deployed);
            }
        }
        deployment.text += line + "\r\n";
    }
    return deployment;
}

bool Holds(const TemplateValue& value)
{
    if (const auto* number = std::get_if<DWORD>(&value.deployed)) {
        return ReadDword(value.root, value.key, value.name) == *number;
    }
    return ReadString(value.root, value.key, value.name) == std::get<std::string>(value.deployed);
}

std::string TemporaryRegFile()
{
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "tavrel-kit-settings.reg";
}

class KitSettingsTemplateTest : public MonitorTestBase {
protected:
    ScopedKey visualiserKey_{HKEY_LOCAL_MACHINE, kVisualiserKey};
    ScopedKey interVideoKey_{HKEY_LOCAL_MACHINE, kInterVideoKey};
    ScopedKey uninstallKey_{HKEY_LOCAL_MACHINE, kUninstallKey};
    VisualiserStandIn visualiser_;
};

TEST_F(KitSettingsTemplateTest, HoldsEveryValueReadAndTheMonitorReadsItWhereItLands)
{
    // The template alone has to bring the driver utility's path.
    UninstallDriverUtility();
    const auto text = ReadWholeFile(KitFile("settings-template.reg"));
    ASSERT_TRUE(text.has_value());
    const std::vector<TemplateValue> values = ValuesRead(velutils_.DllPath());

    const Deployment deployment = Deploy(*text, values);
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(1, deployment.uses[i])
            << RootName(values[i].root) << "\\" << values[i].key << " " << values[i].name;
    }
    EXPECT_TRUE(deployment.strays.empty()) << deployment.strays.front();
    for (const char* reference : {kUninstallKey, "\"RegCompany\"", "\"RegOwner\""}) {
        EXPECT_NE(std::string::npos, text->find(reference)) << reference;
    }

    // As it is: the keys made, no value set.
    ASSERT_TRUE(ImportWith32BitRegistryEditor(KitFile("settings-template.reg")));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kProgramKey)) << "not imported";
    for (const TemplateValue& value : values) {
        EXPECT_FALSE(ValueExists(value.root, value.key, value.name)) << value.name;
    }

    const std::string deployed = TemporaryRegFile();
    ASSERT_TRUE(WriteWholeFile(deployed, deployment.text));
    ASSERT_TRUE(ImportWith32BitRegistryEditor(deployed));
    ::DeleteFileA(deployed.c_str());
    for (const TemplateValue& value : values) {
        EXPECT_TRUE(Holds(value)) << value.name << " in the 32-bit view under " << value.key;
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    // The monitor of the kit, with a full-screen player in front and the chat
    // client open: both lamps follow the player through the driver utility
    // (the modes and the driver's path), and the visualiser is started (the
    // location and the visualiser's path).
    FakeApp player;
    ASSERT_TRUE(player.Start(fakeapps::kEmotionalPlayer, "EmotionalPlayerClass", "Emotional Player",
                             WindowState::Normal, Activation::Front));
    FakeApp chat;
    ASSERT_TRUE(chat.Start(fakeapps::kChatClient, names::kChatClass, names::kChatTitle,
                           WindowState::Normal, Activation::Behind));
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start(QuotedCommand(KitFile("Tavrel.exe"), "@@@Start")));
    ASSERT_NE(nullptr, WaitForMonitorWindow(monitor.Id(), 15000));
    EXPECT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 3; }, 5000))
        << "lamp word " << velutils_.LampWord();
    ASSERT_TRUE(visualiser_.WaitForStarts(1, 5000));
    EXPECT_EQ("\"" + VisualiserStandIn::Path() + "\" /SkypeStart",
              visualiser_.Starts()[0].Text("cmdline"));
}

}  // namespace
}  // namespace testsupport::kit
