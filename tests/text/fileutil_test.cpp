#include "text/fileutil.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FProc : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString full = path(name);
        const QByteArray native = QFile::encodeName(full);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
        return full;
    }

    QTemporaryDir m_dir;
};

TEST_F(FProc, ExistenceOfFilesAndFolders)
{
    const QString file = write("a.log", "x");
    struct Case
    {
        QString name;
        bool exists, folder, file;
    };
    const Case cases[] = {
        {file, true, false, true},
        {m_dir.path(), true, true, false},
        {path("missing.log"), false, false, false},
        {QString(), false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        bool folder = !c.folder; // must be overwritten
        EXPECT_EQ(isFileOrDirExist(c.name, &folder), c.exists);
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(isFileOrDirExist(c.name), c.exists);
        EXPECT_EQ(isFileExist(c.name), c.file);
    }
}

// Opening must neither hang on a FIFO without writer nor stream from a device.
TEST_F(FProc, OpenReadRefusesWhatIsNotARegularFile)
{
    const QString fifo = path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &name :
         {fifo, QStringLiteral("/dev/zero"), m_dir.path(), path("missing"), QString()}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(fileOpenRead(name), invalidFileHandle);
        EXPECT_FALSE(isFileReadable(name));
    }
}

TEST_F(FProc, OpenReadGivesABlockingCloseOnExecHandle)
{
    const QString file = write("a.log", "hello");
    EXPECT_TRUE(isFileReadable(file));
    const FileHandle h = fileOpenRead(file);
    ASSERT_NE(h, invalidFileHandle);
    EXPECT_EQ(::fcntl(h, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(h, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(fileSizeByHandle(h), 5);
    fileClose(h);
    EXPECT_EQ(fileSizeByHandle(invalidFileHandle), -1);
}

// Other programs keep writing, renaming and deleting a file that is open here.
TEST_F(FProc, OpenFileStaysReadableWhileOthersChangeIt)
{
    const QString file = write("grow.log", "one\n");
    const FileHandle h = fileOpenRead(file);
    ASSERT_NE(h, invalidFileHandle);

    write("grow.log", "one\ntwo\n"); // rewritten in place by a writer
    EXPECT_EQ(fileSizeByHandle(h), 8);
    const QString renamed = path("grow.log.1");
    ASSERT_EQ(::rename(QFile::encodeName(file).constData(), QFile::encodeName(renamed).constData()),
              0);
    EXPECT_TRUE(deleteFileByName(renamed));

    char buf[16] = {};
    qint64 got = -1;
    EXPECT_TRUE(fileReadAt(h, 4, buf, sizeof buf, &got));
    EXPECT_EQ(QByteArray(buf, int(got)), QByteArray("two\n"));
    fileClose(h);
}

TEST_F(FProc, ReadAtBoundaries)
{
    const FileHandle h = fileOpenRead(write("ten", "0123456789"));
    ASSERT_NE(h, invalidFileHandle);
    struct Case
    {
        qint64 position, count;
        bool ok;
        QByteArray expected;
    };
    const Case cases[] = {
        {0, 4, true, "0123"}, {8, 4, true, "89"}, // short read at the end is success
        {10, 4, true, ""},                        // at the end
        {50, 4, true, ""},                        // past the end
        {3, 0, true, ""},     {-1, 4, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.position);
        char buf[8] = {};
        qint64 got = -1;
        EXPECT_EQ(fileReadAt(h, c.position, buf, c.count, &got), c.ok);
        EXPECT_EQ(QByteArray(buf, int(got)), c.expected);
    }
    fileClose(h);
    char buf[4];
    qint64 got = -1;
    EXPECT_FALSE(fileReadAt(invalidFileHandle, 0, buf, 4, &got));
    EXPECT_EQ(got, 0);
}

TEST_F(FProc, ReadsPastFourGiBInASparseFile)
{
    const QString file = path("sparse");
    const QByteArray native = QFile::encodeName(file);
    const qint64 size = qint64(5) << 30;
    const qint64 at = (qint64(4) << 30) + 5;
    {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        if (::ftruncate(fd, off_t(size)) != 0) {
            ::close(fd);
            GTEST_SKIP() << "file system refuses a 5 GiB sparse file";
        }
        ASSERT_EQ(::pwrite(fd, "MARK", 4, off_t(at)), 4);
        ::close(fd);
    }
    const FileHandle h = fileOpenRead(file);
    ASSERT_NE(h, invalidFileHandle);
    EXPECT_EQ(fileSizeByHandle(h), size);
    EXPECT_EQ(fileSizeByName(file), size);
    char buf[6] = {};
    qint64 got = 0;
    ASSERT_TRUE(fileReadAt(h, at - 1, buf, 6, &got));
    EXPECT_EQ(QByteArray(buf, int(got)), QByteArray("\0MARK\0", 6));
    ASSERT_TRUE(fileReadAt(h, size - 2, buf, 6, &got));
    EXPECT_EQ(got, 2);
    fileClose(h);
}

TEST_F(FProc, isFileUnicode)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        bool expected;
    };
    const Case cases[] = {
        {"le",
         QByteArray("\xFF\xFE"
                    "a\0",
                    4),
         true},
        {"be", QByteArray("\xFE\xFF\0a", 4), true},
        {"bom only", QByteArray("\xFF\xFE"), true},
        {"utf8 bom",
         QByteArray("\xEF\xBB\xBF"
                    "a"),
         false},
        {"one byte", QByteArray("\xFF"), false},
        {"empty", QByteArray(), false},
        {"reversed pair", QByteArray("\xFE\xFE"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const FileHandle h = fileOpenRead(write(c.name, c.bytes));
        ASSERT_NE(h, invalidFileHandle);
        EXPECT_EQ(isFileUnicode(h), c.expected);
        fileClose(h);
    }
    EXPECT_FALSE(isFileUnicode(invalidFileHandle));
}

TEST_F(FProc, SizesAndTimesByName)
{
    const QString file = write("t.log", "12345");
    timespec times[2];
    times[0] = {1'600'000'000, 111'222'333}; // access
    times[1] = {1'700'000'000, 444'555'666}; // modification
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);

    qint64 size = -1, time = -1;
    EXPECT_TRUE(fileInfoByName(file, &size, &time));
    EXPECT_EQ(size, 5);
    EXPECT_EQ(time, 1'700'000'000'444'555'666LL);
    EXPECT_EQ(fileSizeByName(file), 5);

    const FileSnapshot snap = fileSnapshotByName(file);
    EXPECT_TRUE(snap.exists);
    EXPECT_EQ(snap.size, 5);
    EXPECT_EQ(snap.lastWrite, 1'700'000'000'444'555'666LL);
    EXPECT_EQ(snap.lastAccess, 1'600'000'000'111'222'333LL);
    EXPECT_TRUE(S_ISREG(snap.attributes));
    EXPECT_GT(snap.creation, 0);

    size = time = -1;
    EXPECT_FALSE(fileInfoByName(path("missing"), &size, &time));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(time, 0);
    EXPECT_EQ(fileSizeByName(path("missing")), -1);
    EXPECT_FALSE(fileSnapshotByName(path("missing")).exists);

    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(m_dir.path()).constData(), &st), 0);
    EXPECT_EQ(fileSizeByName(m_dir.path()), qint64(st.st_size));
    EXPECT_TRUE(S_ISDIR(fileSnapshotByName(m_dir.path()).attributes));
}

TEST_F(FProc, deleteFileByName)
{
    const QString file = write("gone.log", "x");
    EXPECT_TRUE(deleteFileByName(file));
    EXPECT_FALSE(isFileExist(file));
    EXPECT_FALSE(deleteFileByName(file));
    EXPECT_FALSE(deleteFileByName(m_dir.path()));
    EXPECT_FALSE(deleteFileByName(QString()));
}

TEST_F(FProc, NamesOutsideAscii)
{
    const QString file = write(QString::fromUtf8("журнал ü.log"), "abc");
    EXPECT_TRUE(isFileExist(file));
    EXPECT_EQ(fileSizeByName(file), 3);
    EXPECT_TRUE(isFileReadable(file));
}

// A name's bytes as a string for the table below: each byte that is no
// part of valid UTF-8 is the lone surrogate U+DC00 + byte.
QString escaped(std::initializer_list<char16_t> units)
{
    return QString(reinterpret_cast<const QChar *>(units.begin()), qsizetype(units.size()));
}

TEST(FileNames, EveryByteSurvivesTheWayThroughAString)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString Decoded;
        QString shown;
    };
    const QString fffd(QChar::ReplacementCharacter);
    const Case cases[] = {
        {"ASCII", "a.log", "a.log", "a.log"},
        {"UTF-8 letters", "\xD0\xB6\xC3\xA9", QString::fromUtf8("жé"), QString::fromUtf8("жé")},
        {"four-byte character", "\xF0\x9F\x98\x80", QString::fromUtf8("\xF0\x9F\x98\x80"),
         QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"Latin-1 byte", "bad\xFFname", escaped({'b', 'a', 'd', 0xDCFF, 'n', 'a', 'm', 'e'}),
         "bad" + fffd + "name"},
        {"sequence cut at the end", "a\xC3", escaped({'a', 0xDCC3}), "a" + fffd},
        {"lead byte before ASCII", "\xC3(", escaped({0xDCC3, '('}), fffd + "("},
        {"overlong slash", "\xC0\xAF", escaped({0xDCC0, 0xDCAF}), fffd + fffd},
        {"encoded surrogate", "\xED\xA0\x80", escaped({0xDCED, 0xDCA0, 0xDC80}),
         fffd + fffd + fffd},
        {"above U+10FFFF", "\xF4\x90\x80\x80", escaped({0xDCF4, 0xDC90, 0xDC80, 0xDC80}),
         fffd + fffd + fffd + fffd},
        {"valid next to invalid", "\xC3\xA9\xE9", escaped({0xE9, 0xDCE9}), QChar(0xE9) + fffd},
        // U+FEFF is a character of the name wherever it stands, never a
        // byte-order mark to drop.
        {"U+FEFF first",
         "\xEF\xBB\xBF"
         "a",
         escaped({0xFEFF, 'a'}), QChar(0xFEFF) + QString("a")},
        {"U+FEFF after an invalid byte", "\xEF\xEF\xBB\xBF\xBB", escaped({0xDCEF, 0xFEFF, 0xDCBB}),
         fffd + QChar(0xFEFF) + fffd},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString decoded = fileNameFromBytes(c.bytes);
        EXPECT_EQ(decoded, c.Decoded);
        EXPECT_EQ(fileNameToBytes(decoded), c.bytes);
        EXPECT_EQ(displayFileName(decoded), c.shown);
    }
    // A surrogate that stands for no byte cannot be written as one.
    EXPECT_EQ(fileNameToBytes(escaped({'a', 0xD800, 'b'})), "a\xEF\xBF\xBD"
                                                            "b");
    EXPECT_EQ(fileNameToBytes(escaped({0xDC41})), "\xEF\xBF\xBD");
}

