#include "cli/TextPrinter.h"

void TTextPrinter::LogLine(TLogKind kind, const std::string &line)
{
    if (!m_quiet || KeptWhenQuiet(kind))
        m_put(line);
}
