#include "console.h"

#include "byteescape.h"

#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char *RECEIVED_PREFIX = "received: ";

void WriteTo(std::FILE *stream, const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

} // namespace

CConsole::CConsole(bool quiet)
    : m_quiet(quiet)
    , m_showsProgress(!quiet && ::isatty(STDERR_FILENO))
{ }

CConsole::~CConsole()
{
    EndProgress();
}

void CConsole::PrintReceived(std::string_view bytes)
{
    WipeProgress();
    WriteTo(stdout, RECEIVED_PREFIX + EscapeBytes(bytes) + "\n");
    RedrawProgress();
}

void CConsole::Note(const std::string &line)
{
    if (!m_quiet)
        Warn(line);
}

void CConsole::Warn(const std::string &line)
{
    WipeProgress();
    WriteTo(stderr, "orvanta-sim: " + line + "\n");
    RedrawProgress();
}

void CConsole::ShowProgress(const std::string &text)
{
    if (!m_showsProgress)
        return;
    m_progress = text;
    RedrawProgress();
}

void CConsole::EndProgress()
{
    WipeProgress();
    m_progress.clear();
    m_showsProgress = false;
}

void CConsole::WipeProgress()
{
    if (!m_progress.empty())
        WriteTo(stderr, "\r\x1b[K");
}

void CConsole::RedrawProgress()
{
    if (!m_progress.empty())
        WriteTo(stderr, "\r" + m_progress + "\x1b[K");
}
