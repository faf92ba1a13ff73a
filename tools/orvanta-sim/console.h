#pragma once

#include <string>
#include <string_view>

// The simulator's output. Bytes the program sent go to stdout, one line per read. Notes (the
// start line, the summary) and the progress line go to stderr; the progress line rewrites itself
// in place and is drawn only on a terminal, and is wiped before any other line so that lines
// never mix.
class CConsole
{
public:
    explicit CConsole(bool quiet);
    ~CConsole();
    CConsole(const CConsole &) = delete;
    CConsole &operator=(const CConsole &) = delete;

    bool ShowsProgress() const { return m_showsProgress; }
    void PrintReceived(std::string_view bytes);
    // A line on stderr, unless quiet.
    void Note(const std::string &line);
    void ShowProgress(const std::string &text);
    // Wipes the progress line for good.
    void EndProgress();
    // Warnings and errors, quiet or not.
    void Warn(const std::string &line);

private:
    void WipeProgress();
    void RedrawProgress();

    bool m_quiet;
    bool m_showsProgress;
    std::string m_progress;
};
