#include "readerwaits.h"

#include "widetext.h"

namespace {

// Waits on the port and on a stop event together. The port's time-outs (portlayer_win32.cpp)
// ask a read to return at once with what is waiting. Where a read that finds nothing waits for
// the first byte instead (Wine does), that read is the wait; where it returns with nothing, the
// wait is for the port's event of a received byte, with a read after the event is set up, so
// that a byte that came in between is not missed. A wait that runs out is cancelled. The stop
// event is set only to stop the reader and stays set, so every later wait ends at once too.
class CEventWaits : public CReaderWaits
{
public:
    CEventWaits(HANDLE stop, HANDLE readDone, HANDLE byteCame)
        : m_stop(stop)
        , m_readDone(readDone)
        , m_byteCame(byteCame)
    { }
    ~CEventWaits() override
    {
        CloseHandle(m_stop);
        CloseHandle(m_readDone);
        CloseHandle(m_byteCame);
    }
    CEventWaits(const CEventWaits &) = delete;
    CEventWaits &operator=(const CEventWaits &) = delete;

    ReadResult ReadWithin(HANDLE port, char *buffer, std::int32_t length,
                          std::optional<std::uint32_t> milliseconds) override
    {
        const DWORD wait = milliseconds ? *milliseconds : INFINITE;
        bool waited = false;
        const ReadResult waiting = Read(port, buffer, length, wait, waited);
        if (waited || waiting.bytes > 0 || waiting.end != ReadEnd::Open)
            return waiting;
        OVERLAPPED event {};
        event.hEvent = m_byteCame;
        DWORD kinds = 0;
        if (!SetCommMask(port, EV_RXCHAR))
            return {0, ReadEnd::Lost};
        if (!WaitCommEvent(port, &kinds, &event) && GetLastError() != ERROR_IO_PENDING)
            return {0, ReadEnd::Lost};
        const ReadResult between = Read(port, buffer, length, 0, waited);
        if (between.bytes > 0 || between.end != ReadEnd::Open) {
            Finish(port, event, 0);
            return between;
        }
        const Ended came = Finish(port, event, wait);
        if (came.end != ReadEnd::Open || !came.done)
            return {0, came.end};
        return Read(port, buffer, length, 0, waited);
    }

    bool WaitUntilWoken() override { return WaitForSingleObject(m_stop, INFINITE) != WAIT_FAILED; }

    void Wake() override { SetEvent(m_stop); }

private:
    struct Ended : ReadResult
    {
        bool done = false;
    };

    // `waited` tells whether the read waited for bytes, at most `wait` ms.
    Ended Read(HANDLE port, char *buffer, std::int32_t length, DWORD wait, bool &waited)
    {
        OVERLAPPED read {};
        read.hEvent = m_readDone;
        DWORD got = 0;
        waited = false;
        if (ReadFile(port, buffer, static_cast<DWORD>(length), &got, &read))
            return {{static_cast<std::int32_t>(got)}, true};
        if (GetLastError() != ERROR_IO_PENDING)
            return {{0, ReadEnd::Lost}};
        waited = true;
        return Finish(port, read, wait);
    }

    // Waits for the operation and the stop together, cancels it when the stop or the bound comes
    // first, and says how it ended. An operation cut short still counts the bytes it read. Any
    // other failure is a port that is gone: an unplugged adapter fails with
    // ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_DEVICE_NOT_CONNECTED or ERROR_GEN_FAILURE,
    // and an operation that someone else aborted (ERROR_OPERATION_ABORTED) reads no more either.
    Ended Finish(HANDLE port, OVERLAPPED &operation, DWORD wait)
    {
        const HANDLE waits[] = {operation.hEvent, m_stop};
        const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, wait);
        if (woken != WAIT_OBJECT_0)
            CancelIoEx(port, &operation);
        DWORD got = 0;
        const bool done = GetOverlappedResult(port, &operation, &got, TRUE);
        const bool cancelledHere
            = !done && woken != WAIT_OBJECT_0 && GetLastError() == ERROR_OPERATION_ABORTED;
        const auto bytes = static_cast<std::int32_t>(got);
        if (woken == WAIT_FAILED)
            return {{bytes, ReadEnd::Failed}};
        return {{bytes, done || cancelledHere ? ReadEnd::Open : ReadEnd::Lost}, done};
    }

    HANDLE m_stop;
    HANDLE m_readDone;
    HANDLE m_byteCame;
};

} // namespace

std::unique_ptr<CReaderWaits> MakeReaderWaits()
{
    HANDLE events[3] = {};
    for (HANDLE &event : events)
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (events[0] && events[1] && events[2])
        return std::make_unique<CEventWaits>(events[0], events[1], events[2]);
    for (const HANDLE event : events) {
        if (event)
            CloseHandle(event);
    }
    return nullptr;
}

// The thread lists of Windows show no names this program sets; only the priority is lowered.
// The name shows in debuggers and in thread lists from Windows 10 on; earlier systems lack the
// call, so it is looked up rather than linked.
void PrepareReaderThread(const char *name)
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
    using SetThreadDescriptionCall = HRESULT(WINAPI *)(HANDLE, PCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto describe = kernel
        ? reinterpret_cast<SetThreadDescriptionCall>(
            reinterpret_cast<void *>(GetProcAddress(kernel, "SetThreadDescription")))
        : nullptr;
    if (describe)
        describe(GetCurrentThread(), WideFromUtf8(name).c_str());
}
