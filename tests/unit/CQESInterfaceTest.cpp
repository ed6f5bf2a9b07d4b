// The event-service client against the stand-in service, registered in the
// prefix and loaded into this process. The client puts this thread into
// the multithreaded apartment; the stand-in is registered "Both", so every
// call reaches it directly.
#include <gtest/gtest.h>

#include <new>
#include <set>
#include <string>
#include <vector>

#include "eventservice/CQESInterface.h"
#include "eventservice/EventRecord.h"
#include "eventservice/OutOfMemoryError.h"
#include "tests/support/EventServiceStandIn.h"

namespace tavrel {
namespace {

namespace names = testsupport::event_names;
using testsupport::EventServiceStandIn;
using testsupport::FiredEvent;

// E_FAIL, written out: what Send answers when it sends nothing.
constexpr HRESULT kEFail = static_cast<HRESULT>(0x80004005);
// Negative HRESULTs a service could answer, beside the common ones.
constexpr HRESULT kServiceRefused = static_cast<HRESULT>(0x80040200);
constexpr HRESULT kPositiveOddity = 0x00012345;

// Counts what the client allocates and frees through its memory seam, and
// fails the allocation a test names. All calls come from the test thread.
struct MemoryLedger {
    int failStringNumber = 0;  // 1-based; 0 = none fails
    bool failArray = false;
    bool failVariant = false;

    int strings = 0;
    std::set<BSTR> liveStrings;
    std::set<SAFEARRAY*> liveArrays;
    std::set<VARIANT*> liveVariants;
    std::vector<SAFEARRAY*> created;
    std::vector<SAFEARRAY*> clearedWithVariant;
    int arraysDestroyedAlone = 0;
    int variantsDestroyed = 0;
    int strayFrees = 0;  // frees of something not live: a double free

    bool Balanced() const
    {
        return liveStrings.empty() && liveArrays.empty() && liveVariants.empty() &&
               strayFrees == 0;
    }
};

MemoryLedger g_ledger;

template <typename Pointer>
void Forget(std::set<Pointer>& live, Pointer value)
{
    if (live.erase(value) == 0) {
        ++g_ledger.strayFrees;
    }
}

const ComMemory& CountingMemory()
{
    static const ComMemory memory = {
        [](UINT length) -> BSTR {
            if (++g_ledger.strings == g_ledger.failStringNumber) {
                return nullptr;
            }
            BSTR text = SystemComMemory().allocString(length);
            g_ledger.liveStrings.insert(text);
            return text;
        },
        [](BSTR text) {
            Forget(g_ledger.liveStrings, text);
            SystemComMemory().freeString(text);
        },
        [](ULONG elements) -> SAFEARRAY* {
            if (g_ledger.failArray) {
                return nullptr;
            }
            SAFEARRAY* array = SystemComMemory().createByteArray(elements);
            g_ledger.liveArrays.insert(array);
            g_ledger.created.push_back(array);
            return array;
        },
        [](SAFEARRAY* array) {
            ++g_ledger.arraysDestroyedAlone;
            Forget(g_ledger.liveArrays, array);
            SystemComMemory().destroyArray(array);
        },
        []() -> VARIANT* {
            if (g_ledger.failVariant) {
                return nullptr;
            }
            VARIANT* variant = SystemComMemory().allocVariant();
            g_ledger.liveVariants.insert(variant);
            return variant;
        },
        [](VARIANT* variant) {
            ++g_ledger.variantsDestroyed;
            Forget(g_ledger.liveVariants, variant);
            // VariantClear destroys the array the VARIANT holds.
            if ((V_VT(variant) & VT_ARRAY) != 0) {
                g_ledger.clearedWithVariant.push_back(V_ARRAY(variant));
                Forget(g_ledger.liveArrays, V_ARRAY(variant));
            }
            SystemComMemory().destroyVariant(variant);
        },
    };
    return memory;
}

class CQESInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_ledger = MemoryLedger();
        ASSERT_TRUE(service_.Register());
    }

    void TearDown() override
    {
        // Whatever a test did, the client never calls another slot and never
        // releases more than it holds.
        EXPECT_EQ(0u, service_.UnusedSlotCalls());
        EXPECT_EQ(0u, service_.OverReleases());
    }

    EventServiceStandIn service_;
};

