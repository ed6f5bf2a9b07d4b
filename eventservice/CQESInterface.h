// The client of the platform's event service: creates the service object,
// registers under the fixed client name, fires one event carrying an
// EventRecord, and lets the object go. The change report makes one client
// per report: construct, Connect, Send (only after a Connect that did not
// fail), Disconnect, destroy.
#pragma once

#include <windows.h>

#include "eventservice/ComMemory.h"
#include "eventservice/ComResources.h"
#include "eventservice/EventServiceAbi.h"

namespace tavrel {

class CQESInterface {
public:
    // Enters the calling thread into the multithreaded apartment; the
    // result is ignored and the apartment is never left again.
    CQESInterface() noexcept;
    // The same, with the memory the client hands to the service taken from
    // memory instead of OLE Automation (a seam for tests).
    explicit CQESInterface(const ComMemory& memory) noexcept;
    virtual ~CQESInterface();

    CQESInterface(const CQESInterface&) = delete;
    CQESInterface& operator=(const CQESInterface&) = delete;

    // Creates the service object and registers the client. S_FALSE without
    // doing anything when already connected; the creation's result when the
    // object cannot be made; otherwise RegisterClient's result, and when
    // that is negative the object is released again.
    // Throws OutOfMemoryError when the client name cannot be allocated.
    HRESULT Connect();

    // Fires the event with an EventRecord of the values (count at most
    // kEventRecordMaxValues). E_FAIL without a call when not connected or
    // when the record cannot be wrapped; otherwise FireEvent's result.
    // Throws OutOfMemoryError when the event name or the VARIANT that
    // carries the record cannot be allocated.
    HRESULT Send(DWORD passThrough1, DWORD eventCode, const DWORD* values, DWORD count,
                 DWORD passThrough2);

    // Clears and releases the service reference, if one is held.
    void Disconnect() noexcept;

private:
    ComPtr<IQESEventService> service_;
    ComMemory memory_;
};

}  // namespace tavrel
