#pragma once

#include <string>
#include <vector>

class CMonitorWindow;

// Binds text members of a window to its edit boxes. Push sends a member to its box only when
// the program changed the member since the box last showed it, so what the user is typing in a
// box survives a push made for another member. Pull takes every box's text into its member.

class CTextBinding
{
public:
    explicit CTextBinding(CMonitorWindow &window)
        : m_window(window)
    { }

    void Bind(std::string &member, int controlId);

    void Push();
    void Pull();

private:
    struct Entry
    {
        std::string *member;
        int controlId;
        std::string shown;
    };

    CMonitorWindow &m_window;
    std::vector<Entry> m_entries;
};
