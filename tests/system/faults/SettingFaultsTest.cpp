// Fault matrix, the monitor's own settings and the probes of other
// components' keys: values of a wrong type or size, values and keys deleted
// while the monitor runs. A lamp mode that cannot be read becomes "absent"
// at the next tick (its lamp is left alone), while a deleted key keeps the
// last modes; the location is read once at start; the remote key is asked
// afresh every tick.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "tests/support/VisualiserStandIn.h"
#include "tests/support/Wait.h"
#include "tests/system/faults/FaultMatrixTest.h"
#include "tests/system/faults/LampCalls.h"

namespace testsupport::faults {
namespace {

constexpr const char* kStatusMode = "dwStatusMode";
constexpr const char* kLocation = "dwLocation";
constexpr const char* kRemoteKeyValue = "dwApplication4";
constexpr const char* kVisualiserKey = "Software\\Velmora Corporation\\QUORB Mirelle";

// A registry value as stored: its type and its bytes.
struct StoredValue {
    const char* label;
    DWORD type;
    std::vector<BYTE> bytes;

    bool WriteTo(HKEY root, const std::string& key, const std::string& name) const
    {
        return SetRaw(root, key, name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
};

std::vector<BYTE> LittleEndian(unsigned long long number, size_t size)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < size; ++i) {
        bytes.push_back(static_cast<BYTE>(number >> (8 * i)));
    }
    return bytes;
}

std::vector<BYTE> Text(const std::string& text, size_t nuls = 1)
{
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), nuls, 0);
    return bytes;
}

// ---------------------------------------------------------------------------
// Lamp modes. The status lamp is held off (mode 1) from the start; while a
// mode is usable each tick spends one refresh read of the budget, while it
// is "absent" a tick calls nothing at all. A usable mode 2 afterwards turns
// the lamp on at the next tick, with one write.

enum class ModeFault { Malformed, ValueDeleted, KeyDeleted };

struct ModeRow {
    const char* name;
    ModeFault fault;
    // Malformed: each is stored in turn and read by at least one tick.
    std::vector<StoredValue> values;
};

const ModeRow kModeRows[] = {
    {"WrongTypeString", ModeFault::Malformed, {{"REG_SZ \"2\"", REG_SZ, Text("2")}}},
    {"WrongTypeOthers",
     ModeFault::Malformed,
     {{"REG_BINARY", REG_BINARY, LittleEndian(2, 4)},
      {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 2}},
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, Text("2")},
      {"REG_MULTI_SZ", REG_MULTI_SZ, Text("2", 2)},
      {"REG_NONE", REG_NONE, LittleEndian(2, 4)}}},
    {"QwordTooLong", ModeFault::Malformed, {{"REG_QWORD", REG_QWORD, LittleEndian(2, 8)}}},
    {"DwordTooLong", ModeFault::Malformed, {{"REG_DWORD of 8 bytes", REG_DWORD, LittleEndian(2, 8)}}},
    {"DwordTooShort", ModeFault::Malformed, {{"REG_DWORD of 2 bytes", REG_DWORD, LittleEndian(2, 2)}}},
    {"DwordEmpty", ModeFault::Malformed, {{"REG_DWORD of no bytes", REG_DWORD, {}}}},
    {"ValueDeletedWhileRunning", ModeFault::ValueDeleted, {}},
    {"KeyDeletedWhileRunning", ModeFault::KeyDeleted, {}},
};

// Rows show by name in test listings.
void PrintTo(const ModeRow& row, std::ostream* out) { *out << row.name; }

class LampModeFaultTest : public FaultMatrixTest, public ::testing::WithParamInterface<ModeRow> {
protected:
    LampCallCursor lampCalls_{velutils_};
};

TEST_P(LampModeFaultTest, AnUnreadableModeLeavesTheLampAloneUntilItIsUsableAgain)
{
    const ModeRow& row = GetParam();
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, kStatusMode, 1);
    StartMonitorAndWaitForATick();
    PumpFor(150);
    lampCalls_.Since();

    switch (row.fault) {
    case ModeFault::Malformed:
        for (const StoredValue& value : row.values) {
            ASSERT_TRUE(value.WriteTo(HKEY_LOCAL_MACHINE, names::kProgramKey, kStatusMode));
            WaitTicks(1);
            PumpFor(150);
            EXPECT_EQ(LampCalls{}, lampCalls_.Since()) << value.label << " was used as a mode";
        }
        break;
    case ModeFault::ValueDeleted:
        ASSERT_TRUE(DeleteValue(HKEY_LOCAL_MACHINE, names::kProgramKey, kStatusMode));
        WaitTicks(2);
        PumpFor(150);
        EXPECT_EQ(LampCalls{}, lampCalls_.Since());
        break;
    case ModeFault::KeyDeleted:
        ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE, names::kProgramKey));
        WaitTicks(2);
        PumpFor(150);
        // The last mode (1) holds: each tick goes on with its refresh read.
        EXPECT_EQ((LampCalls{"R0", "R0"}), lampCalls_.Since());
        break;
    }
    EXPECT_EQ(0u, velutils_.LampWord());

    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, kStatusMode, 2));
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 2; }, kTickWaitMs));
    PumpFor(150);
    EXPECT_EQ((LampCalls{"R0", "R0", "W2"}), lampCalls_.Since())
        << "refresh read, read and one write at the first tick with the mode usable";
}

