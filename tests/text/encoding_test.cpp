#include "text/encoding.h"

#include <gtest/gtest.h>

namespace {

// The settings file holds the stored code; a code no entry has (a
// hand-edited file, a later list) must come back as it was read.
TEST(Encoding, StoredCodesRoundTripAndNameTheirKind)
{
    struct Case
    {
        qint32 code;
        Encoding::Kind kind;
        bool listed;
    };
    const Case cases[] = {
        {-2, Encoding::Kind::Utf16Be, false},   {-1, Encoding::Kind::Utf16Le, false},
        {0, Encoding::Kind::CodePage, true},    {131, Encoding::Kind::CodePage, true},
        {132, Encoding::Kind::CodePage, false}, {-3, Encoding::Kind::CodePage, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        const Encoding e = Encoding::fromStoredCode(c.code);
        EXPECT_EQ(e.kind(), c.kind);
        EXPECT_EQ(e.isListed(), c.listed);
        EXPECT_EQ(e.storedCode(), c.code);
        EXPECT_EQ(e.unitBytes(), e.isUtf16() ? 2 : 1);
    }
    EXPECT_EQ(Encoding::fromStoredCode(-2), encodingUtf16BE);
    EXPECT_EQ(Encoding::fromStoredCode(-1), encodingUtf16LE);
    EXPECT_EQ(Encoding::fromStoredCode(130), encodingUtf8);
    EXPECT_EQ(Encoding(), encodingAnsi);
    EXPECT_EQ(encodingUtf16LE.codePageIndex(), -1);
    EXPECT_NE(encodingUtf16LE, encodingUtf16BE);
}

} // namespace
