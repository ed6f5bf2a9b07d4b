// Controls the stand-in event service (an in-process COM server) from a
// test: its registration in the prefix, the failures and delays it shows,
// and what it recorded, parsed into calls.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/StandInRecords.h"

namespace testsupport {

// The event service's contract as a test sees it, written out apart from
// the product's headers so that a wrong constant there fails a test.
namespace event_names {
constexpr const char* kClassIdText = "{301AB3CF-48BA-4234-9D63-3378BE356C6C}";
constexpr const char* kInterfaceIdText = "{4328A3A7-1426-4C02-A879-85D304CF026B}";
constexpr const char* kClientName = "QUORB_Touch_Launcher";
constexpr DWORD kRegisterFlags = 0xE8000000;
constexpr const char* kEventName = "QESTransform";
constexpr DWORD kInitialStatusWord = 252;
constexpr DWORD kStateEventCode = 0x01200007;
constexpr unsigned kRecordVariantType = 0x2011;  // VT_ARRAY | VT_UI1
constexpr size_t kRecordSize = 72;
}  // namespace event_names

// An event record's fields as read back from its bytes.
struct DecodedEventRecord {
    DWORD size = 0;
    DWORD tickCount = 0;
    DWORD kind = 0;       // offset 8
    DWORD flags = 0;      // offset 20
    unsigned count = 0;   // offset 36
    std::vector<DWORD> values;  // the first min(count, 8) slots
    bool otherBytesZero = false;  // every byte outside the named fields and used slots
};

// Decodes 72 bytes; empty for any other size.
std::optional<DecodedEventRecord> DecodeEventRecord(const std::vector<BYTE>& bytes);

// One RegisterClient call.
struct Registration {
    unsigned long long object = 0;
    std::string client;
    size_t clientLength = 0;  // the BSTR's length in characters
    DWORD flags = 0;
    unsigned optionsType = 0;  // VARTYPE of the options VARIANT
    DWORD value = 0;
    HRESULT result = S_OK;
};

// One FireEvent call.
struct FiredEvent {
    unsigned long long object = 0;
    std::string eventName;
    size_t eventNameLength = 0;
    bool statusGiven = false;
    DWORD statusIn = 0;
    DWORD value1 = 0;
    DWORD passThrough1 = 0;
    DWORD eventCode = 0;
    DWORD passThrough2 = 0;
    DWORD value2 = 0;
    unsigned dataType = 0;  // VARTYPE of the data VARIANT
    unsigned dimensions = 0;
    long long lowerBound = 0;
    unsigned long long elements = 0;
    unsigned elementSize = 0;
    unsigned long long arrayAddress = 0;  // the SAFEARRAY as the stand-in saw it
    std::vector<BYTE> bytes;
    std::optional<DecodedEventRecord> record;  // decoded from bytes
    HRESULT result = S_OK;

    // The record's values, or none when the bytes are not a record.
    std::vector<DWORD> Values() const { return record ? record->values : std::vector<DWORD>(); }
};

class EventServiceStandIn {
public:
    // Starts with the service unregistered, default behaviour, no records.
    EventServiceStandIn();
    // Unregisters the service and drops the chosen behaviour.
    ~EventServiceStandIn();

    EventServiceStandIn(const EventServiceStandIn&) = delete;
    EventServiceStandIn& operator=(const EventServiceStandIn&) = delete;

    std::string DllPath() const;

    // HKLM\Software\Classes\CLSID\{...}\InprocServer32 = the DLL, with
    // this threading model.
    bool Register(const char* threadingModel = "Both") const;
    // Removes the class registration, so that creating the object fails.
    bool Unregister() const;
    bool IsRegistered() const;

    // Failures and delays; an HRESULT of S_OK restores the default.
    void FailCreation(HRESULT result) const;
    void FailRegistration(HRESULT result) const;
    void FailFireEvent(HRESULT result) const;
    void DelayRegistration(DWORD milliseconds) const;
    void DelayFireEvent(DWORD milliseconds) const;
    void Set(const char* name, DWORD value) const;

    std::vector<Record> Records() const;
    std::vector<Registration> Registrations() const;
    std::vector<FiredEvent> Events() const;
    // Objects made, objects made and not finally released, releases beyond
    // the last reference, calls into slots the client must not call.
    size_t ObjectsCreated() const;
    size_t ObjectsAlive() const;
    size_t OverReleases() const;
    size_t UnusedSlotCalls() const;
    void ClearRecords() const;
};

}  // namespace testsupport
