// What the client relies on of the platform's event service, an outside COM
// server: its class and interface IDs, the positions of the two methods it
// calls in the interface's method table, and the fixed values it passes.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

namespace tavrel {

namespace event_service {

// {301AB3CF-48BA-4234-9D63-3378BE356C6C}
inline constexpr CLSID kClassId = {
    0x301AB3CF, 0x48BA, 0x4234, {0x9D, 0x63, 0x33, 0x78, 0xBE, 0x35, 0x6C, 0x6C}};
// {4328A3A7-1426-4C02-A879-85D304CF026B}
inline constexpr IID kInterfaceId = {
    0x4328A3A7, 0x1426, 0x4C02, {0xA8, 0x79, 0x85, 0xD3, 0x04, 0xCF, 0x02, 0x6B}};

// In-process server or handler, local or remote server: whatever is
// registered.
constexpr DWORD kClassContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
static_assert(kClassContext == 0x17, "class context of the service object");

// RegisterClient's arguments besides the empty options VARIANT.
constexpr const char* kClientName = "QUORB_Touch_Launcher";
constexpr DWORD kRegisterFlags = 0xE8000000;
constexpr DWORD kRegisterValue = 0;

// FireEvent's arguments besides those the caller of Send chooses.
constexpr const char* kEventName = "QESTransform";
constexpr DWORD kInitialStatusWord = 252;
constexpr DWORD kFireEventValue = 0;  // third and seventh arguments

}  // namespace event_service

// The service's interface as the client sees it. Only RegisterClient (the
// third method after IUnknown's) and FireEvent (the twenty-third) are
// called; the placeholders keep them in their places of the method table,
// and their parameter lists are unknown. Every 32-bit value is a DWORD;
// VARIANTs go by value and stay the caller's to free.
struct IQESEventService : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Unused01() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused02() = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterClient(BSTR clientName, DWORD flags,
                                                     VARIANT options, DWORD value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused04() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused05() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused06() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused07() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused08() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused09() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused15() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused16() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused19() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused20() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused21() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused22() = 0;
    // status: in and out, never read back by the client.
    virtual HRESULT STDMETHODCALLTYPE FireEvent(DWORD* status, BSTR eventName, DWORD value1,
                                                DWORD passThrough1, DWORD eventCode,
                                                DWORD passThrough2, DWORD value2,
                                                VARIANT data) = 0;
};

}  // namespace tavrel
