#include "viewer/linereader.h"

#include "viewer/viewdocument.h"

LineReader::LineReader(const ViewDocument &document, const WrapContext &wrap)
    : LineRules(document.format(), wrap), m_doc(&document)
{}

bool LineReader::isOut(qint64 position) const
{
    return m_doc->isOutOfWindow(position);
}

char16_t LineReader::unitAt(qint64 position) const
{
    return m_doc->getChar(position);
}

qint64 LineReader::lastPos() const
{
    return m_doc->maxPos();
}

qint64 LineReader::dataSize() const
{
    return m_doc->fileSize();
}