TEST_F(FProc, NamesThatAreNotUtf8NameTheirOwnFile)
{
    // The lossy reading of the name is another, existing file: it must not
    // be the one found.
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray raw = folder + "/bad\xFFname.log";
    const QByteArray lookalike = folder + "/bad\xEF\xBF\xBDname.log";
    for (const auto &[path, data] : {std::pair{raw, QByteArray("12345")}, {lookalike, "1"}}) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
        ::close(fd);
    }
    const QString name = fileNameFromBytes(raw);
    EXPECT_TRUE(isFileExist(name));
    EXPECT_TRUE(isRegularFile(name));
    EXPECT_EQ(fileSizeByName(name), 5);
    const FileHandle handle = fileOpenRead(name);
    ASSERT_NE(handle, invalidFileHandle);
    EXPECT_EQ(fileSizeByHandle(handle), 5);
    fileClose(handle);
    EXPECT_TRUE(deleteFileByName(name));
    EXPECT_FALSE(isFileExist(name));
    EXPECT_EQ(fileSizeByName(fileNameFromBytes(lookalike)), 1) << "the look-alike is untouched";
}

TEST_F(FProc, AbsoluteNamesComeFromTheCurrentFolderAsBytes)
{
    const QByteArray folder = QFile::encodeName(m_dir.path()) + "/cwd\xFF";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(folder.constData()), 0);
    const QString here = fileNameFromBytes(folder);
    struct Case
    {
        QString name;
        QString absolute;
    };
    const Case cases[] = {
        {"a.log", here + "/a.log"},
        {"./x/../a.log", here + "/a.log"},
        {"/var//log/./a.log", "/var/log/a.log"},
        {"", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(absoluteFileName(c.name), c.absolute);
    }
    ASSERT_EQ(::chdir(saved), 0);
}

