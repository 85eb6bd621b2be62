#include "engine/RunContext.h"

#include "engine/EscapeControls.h"
#include "engine/RunLogText.h"
#include "engine/VerifyWindow.h"

void TRunContext::Continue()
{
    m_paused.store(false);
    m_paused.notify_all();
}

bool TRunContext::Poll()
{
    if (m_paused.load()) {
        if (onHeld)
            onHeld();
        m_paused.wait(true);
    }
    return m_stop.load();
}

void TRunContext::Log(const std::string &message, TLogKind kind)
{
    // The names in a message are escaped with the rest: the program's own
    // texts hold no control characters.
    m_window->AppendRunLog(kind, TimeStamp() + " " + EscapeControls(message));
}
