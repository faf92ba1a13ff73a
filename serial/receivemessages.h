#pragma once

#include "linecontrol.h"
#include "receivemessageids.h"
#include "receivesink.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <cstdint>

#if defined(__SANITIZE_THREAD__)
#define ORVANTA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVANTA_THREAD_SANITIZER 1
#endif
#endif
#ifdef ORVANTA_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

// The private messages that reach the main window from the reader thread. A received chunk
// travels inside its event, so it belongs to whoever holds the event: an event that is never
// delivered frees its chunk with it. Events are delivered in the order posted, so a lost port is
// reported after every chunk read from it.

static_assert(WM_RECEIVED_DATA > QEvent::User && WM_LINE_ERRORS < QEvent::MaxUser);

// Qt hands a posted event to the window's thread under a lock of its own that ThreadSanitizer
// cannot see (Debian's Qt is not built for it), so a ThreadSanitizer build is told of the
// hand-off: each event is published once it is built, and the window's thread takes the hand-off
// before it looks at an event. In every other build both do nothing.
inline char g_eventHandOff;

inline void PublishEventHandOff()
{
#ifdef ORVANTA_THREAD_SANITIZER
    __tsan_release(&g_eventHandOff);
#endif
}

inline void TakeEventHandOff()
{
#ifdef ORVANTA_THREAD_SANITIZER
    __tsan_acquire(&g_eventHandOff);
#endif
}

class CReceivedDataEvent : public QEvent
{
public:
    explicit CReceivedDataEvent(QByteArray chunk)
        : QEvent(static_cast<QEvent::Type>(WM_RECEIVED_DATA))
        , m_chunk(std::move(chunk))
    {
        PublishEventHandOff();
    }
    // An event that is never delivered is freed without being looked at.
    ~CReceivedDataEvent() override { TakeEventHandOff(); }
    const QByteArray &chunk() const { return m_chunk; }

private:
    QByteArray m_chunk;
};

class CReceiveErrorEvent : public QEvent
{
public:
    CReceiveErrorEvent()
        : QEvent(static_cast<QEvent::Type>(WM_RECEIVE_ERROR))
    { }
};

// Carries the run of the reader that found the port gone: the event may arrive after that reader
// has been stopped and another one started on a port that works.
class CPortLostEvent : public QEvent
{
public:
    explicit CPortLostEvent(std::uint64_t readerRun)
        : QEvent(static_cast<QEvent::Type>(WM_PORT_LOST))
        , m_readerRun(readerRun)
    {
        PublishEventHandOff();
    }
    ~CPortLostEvent() override { TakeEventHandOff(); }
    std::uint64_t readerRun() const { return m_readerRun; }

private:
    std::uint64_t m_readerRun;
};

class CLineErrorsEvent : public QEvent
{
public:
    explicit CLineErrorsEvent(const LineErrorCounts &counts)
        : QEvent(static_cast<QEvent::Type>(WM_LINE_ERRORS))
        , m_counts(counts)
    {
        PublishEventHandOff();
    }
    ~CLineErrorsEvent() override { TakeEventHandOff(); }
    const LineErrorCounts &counts() const { return m_counts; }

private:
    LineErrorCounts m_counts;
};

// The reader's messages as events posted to the window, which owns each one once it is posted.
class CWindowEvents : public CReceiveSink
{
public:
    explicit CWindowEvents(QObject *window)
        : m_window(window)
    { }
    void ChunkReceived(const char *bytes, std::int32_t length) override
    {
        QCoreApplication::postEvent(m_window, new CReceivedDataEvent(QByteArray(bytes, length)));
    }
    void PortLost(std::uint64_t readerRun) override
    {
        QCoreApplication::postEvent(m_window, new CPortLostEvent(readerRun));
    }
    void LineErrorsChanged(const LineErrorCounts &counts) override
    {
        QCoreApplication::postEvent(m_window, new CLineErrorsEvent(counts));
    }

private:
    QObject *m_window;
};
