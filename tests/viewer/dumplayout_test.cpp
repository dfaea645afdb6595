// Rows of the dump modes: what each row shows and where its parts stand.
#include "viewer/dumpcolumns.h"
#include "viewer/dumplayout.h"
#include "viewer/viewdocument.h"

#include "testfiles.h"

#include <QStringList>

namespace {

QStringList cells(const DumpRow &row)
{
    QStringList cells;
    for (const QString &c : row.cells)
        cells << c;
    return cells;
}

TEST(DumpLayout, RowsShowTheOffsetTheCellsAndTheCharacters)
{
    TempFiles files;
    // 20 bytes: a full row of 16 and a short one ending in a TAB.
    const QString path = files.write(QStringLiteral("a.bin"), "ABCDEFGHIJKLMNOPQRS\t");
    const QByteArray utf16le("A\0\t\0B\0\xE9\0", 8);
    const QString path16le = files.write(QStringLiteral("le.bin"), utf16le);
    struct Case
    {
        const char *name;
        ViewMode mode;
        QString path;
        bool bigEndian;
        std::vector<QString> offsets;
        std::vector<QStringList> cells;
        std::vector<QString> texts;
    };
    const QStringList first16 = {"41", "42", "43", "44", "45", "46", "47", "48",
                                 "49", "4A", "4B", "4C", "4D", "4E", "4F", "50"};
    const Case cases[] = {
        {"hex, last row short, TAB as a full stop",
         vbmodeHex,
         path,
         false,
         {"00000000:", "00000010:"},
         {first16, {"51", "52", "53", "09"}},
         {"ABCDEFGHIJKLMNOP", "QRS."}},
        {"binary rows of the text width",
         vbmodeBinary,
         path,
         false,
         {"", "", ""},
         {{}, {}, {}},
         {"ABCDEFGH", "IJKLMNOP", "QRS."}},
        // A unit's digits are its value read little-endian, whatever the order.
        {"units, little-endian",
         vbmodeUHex,
         path16le,
         false,
         {"00000000:"},
         {{"0041", "0009", "0042", "00E9"}},
         {QStringLiteral("A.B\u00E9")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ViewDocument doc;
        doc.setModeValue(c.mode);
        ASSERT_EQ(doc.openFile(c.path), ViewDocument::OpenResult::Ok);
        const DumpGeometry g = DumpGeometry::forMode(c.mode, 8, 16, 8, doc.offsetDigits());
        const DumpLayout layout = layOutDump(doc, g, 0, 10, -1);
        ASSERT_EQ(layout.rows.size(), c.texts.size());
        for (size_t i = 0; i < layout.rows.size(); ++i) {
            const DumpRow &row = layout.rows[i];
            EXPECT_EQ(row.pos, qint64(i) * g.bytesPerRow());
            EXPECT_EQ(row.offset, c.offsets[i]);
            EXPECT_EQ(cells(row), c.cells[i]);
            EXPECT_EQ(row.text, c.texts[i]);
            EXPECT_EQ(row.offsets.back(), row.text.size()); // every character one unit
        }
    }
}

TEST(DumpLayout, UnitsOfABigEndianFileStillShowTheirLittleEndianValue)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("be.bin"), QByteArray("\xFE\xFF\x41\x00", 4));
    ViewDocument doc;
    doc.setModeValue(vbmodeUHex);
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    ASSERT_TRUE(doc.isBigEndian());
    const DumpLayout layout =
        layOutDump(doc, DumpGeometry::forMode(vbmodeUHex, 8, 16, 8, 8), 0, 5, -1);
    ASSERT_EQ(layout.rows.size(), 1u);
    EXPECT_EQ(cells(layout.rows[0]), (QStringList{"FFFE", "0041"}));
    // The characters follow the byte order: 0x4100 read big-endian.
    EXPECT_EQ(layout.rows[0].text.at(1), QChar(0x4100));
}

TEST(DumpLayout, RowsStopAtTheLimitAndAtTheEnd)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("b.bin"), QByteArray(100, 'x'));
    ViewDocument doc;
    doc.setModeValue(vbmodeHex);
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    const DumpGeometry g = DumpGeometry::forMode(vbmodeHex, 8, 16, 8, 8);
    struct Case
    {
        qint64 viewPos;
        int visible;
        qint64 limit;
        size_t rows;
        bool atEnd;
    };
    const Case cases[] = {
        {0, 2, -1, 3, false},                        // two full rows and the partly visible one
        {0, 10, -1, 7, true},                        // 100 bytes: six full rows and four bytes
        {0, 10, 40, 3, true},                        // rows starting at 0, 16 and 32 (not 48)
        {80, 2, -1, 2, true},                        // rows at 80 and 96; 80 >= 100 - 32
        {64, 2, -1, 3, false},                       // 64 < 100 - 32
        {48, 2, -1, 3, false}, {0, 0, -1, 1, false}, // lower than a line: one partly visible row
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.viewPos << "/" << c.visible << "/" << c.limit);
        const DumpLayout layout = layOutDump(doc, g, c.viewPos, c.visible, c.limit);
        EXPECT_EQ(layout.rows.size(), c.rows);
        EXPECT_EQ(layout.viewAtEnd, c.atEnd);
        EXPECT_EQ(layout.viewPageSize, qint64(c.visible) * 16);
    }
}

