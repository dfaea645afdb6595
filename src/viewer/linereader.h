#pragma once

#include "viewer/linerules.h"

class ViewDocument;

// Finds screen lines around a position without any index of the file: it
// only reads characters inside the document's current window and gives up at
// its edge. Short-lived: make one per use, since it copies the document's
// text format and keeps the wrap context by value.
class LineReader final : public LineRules
{
public:
    LineReader(const ViewDocument &document, const WrapContext &wrap);

protected:
    bool isOut(qint64 position) const override;
    char16_t unitAt(qint64 position) const override;
    qint64 lastPos() const override;
    qint64 dataSize() const override;

private:
    const ViewDocument *m_doc;
};
