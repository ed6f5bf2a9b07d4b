#include "tests/support/EventServiceStandIn.h"

#include <cstdlib>

#include "tests/support/Registry.h"
#include "tests/support/TestPaths.h"

namespace testsupport {

namespace {

constexpr const char* kConfigKey = "Software\\TavrelStandIns\\EventService";
constexpr const char* kDllRelativePath = "eventservice\\QesEventService.dll";
constexpr const char* kRecordRelativePath = "eventservice\\EventService.calls.log";

std::string ClassKey()
{
    return std::string("Software\\Classes\\CLSID\\") + event_names::kClassIdText;
}

std::string ServerKey()
{
    return ClassKey() + "\\InprocServer32";
}

DWORD ReadLittleEndian(const std::vector<BYTE>& bytes, size_t offset)
{
    DWORD value = 0;
    for (size_t i = 0; i < sizeof(DWORD); ++i) {
        value |= static_cast<DWORD>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

std::vector<BYTE> ParseHex(const std::string& text)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<BYTE>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    }
    return bytes;
}

DWORD Dword(const Record& record, const char* key)
{
    return static_cast<DWORD>(record.Number(key));
}

size_t CountOf(const std::vector<Record>& records, const char* function)
{
    return WithFunction(records, function).size();
}

}  // namespace

std::optional<DecodedEventRecord> DecodeEventRecord(const std::vector<BYTE>& bytes)
{
    if (bytes.size() != event_names::kRecordSize) {
        return std::nullopt;
    }
    DecodedEventRecord record;
    record.size = ReadLittleEndian(bytes, 0);
    record.tickCount = ReadLittleEndian(bytes, 4);
    record.kind = ReadLittleEndian(bytes, 8);
    record.flags = ReadLittleEndian(bytes, 20);
    record.count = bytes[36];
    const unsigned used = record.count < 8 ? record.count : 8;
    for (unsigned i = 0; i < used; ++i) {
        record.values.push_back(ReadLittleEndian(bytes, 40 + 4 * i));
    }
    // Named fields: 0-11, 20-23, 36, and the used value slots.
    record.otherBytesZero = true;
    for (size_t offset = 0; offset < bytes.size(); ++offset) {
        const bool named = offset < 12 || (offset >= 20 && offset < 24) || offset == 36 ||
                           (offset >= 40 && offset < 40 + 4 * used);
        if (!named && bytes[offset] != 0) {
            record.otherBytesZero = false;
        }
    }
    return record;
}

EventServiceStandIn::EventServiceStandIn()
{
    Unregister();
    DeleteTree(HKEY_CURRENT_USER, kConfigKey);
    ClearRecords();
}

EventServiceStandIn::~EventServiceStandIn()
{
    Unregister();
    DeleteTree(HKEY_CURRENT_USER, kConfigKey);
}

std::string EventServiceStandIn::DllPath() const { return FixturePath(kDllRelativePath); }

bool EventServiceStandIn::Register(const char* threadingModel) const
{
    return SetString(HKEY_LOCAL_MACHINE, ServerKey(), "", DllPath()) &&
           SetString(HKEY_LOCAL_MACHINE, ServerKey(), "ThreadingModel", threadingModel);
}

bool EventServiceStandIn::Unregister() const { return DeleteTree(HKEY_LOCAL_MACHINE, ClassKey()); }

bool EventServiceStandIn::IsRegistered() const { return KeyExists(HKEY_LOCAL_MACHINE, ServerKey()); }

void EventServiceStandIn::FailCreation(HRESULT result) const
{
    Set("CreateResult", static_cast<DWORD>(result));
}

void EventServiceStandIn::FailRegistration(HRESULT result) const
{
    Set("RegisterResult", static_cast<DWORD>(result));
}

void EventServiceStandIn::FailFireEvent(HRESULT result) const
{
    Set("FireResult", static_cast<DWORD>(result));
}

void EventServiceStandIn::DelayRegistration(DWORD milliseconds) const
{
    Set("RegisterDelayMs", milliseconds);
}

void EventServiceStandIn::DelayFireEvent(DWORD milliseconds) const
{
    Set("FireDelayMs", milliseconds);
}

void EventServiceStandIn::Set(const char* name, DWORD value) const
{
    SetDword(HKEY_CURRENT_USER, kConfigKey, name, value);
}

std::vector<Record> EventServiceStandIn::Records() const
{
    return ReadRecords(FixturePath(kRecordRelativePath));
}

std::vector<Registration> EventServiceStandIn::Registrations() const
{
    std::vector<Registration> calls;
    for (const Record& record : WithFunction(Records(), "RegisterClient")) {
        Registration call;
        call.object = record.Number("object");
        call.client = record.Text("client");
        call.clientLength = static_cast<size_t>(record.Number("client_len"));
        call.flags = Dword(record, "flags");
        call.optionsType = static_cast<unsigned>(record.Number("options_vt"));
        call.value = Dword(record, "value");
        call.result = static_cast<HRESULT>(Dword(record, "result"));
        calls.push_back(call);
    }
    return calls;
}

std::vector<FiredEvent> EventServiceStandIn::Events() const
{
    std::vector<FiredEvent> events;
    for (const Record& record : WithFunction(Records(), "FireEvent")) {
        FiredEvent event;
        event.object = record.Number("object");
        event.eventName = record.Text("event");
        event.eventNameLength = static_cast<size_t>(record.Number("event_len"));
        event.statusGiven = record.Has("status_in");
        event.statusIn = Dword(record, "status_in");
        event.value1 = Dword(record, "value1");
        event.passThrough1 = Dword(record, "pass1");
        event.eventCode = Dword(record, "code");
        event.passThrough2 = Dword(record, "pass2");
        event.value2 = Dword(record, "value2");
        event.dataType = static_cast<unsigned>(record.Number("data_vt"));
        event.dimensions = static_cast<unsigned>(record.Number("dims"));
        event.lowerBound = static_cast<long long>(record.Number("lbound"));
        event.elements = record.Number("elements");
        event.elementSize = static_cast<unsigned>(record.Number("element_size"));
        event.arrayAddress = record.Number("array");
        event.bytes = ParseHex(record.Text("bytes"));
        event.record = DecodeEventRecord(event.bytes);
        event.result = static_cast<HRESULT>(Dword(record, "result"));
        events.push_back(event);
    }
    return events;
}

size_t EventServiceStandIn::ObjectsCreated() const
{
    size_t created = 0;
    for (const Record& record : WithFunction(Records(), "Created")) {
        if (static_cast<HRESULT>(Dword(record, "result")) >= 0) {
            ++created;
        }
    }
    return created;
}

size_t EventServiceStandIn::ObjectsAlive() const
{
    const std::vector<Record> records = Records();
    // Every object made is recorded as made, whether or not the interface
    // asked for was handed out, and as released when its count reached 0.
    const size_t created = CountOf(records, "Created");
    const size_t released = CountOf(records, "Released");
    return created > released ? created - released : 0;
}

size_t EventServiceStandIn::OverReleases() const { return CountOf(Records(), "OverReleased"); }

size_t EventServiceStandIn::UnusedSlotCalls() const { return CountOf(Records(), "UnusedSlot"); }

void EventServiceStandIn::ClearRecords() const
{
    testsupport::ClearRecords(FixturePath(kRecordRelativePath));
}

}  // namespace testsupport