INSTANTIATE_TEST_SUITE_P(LampMode, LampModeFaultTest, ::testing::ValuesIn(kModeRows),
                         [](const ::testing::TestParamInfo<ModeRow>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// The location, read once at start: stored in another shape than a DWORD
// it does not enable the reports or the chat-client check for the run; the
// next start with a usable value does.

struct LocationRow {
    const char* name;
    StoredValue value;
};

const LocationRow kLocationRows[] = {
    {"WrongTypeString", {"REG_SZ \"4316\"", REG_SZ, Text("4316")}},
    {"QwordTooLong", {"REG_QWORD 4316", REG_QWORD, LittleEndian(4316, 8)}},
};

// Rows show by name in test listings.
void PrintTo(const LocationRow& row, std::ostream* out) { *out << row.name; }

class LocationFaultTest : public FaultMatrixTest,
                          public ::testing::WithParamInterface<LocationRow> {
protected:
    ScopedKey visualiserKey_{HKEY_LOCAL_MACHINE, kVisualiserKey};
    VisualiserStandIn visualiser_;
};

TEST_P(LocationFaultTest, NoReportAndNoLaunchForTheRunAndBothAtTheNextStart)
{
    EnableReports();
    visualiser_.Install();
    ASSERT_TRUE(GetParam().value.WriteTo(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, kLocation));
    FakeApp tv;
    FakeApp chat;
    ASSERT_TRUE(tv.Start(fakeapps::kTvEnhance, kTvClass, kTvTitle, WindowState::Normal,
                         Activation::Behind));
    ASSERT_TRUE(chat.Start(fakeapps::kChatClient, kChatClass, kChatTitle, WindowState::Normal,
                           Activation::Behind));
    StartMonitorOrFail(monitor_);
    WaitTicks(2);
    EXPECT_TRUE(service_.Records().empty());
    EXPECT_TRUE(visualiser_.Starts().empty());

    ASSERT_TRUE(HaltAllInstances());
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, kLocation,
                         names::kLocationAtHome));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForEvents(1));
    ASSERT_TRUE(visualiser_.WaitForStarts(1, kTickWaitMs));
    WaitTicks(1);
    EXPECT_EQ((std::vector<DWORD>{kOpen}), ReportedStates());
    EXPECT_EQ(1u, visualiser_.Starts().size());
}

INSTANTIATE_TEST_SUITE_P(Location, LocationFaultTest, ::testing::ValuesIn(kLocationRows),
                         [](const ::testing::TestParamInfo<LocationRow>& info) {
                             return std::string(info.param.name);
                         });

class RegistryKeyFaultTest : public FaultMatrixTest {};

// The reports stay on for the run (the location was fixed at start), but
// the TV Enhance full-screen test asks the location afresh: without it, it
// expects the other title, so the full-screen window counts as in front
// only until the value is back.
TEST_F(RegistryKeyFaultTest, LocationDeletedWhileRunning)
{
    EnableReports();
    FakeApp tv;
    ASSERT_TRUE(tv.Start(fakeapps::kTvEnhance, kTvClass, kTvTitle, WindowState::ScreenPopup,
                         Activation::Front));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForEvents(1));

    AlignToTick();
    ASSERT_TRUE(DeleteValue(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, kLocation));
    ASSERT_TRUE(WaitForEvents(2));
    WaitTicks(2);
    EXPECT_EQ(2u, service_.Events().size());

    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, kLocation,
                         names::kLocationAtHome));
    ASSERT_TRUE(WaitForEvents(3));
    WaitTicks(1);
    EXPECT_EQ((std::vector<DWORD>{kFullScreen, kForeground, kFullScreen}), ReportedStates());
    EXPECT_EQ(0u, service_.ObjectsAlive());
}

// The media centre feeds the tracked slot only while the user's remote key
// says so, asked afresh at every tick.
class RemoteKeyFaultTest : public FaultMatrixTest {
protected:
    bool StartMediaCenterInFront()
    {
        return mediaCenter_.Start(fakeapps::kMediaCenter, "eHome Render Window",
                                  "Windows Media Center", WindowState::Normal, Activation::Front);
    }

    FakeApp mediaCenter_;
};

TEST_F(RemoteKeyFaultTest, WrongTypeStringCountsAsNotSet)
{
    EnableReports();
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, names::kRemoteKeyKey, kRemoteKeyValue, "1"));
    ASSERT_TRUE(StartMediaCenterInFront());
    StartMonitorAndWaitForATick();
    WaitTicks(2);
    EXPECT_TRUE(service_.Records().empty());

    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, names::kRemoteKeyKey, kRemoteKeyValue, 1));
    ASSERT_TRUE(WaitForEvents(1));
    WaitTicks(1);
    EXPECT_EQ((std::vector<DWORD>{kForeground}), ReportedStates());
}

TEST_F(RemoteKeyFaultTest, KeyDeletedWhileRunning)
{
    EnableReports();
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, names::kRemoteKeyKey, kRemoteKeyValue, 1));
    ASSERT_TRUE(StartMediaCenterInFront());
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForEvents(1));

    // Without the key the media centre no longer stands for the tracked
    // application, which has been seen: it is reported closed, once.
    AlignToTick();
    ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, names::kRemoteKeyKey));
    ASSERT_TRUE(WaitForEvents(2));
    WaitTicks(2);
    EXPECT_EQ(2u, service_.Events().size());

    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, names::kRemoteKeyKey, kRemoteKeyValue, 1));
    ASSERT_TRUE(WaitForEvents(3));
    WaitTicks(1);
    EXPECT_EQ((std::vector<DWORD>{kForeground, kClosed, kForeground}), ReportedStates());
}

}  // namespace
}  // namespace testsupport::faults
