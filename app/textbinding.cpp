#include "textbinding.h"

#include "monitorwindow.h"

void CTextBinding::Bind(std::string &member, int controlId)
{
    m_entries.push_back({&member, controlId, m_window.ControlText(controlId)});
}

void CTextBinding::Push()
{
    for (Entry &entry : m_entries) {
        if (*entry.member == entry.shown)
            continue;
        m_window.SetControlText(entry.controlId, *entry.member);
        entry.shown = *entry.member;
    }
}

void CTextBinding::Pull()
{
    for (Entry &entry : m_entries) {
        entry.shown = m_window.ControlText(entry.controlId);
        *entry.member = entry.shown;
    }
}