TEST_F(FProc, ANameADialogShowsLeadsBackToItsFile)
{
    // A dialog shows every byte that is not UTF-8 as U+FFFD; that name is
    // matched against the folder's entries as the dialog shows them.
    const QByteArray folder = QFile::encodeName(m_dir.path());
    for (const QByteArray &name : {QByteArray("/one\xFF.log"), QByteArray("/two\xFE.log"),
                                   QByteArray("/two\xFD.log"), QByteArray("/sub\xFF")}) {
        if (name.startsWith("/sub"))
            ASSERT_EQ(::mkdir((folder + name).constData(), 0700), 0);
        else
            ASSERT_EQ(::close(::open((folder + name).constData(), O_WRONLY | O_CREAT, 0644)), 0);
    }
    ASSERT_EQ(
        ::close(::open((folder + "/sub\xFF/in\xFF.log").constData(), O_WRONLY | O_CREAT, 0644)), 0);
    const QString fffd(QChar::ReplacementCharacter);
    const QString dir = m_dir.path();
    struct Case
    {
        const char *name;
        QString shown;
        QString meant;
    };
    const Case cases[] = {
        {"one file looks so", dir + "/one" + fffd + ".log",
         fileNameFromBytes(folder + "/one\xFF.log")},
        {"a folder and its file", dir + "/sub" + fffd + "/in" + fffd + ".log",
         fileNameFromBytes(folder + "/sub\xFF/in\xFF.log")},
        {"two files look so: neither is taken", dir + "/two" + fffd + ".log",
         dir + "/two" + fffd + ".log"},
        {"no file looks so", dir + "/none" + fffd + ".log", dir + "/none" + fffd + ".log"},
        {"a plain name", dir + "/plain.log", dir + "/plain.log"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fileNameFromDisplayed(c.shown), c.meant);
    }
}

} // namespace
