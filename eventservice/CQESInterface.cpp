#include "eventservice/CQESInterface.h"

#include "eventservice/EventRecord.h"
#include "eventservice/OutOfMemoryError.h"

namespace tavrel {

namespace {

constexpr VARTYPE kRecordVariantType = VT_ARRAY | VT_UI1;
static_assert(kRecordVariantType == 0x2011, "the record travels as a byte array");

// The record in a VARIANT of type VT_ARRAY | VT_UI1 holding a 72-byte
// SAFEARRAY. Empty when the array cannot be created or locked; throws
// OutOfMemoryError (after destroying the array) when the VARIANT's storage
// cannot be allocated.
UniqueVariantStorage WrapRecord(const EventRecord& record, const ComMemory& memory)
{
    UniqueSafeArray array(memory.createByteArray(static_cast<ULONG>(record.size())),
                          memory.destroyArray);
    if (!array) {
        return {};
    }
    {
        SafeArrayDataLock lock(array.get());
        if (!lock.locked()) {
            return {};
        }
        CopyMemory(lock.data(), record.data(), record.size());
    }
    UniqueVariantStorage variant(memory.allocVariant(), memory.destroyVariant);
    if (!variant) {
        throw OutOfMemoryError();
    }
    ::VariantInit(variant.get());
    V_VT(variant.get()) = kRecordVariantType;
    V_ARRAY(variant.get()) = array.release();
    return variant;
}

}  // namespace

CQESInterface::CQESInterface() noexcept : CQESInterface(SystemComMemory()) {}

CQESInterface::CQESInterface(const ComMemory& memory) noexcept : memory_(memory)
{
    // Every construction adds one initialisation on this thread; nothing
    // uninitialises, so the thread stays in the apartment for good. A thread
    // already in another apartment is left as it is: creation then answers
    // for itself in Connect.
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

CQESInterface::~CQESInterface() = default;

HRESULT CQESInterface::Connect()
{
    if (service_) {
        return S_FALSE;
    }
    const HRESULT created =
        ::CoCreateInstance(event_service::kClassId, nullptr, event_service::kClassContext,
                           event_service::kInterfaceId, service_.put_void());
    if (FAILED(created)) {
        service_.reset();
        return created;
    }

    HRESULT registered = S_OK;
    {
        UniqueVariant options;
        const UniqueBstr name = MakeBstr(event_service::kClientName, memory_);
        registered = service_->RegisterClient(name.get(), event_service::kRegisterFlags,
                                              options.get(), event_service::kRegisterValue);
    }
    if (FAILED(registered)) {
        Disconnect();
    }
    return registered;
}

HRESULT CQESInterface::Send(DWORD passThrough1, DWORD eventCode, const DWORD* values,
                            DWORD count, DWORD passThrough2)
{
    HRESULT result = E_FAIL;
    if (!service_) {
        return result;
    }
    DWORD status = event_service::kInitialStatusWord;
    const UniqueBstr name = MakeBstr(event_service::kEventName, memory_);
    const EventRecord record = BuildEventRecord(values, count, ::GetTickCount());
    const UniqueVariantStorage data = WrapRecord(record, memory_);
    if (data) {
        // The VARIANT goes by value: the service sees the same array and the
        // client frees it once, below.
        result = service_->FireEvent(&status, name.get(), event_service::kFireEventValue,
                                     passThrough1, eventCode, passThrough2,
                                     event_service::kFireEventValue, *data.get());
    }
    return result;
}

void CQESInterface::Disconnect() noexcept
{
    service_.reset();
}

}  // namespace tavrel