TEST_F(CQESInterfaceTest, SendWithoutConnectFailsAndCallsNothing)
{
    CQESInterface client;
    const DWORD values[] = {0x10001};
    EXPECT_EQ(kEFail, client.Send(0, names::kStateEventCode, values, 1, 0));
    client.Disconnect();
    EXPECT_TRUE(service_.Records().empty());
}

TEST_F(CQESInterfaceTest, ConnectCreatesAndRegistersOnceAndASecondConnectAnswersSFalse)
{
    {
        CQESInterface client;
        EXPECT_EQ(S_OK, client.Connect());
        EXPECT_EQ(S_FALSE, client.Connect());
        EXPECT_EQ(1u, service_.ObjectsCreated());
        EXPECT_EQ(1u, service_.ObjectsAlive());
    }
    const auto records = service_.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ("Created", records.front().Text("fn"));
    EXPECT_EQ(names::kInterfaceIdText, records.front().Text("iid"));

    const auto registrations = service_.Registrations();
    ASSERT_EQ(1u, registrations.size());
    EXPECT_EQ(names::kClientName, registrations[0].client);
    EXPECT_EQ(20u, registrations[0].clientLength);
    EXPECT_EQ(names::kRegisterFlags, registrations[0].flags);
    EXPECT_EQ(static_cast<unsigned>(VT_EMPTY), registrations[0].optionsType);
    EXPECT_EQ(0u, registrations[0].value);
    EXPECT_EQ(0u, service_.ObjectsAlive());
}

TEST_F(CQESInterfaceTest, OnlyANegativeRegistrationResultDisconnects)
{
    const HRESULT results[] = {S_FALSE, kPositiveOddity, E_FAIL, E_ACCESSDENIED,
                               kServiceRefused};
    const DWORD values[] = {0x10003};
    for (const HRESULT result : results) {
        service_.ClearRecords();
        service_.FailRegistration(result);
        CQESInterface client;
        EXPECT_EQ(result, client.Connect()) << std::hex << result;
        const bool failed = result < 0;
        // A refused registration has released the object before Connect returns.
        EXPECT_EQ(failed ? 0u : 1u, service_.ObjectsAlive()) << std::hex << result;
        EXPECT_EQ(failed ? kEFail : S_OK,
                  client.Send(0, names::kStateEventCode, values, 1, 0))
            << std::hex << result;
        EXPECT_EQ(failed ? 0u : 1u, service_.Events().size()) << std::hex << result;
        client.Disconnect();
        EXPECT_EQ(0u, service_.ObjectsAlive()) << std::hex << result;
    }
}

TEST_F(CQESInterfaceTest, CreationFailureIsReturnedAndNothingIsCalled)
{
    CQESInterface client;
    service_.FailCreation(kServiceRefused);
    EXPECT_EQ(kServiceRefused, client.Connect());
    EXPECT_EQ(kEFail, client.Send(0, names::kStateEventCode, nullptr, 0, 0));

    // Not registered at all: Connect answers what COM answers for the class.
    ASSERT_TRUE(service_.Unregister());
    IUnknown* probe = reinterpret_cast<IUnknown*>(0xdeadbeef);
    const HRESULT expected =
        ::CoCreateInstance(event_service::kClassId, nullptr, 0x17, event_service::kInterfaceId,
                           reinterpret_cast<void**>(&probe));
    ASSERT_TRUE(FAILED(expected));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, expected);
    EXPECT_EQ(expected, client.Connect());
    EXPECT_EQ(kEFail, client.Send(0, names::kStateEventCode, nullptr, 0, 0));

    EXPECT_EQ(0u, service_.ObjectsCreated());
    EXPECT_TRUE(service_.Registrations().empty());
    EXPECT_TRUE(service_.Events().empty());
}

struct SendCase {
    const char* name;
    std::vector<DWORD> values;
};

