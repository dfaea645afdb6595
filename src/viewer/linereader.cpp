#include "viewer/linereader.h"

#include "viewer/viewdocument.h"

LineReader::LineReader(const ViewDocument &document, const WrapContext &wrap)
    : LineRules(document.Format(), wrap), m_doc(&document)
{}

bool LineReader::IsOut(qint64 position) const
{
    return m_doc->IsOutOfWindow(position);
}

char16_t LineReader::UnitAt(qint64 position) const
{
    return m_doc->GetChar(position);
}

qint64 LineReader::LastPos() const
{
    return m_doc->MaxPos();
}

qint64 LineReader::DataSize() const
{
    return m_doc->FileSize();
}
