// TCliWindow: the questions a run asks, on the user's terminal.
#include "cli/CliWindow.h"

#include "engine/EscapeControls.h"
#include "platform/MountTable.h"
#include "platform/TerminalIo.h"

bool TCliWindow::Ask(const std::string &question)
{
    // Everything the run said comes before its question.
    WriteHeld();
    m_progress.Erase();
    int error = 0;
    if (m_options.yes) {
        PutErr(question + " yes");
        return true;
    }
    if (m_ttyFd < 0) {
        PutErr(question + " no (no terminal to ask on; --yes answers yes)");
        return false;
    }
    std::string answer;
    // On the terminal as on standard error: a name in the question cannot
    // break its line or move the cursor.
    if (!WriteAll(m_ttyFd, EscapeControls(question) + " [y/N] ", error) || !ReadLine(m_ttyFd, answer)) {
        // The end of the input, or a stop signal: no.
        WriteAll(m_ttyFd, "\n", error);
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

bool TCliWindow::ConfirmDelete(std::size_t count, DeleteMode side)
{
    const bool source = side == DeleteMode::Source;
    const std::string path = source ? m_options.request.sourcePath : m_options.request.targetPath;
    const std::string drive = DrivePart(path);
    return Ask("Confirm Delete: Are you sure you want to Delete " + std::to_string(count) +
               " matching files from " + (source ? "Source" : "Target") + " drive " +
               (drive.empty() ? "/" : drive) + "?");
}

bool TCliWindow::AskPermanentDelete(std::size_t count)
{
    return Ask(std::to_string(count) + (count == 1 ? " file or folder" : " files or folders") +
               " cannot be moved to the trash. Delete permanently?");
}

bool TCliWindow::AskStackedDelete(const std::string &question)
{
    return Ask("Confirm Delete: " + question);
}