TEST_F(CQESInterfaceTest, SendHandsOverTheRecordInA72ByteArrayAndFreesItOnce)
{
    const SendCase cases[] = {
        {"two values", {10, 20}},
        {"no values", {}},
        {"eight values", {1, 2, 3, 4, 0x10000, 0x10001, 0x10002, 0x10003}},
    };
    for (const SendCase& c : cases) {
        g_ledger = MemoryLedger();
        service_.ClearRecords();
        {
            CQESInterface client(CountingMemory());
            ASSERT_EQ(S_OK, client.Connect()) << c.name;
            const DWORD before = ::GetTickCount();
            EXPECT_EQ(S_OK, client.Send(0xA1, 0x01200007, c.values.data(),
                                        static_cast<DWORD>(c.values.size()), 0xB2))
                << c.name;
            const DWORD after = ::GetTickCount();
            client.Disconnect();

            const std::vector<FiredEvent> events = service_.Events();
            ASSERT_EQ(1u, events.size()) << c.name;
            const FiredEvent& event = events[0];
            EXPECT_EQ(names::kEventName, event.eventName) << c.name;
            EXPECT_EQ(12u, event.eventNameLength) << c.name;
            EXPECT_TRUE(event.statusGiven) << c.name;
            EXPECT_EQ(names::kInitialStatusWord, event.statusIn) << c.name;
            EXPECT_EQ(0u, event.value1) << c.name;
            EXPECT_EQ(0xA1u, event.passThrough1) << c.name;
            EXPECT_EQ(0x01200007u, event.eventCode) << c.name;
            EXPECT_EQ(0xB2u, event.passThrough2) << c.name;
            EXPECT_EQ(0u, event.value2) << c.name;
            EXPECT_EQ(names::kRecordVariantType, event.dataType) << c.name;
            EXPECT_EQ(1u, event.dimensions) << c.name;
            EXPECT_EQ(0, event.lowerBound) << c.name;
            EXPECT_EQ(72u, event.elements) << c.name;
            EXPECT_EQ(1u, event.elementSize) << c.name;

            ASSERT_TRUE(event.record.has_value()) << c.name;
            const DWORD tick = event.record->tickCount;
            EXPECT_LE(tick - before, after - before) << c.name;
            const EventRecord built = BuildEventRecord(
                c.values.data(), static_cast<DWORD>(c.values.size()), tick);
            EXPECT_EQ(std::vector<BYTE>(built.begin(), built.end()), event.bytes) << c.name;
            EXPECT_EQ(c.values, event.Values()) << c.name;

            // One array made; the service saw that very array; it went back
            // once, with the VARIANT that carried it.
            ASSERT_EQ(1u, g_ledger.created.size()) << c.name;
            EXPECT_EQ(reinterpret_cast<UINT_PTR>(g_ledger.created[0]), event.arrayAddress)
                << c.name;
            EXPECT_EQ(std::vector<SAFEARRAY*>{g_ledger.created[0]}, g_ledger.clearedWithVariant)
                << c.name;
            EXPECT_EQ(0, g_ledger.arraysDestroyedAlone) << c.name;
            EXPECT_EQ(1, g_ledger.variantsDestroyed) << c.name;
            EXPECT_EQ(2, g_ledger.strings) << c.name;
        }
        EXPECT_TRUE(g_ledger.Balanced()) << c.name;
        EXPECT_EQ(0u, service_.ObjectsAlive()) << c.name;
    }
}

TEST_F(CQESInterfaceTest, FireEventResultIsReturnedAndTheClientStaysConnected)
{
    const HRESULT results[] = {E_FAIL, kServiceRefused, S_FALSE, kPositiveOddity};
    const DWORD values[] = {0x10000};
    for (const HRESULT result : results) {
        service_.ClearRecords();
        service_.FailFireEvent(result);
        CQESInterface client;
        ASSERT_EQ(S_OK, client.Connect());
        EXPECT_EQ(result, client.Send(0, names::kStateEventCode, values, 1, 0))
            << std::hex << result;
        EXPECT_EQ(result, client.Send(0, names::kStateEventCode, values, 1, 0))
            << std::hex << result;
        EXPECT_EQ(2u, service_.Events().size()) << std::hex << result;
        EXPECT_EQ(1u, service_.ObjectsAlive()) << std::hex << result;
    }
    EXPECT_EQ(0u, service_.ObjectsAlive());
}