TEST(DumpLayout, GeometryPlacesCellsGapAndSeparators)
{
    struct Case
    {
        ViewMode mode;
        int width;
        int cell0, lastCellOfFirstHalf, firstCellOfSecondHalf, edge;
        std::array<int, 3> separators;
    };
    const Case cases[] = {
        // 8 offset digits, ":" and a space; three characters a byte.
        {vbmodeHex, 16, 11, 11 + 7 * 3, 11 + 8 * 3 + 1, 8 + 48 + 4, {10, 35, 60}},
        {vbmodeHex, 4, 11, 14, 18, 8 + 12 + 4, {10, 17, 24}},
        {vbmodeUHex, 8, 11, 11 + 3 * 5, 11 + 4 * 5 + 1, 8 + 40 + 4, {10, 31, 52}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << "/" << c.width);
        const DumpGeometry g = DumpGeometry::forMode(c.mode, 80, c.width, c.width, 8);
        EXPECT_EQ(g.cellColumn(0), c.cell0);
        EXPECT_EQ(g.cellColumn(c.width / 2 - 1), c.lastCellOfFirstHalf);
        EXPECT_EQ(g.cellColumn(c.width / 2), c.firstCellOfSecondHalf);
        EXPECT_EQ(g.textEdge(), c.edge);
        EXPECT_EQ(g.textColumn(), c.edge + 1);
        EXPECT_EQ(g.separators(), c.separators);
        // The hex area reaches from its separator to the edge.
        EXPECT_EQ(g.hexAreaStart() + g.hexAreaChars(), g.textEdge());
    }
}

TEST(DumpColumns, APointLeftOfTheCharactersGivesTheNearerCellBoundary)
{
    DumpColumns columns;
    // Four cells of width 30 at 100, 130, 160 and 200 (a gap before the third).
    for (const auto &[i, x] : {std::pair{0, 100}, {1, 130}, {2, 160}, {3, 200}})
        columns.setColumn(i, x, 30, 4);
    columns.setTextColumn(240);
    struct Case
    {
        int x;
        qint64 rowEnd;
        qint64 expected;
    };
    const Case cases[] = {
        {50, 1004, -1},    // the offset text
        {114, 1004, -1},   // left half of the first cell
        {115, 1004, 1001}, // its right half: the boundary after it
        {144, 1004, 1001}, {145, 1004, 1002}, {214, 1004, 1003},
        {215, 1004, 1004}, {240, 1004, 1004}, // the gap before the characters
        {241, 1004, -1},                      // the characters are not a cell
        {215, 1002, 1002},                    // a short last row ends at its bytes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(columns.posAt(c.x, 1000, c.rowEnd, 1), c.expected);
    }
    EXPECT_EQ(columns.posAt(215, 1000, 1008, 2), 1008); // units of two bytes
    columns.clear();
    EXPECT_EQ(columns.posAt(215, 1000, 1004, 1), -1);
}

} // namespace