TEST_F(CQESInterfaceTest, DisconnectReleasesOnceAndEveryClientGetsItsOwnObject)
{
    {
        CQESInterface client;
        ASSERT_EQ(S_OK, client.Connect());
        client.Disconnect();
        EXPECT_EQ(0u, service_.ObjectsAlive());
        client.Disconnect();
        EXPECT_EQ(kEFail, client.Send(0, names::kStateEventCode, nullptr, 0, 0));
    }
    {
        // Not disconnected: the destructor lets go.
        CQESInterface client;
        ASSERT_EQ(S_OK, client.Connect());
    }
    // Disconnected and connected again: a new object.
    CQESInterface client;
    ASSERT_EQ(S_OK, client.Connect());
    client.Disconnect();
    ASSERT_EQ(S_OK, client.Connect());
    client.Disconnect();

    const auto records = service_.Records();
    std::vector<std::string> sequence;
    std::set<unsigned long long> objects;
    for (const auto& record : records) {
        sequence.push_back(record.Text("fn"));
        objects.insert(record.Number("object"));
    }
    const std::vector<std::string> expected = {
        "Created", "RegisterClient", "Released", "Created", "RegisterClient", "Released",
        "Created", "RegisterClient", "Released", "Created", "RegisterClient", "Released"};
    EXPECT_EQ(expected, sequence);
    EXPECT_EQ(4u, objects.size());
}

struct OutOfMemoryCase {
    const char* name;
    int failStringNumber;
    bool failVariant;
    size_t registrations;
};

TEST_F(CQESInterfaceTest, OutOfMemoryRaisesFreesEverythingAndReleasesTheService)
{
    const OutOfMemoryCase cases[] = {
        {"client name", 1, false, 0},
        {"event name", 2, false, 1},
        {"record VARIANT", 0, true, 1},
    };
    for (const OutOfMemoryCase& c : cases) {
        g_ledger = MemoryLedger();
        g_ledger.failStringNumber = c.failStringNumber;
        g_ledger.failVariant = c.failVariant;
        service_.ClearRecords();

        HRESULT raised = S_OK;
        try {
            CQESInterface client(CountingMemory());
            const DWORD values[] = {0x10001};
            client.Connect();
            client.Send(0, names::kStateEventCode, values, 1, 0);
            client.Disconnect();
        } catch (const std::bad_alloc& error) {
            // Met as a std::bad_alloc, and it is the program's own one.
            const auto* own = dynamic_cast<const OutOfMemoryError*>(&error);
            raised = own != nullptr ? own->Result() : E_UNEXPECTED;
        }
        EXPECT_EQ(E_OUTOFMEMORY, raised) << c.name;
        EXPECT_TRUE(g_ledger.Balanced()) << c.name;
        EXPECT_EQ(1u, service_.ObjectsCreated()) << c.name;
        EXPECT_EQ(0u, service_.ObjectsAlive()) << c.name;
        EXPECT_EQ(c.registrations, service_.Registrations().size()) << c.name;
        EXPECT_TRUE(service_.Events().empty()) << c.name;
    }
}

TEST_F(CQESInterfaceTest, ARecordThatCannotBeWrappedIsNotSent)
{
    g_ledger.failArray = true;
    {
        CQESInterface client(CountingMemory());
        ASSERT_EQ(S_OK, client.Connect());
        const DWORD values[] = {0x10001};
        EXPECT_EQ(kEFail, client.Send(0, names::kStateEventCode, values, 1, 0));
        EXPECT_EQ(1u, service_.ObjectsAlive());
    }
    EXPECT_TRUE(service_.Events().empty());
    EXPECT_EQ(0, g_ledger.variantsDestroyed);
    EXPECT_TRUE(g_ledger.Balanced());
    EXPECT_EQ(0u, service_.ObjectsAlive());
}

TEST_F(CQESInterfaceTest, SlowServiceCallsAreWaitedFor)
{
    constexpr DWORD kDelayMs = 700;
    service_.DelayRegistration(kDelayMs);
    service_.DelayFireEvent(kDelayMs);
    CQESInterface client;
    DWORD start = ::GetTickCount();
    EXPECT_EQ(S_OK, client.Connect());
    EXPECT_GE(::GetTickCount() - start, kDelayMs - 50);
    start = ::GetTickCount();
    EXPECT_EQ(S_OK, client.Send(0, names::kStateEventCode, nullptr, 0, 0));
    EXPECT_GE(::GetTickCount() - start, kDelayMs - 50);
    EXPECT_EQ(1u, service_.Events().size());
}

}  // namespace
}  // namespace tavrel
