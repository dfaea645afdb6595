#include "text/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class AtomicFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString pathOf(const QString &name) const { return m_dir.filePath(name); }

    static void put(const QString &path, const QByteArray &data)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(data), data.size());
    }

    static QByteArray get(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    // Everything in the folder, hidden temporary files included.
    QStringList entries() const
    {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
};

TEST_F(AtomicFileTest, CreatesAndReplacesFilesWithExactlyTheData)
{
    const QByteArray binary("\x00\xFF\r\n\x1A", 5);
    const QByteArray contents[] = {"first", "", binary, QByteArray(3 << 20, 'x')};
    const QString path = pathOf(QStringLiteral("data.bin"));
    for (const QByteArray &data : contents) {
        SCOPED_TRACE(data.size());
        QString error = QStringLiteral("stale");
        ASSERT_TRUE(writeFileAtomically(path, data, &error));
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(get(path), data);
        EXPECT_EQ(entries(), QStringList({"data.bin"}));
    }
}

// A write that the file system refuses half-way (here a file size limit, as
// a full disk would) reports failure and leaves the old file as it was.
TEST_F(AtomicFileTest, FailedWriteKeepsTheOldFileAndReportsWhy)
{
    const QString path = pathOf(QStringLiteral("keep.txt"));
    const QByteArray old(100, 'o');
    put(path, old);

    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool ok = writeFileAtomically(path, QByteArray(1000, 'n'), &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(get(path), old);
    EXPECT_EQ(entries(), QStringList({"keep.txt"}));
}

TEST_F(AtomicFileTest, PathsThatCannotBeReplacedFailWithoutHarm)
{
    ASSERT_TRUE(QDir().mkpath(pathOf(QStringLiteral("folder/inner"))));
    const QString paths[] = {
        pathOf(QStringLiteral("folder")),        // a folder is no file
        pathOf(QStringLiteral("missing/a.txt")), // the folder must exist
    };
    for (const QString &path : paths) {
        SCOPED_TRACE(qPrintable(path));
        QString error;
        EXPECT_FALSE(writeFileAtomically(path, "data", &error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(QFileInfo(pathOf(QStringLiteral("folder/inner"))).isDir());
    EXPECT_EQ(entries(), QStringList({"folder"}));
}

TEST_F(AtomicFileTest, CrashAtAnyStepLeavesTheOldOrTheNewFile)
{
    struct Case
    {
        AtomicWriteStep step;
        bool expectNew;
    };
    const Case cases[] = {
        {AtomicWriteStep::TempCreated, false}, {AtomicWriteStep::PartWritten, false},
        {AtomicWriteStep::Written, false},     {AtomicWriteStep::Synced, false},
        {AtomicWriteStep::Renamed, true},
    };
    const QString path = pathOf(QStringLiteral("state.txt"));
    const QByteArray oldText = "old contents, long enough to be cut in half\n";
    const QByteArray newText = "new contents\n";
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.step));
        put(path, oldText);
        const AtomicWriteHook crash = [&c](AtomicWriteStep step) {
            if (step == c.step)
                throw std::runtime_error("crash");
        };
        EXPECT_THROW(writeFileAtomically(path, newText, nullptr, crash), std::runtime_error);
        EXPECT_EQ(get(path), c.expectNew ? newText : oldText);
        EXPECT_EQ(entries(), QStringList({"state.txt"}));
    }
}

TEST_F(AtomicFileTest, LinksStayAndPermissionsAreKept)
{
    ASSERT_TRUE(QDir().mkpath(pathOf(QStringLiteral("real"))));
    const QString real = pathOf(QStringLiteral("real/file.txt"));
    put(real, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    const QString middle = pathOf(QStringLiteral("middle.txt"));
    ASSERT_TRUE(QFile::link(real, middle));
    const QString link = pathOf(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(middle, link));

    ASSERT_TRUE(writeFileAtomically(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(middle).isSymLink());
    EXPECT_EQ(get(real), "new");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(pathOf(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden),
              QStringList({"file.txt"}));
}

// Every link of a chain stays a link and the file at its end is written,
// also when that file does not exist yet; what cannot be written through
// fails and changes nothing.
TEST_F(AtomicFileTest, LinksAreFollowedToTheFileAtTheirEnd)
{
    struct Link
    {
        const char *name;
        const char *target; // as stored in the link: relative to its folder, or absolute
    };
    const struct
    {
        const char *name;
        std::vector<Link> links;
        const char *written; // the file that holds the data afterwards, or nullptr: fails
    } cases[] = {
        {"a link to a file", {{"link", "real/file.txt"}}, "real/file.txt"},
        {"an absolute link", {{"link", "@/real/file.txt"}}, "real/file.txt"},
        {"a chain", {{"link", "middle"}, {"middle", "real/file.txt"}}, "real/file.txt"},
        {"a link from another folder",
         {{"real/back", "../real/file.txt"}, {"link", "real/back"}},
         "real/file.txt"},
        {"a dangling link creates the file it names", {{"link", "real/new.txt"}}, "real/new.txt"},
        {"a dangling chain", {{"link", "middle"}, {"middle", "real/new.txt"}}, "real/new.txt"},
        {"a dangling link into a missing folder", {{"link", "gone/new.txt"}}, nullptr},
        {"a loop", {{"link", "loop"}, {"loop", "link"}}, nullptr},
        {"a link to a folder", {{"link", "real"}}, nullptr},
    };
    const mode_t saved = ::umask(022);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("real"))));
        const QString real = dir.filePath(QStringLiteral("real/file.txt"));
        put(real, "old");
        ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
        for (const Link &link : c.links) {
            QByteArray target(link.target);
            if (target.startsWith('@'))
                target = QFile::encodeName(dir.path()) + target.mid(1);
            ASSERT_EQ(
                ::symlink(target.constData(),
                          QFile::encodeName(dir.filePath(QLatin1String(link.name))).constData()),
                0);
        }

        QString error;
        const bool ok =
            writeFileAtomically(dir.filePath(QStringLiteral("link")), "new", &error, {}, 0640);
        EXPECT_EQ(ok, c.written != nullptr) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), ok);
        for (const Link &link : c.links)
            EXPECT_TRUE(QFileInfo(dir.filePath(QLatin1String(link.name))).isSymLink()) << link.name;
        if (c.written) {
            const QString written = dir.filePath(QLatin1String(c.written));
            EXPECT_EQ(get(written), "new");
            struct stat st;
            ASSERT_EQ(::stat(QFile::encodeName(written).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0640u);
        }
        if (!ok) {
            EXPECT_EQ(get(real), "old");
        }
        QStringList files =
            QDir(dir.filePath(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden);
        files.removeAll(QStringLiteral("back"));
        files.removeAll(QStringLiteral("new.txt"));
        EXPECT_EQ(files, QStringList({"file.txt"})) << "no temporary file left";
    }
    ::umask(saved);
}

// A new file takes the mode it is given, less the umask; a replaced one
// keeps its own mode and owner whatever mode a new one would get.
TEST_F(AtomicFileTest, ANewFileTakesTheGivenModeAndAReplacedOneKeepsItsOwn)
{
    const struct
    {
        const char *name;
        mode_t given;
        mode_t umask;
        int existing; // the mode of a file replaced, or -1
        uid_t owner;  // of a file replaced; other owners need root
        mode_t expected;
    } cases[] = {
        {"new, given", 0640, 022, -1, 0, 0640},
        {"new, the umask narrows", 0666, 077, -1, 0, 0600},
        {"replaced, wider than given", 0600, 022, 0644, 0, 0644},
        {"replaced, narrower than given", 0666, 022, 0400, 0, 0400},
        {"replaced, set-group-id kept", 0666, 022, 02750, 0, 02750},
        {"replaced, another owner's", 0600, 022, 0664, 4321, 0664},
    };
    const QString path = pathOf(QStringLiteral("out.txt"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.owner != 0 && ::geteuid() != 0)
            continue;
        QFile::remove(path);
        if (c.existing >= 0) {
            put(path, "old");
            if (c.owner != 0) {
                ASSERT_EQ(::chown(QFile::encodeName(path).constData(), c.owner, c.owner), 0);
            }
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(c.existing)), 0);
        }
        const mode_t saved = ::umask(c.umask);
        const bool ok = writeFileAtomically(path, "new", nullptr, {}, c.given);
        ::umask(saved);
        ASSERT_TRUE(ok);
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.expected) << std::oct << (st.st_mode & 07777);
        if (c.existing >= 0) {
            EXPECT_EQ(st.st_uid, c.owner == 0 ? ::geteuid() : c.owner);
            EXPECT_EQ(st.st_gid, c.owner == 0 ? ::getegid() : c.owner);
        }
    }
}

// While it fills, the temporary file is its owner's alone: it never shows
// the data to more readers than the file it replaces had, nor a new file
// to more than the umask allows.
TEST_F(AtomicFileTest, TheTemporaryFileIsNeverWiderThanTheResult)
{
    const mode_t saved = ::umask(027);
    for (const int existing : {-1, 0600, 0644, 0400}) {
        SCOPED_TRACE(testing::Message() << std::oct << existing);
        const QString path = pathOf(QStringLiteral("settings.ini"));
        QFile::remove(path);
        if (existing >= 0) {
            put(path, "old");
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(existing)), 0);
        }
        const mode_t final = existing >= 0 ? mode_t(existing) : 0640;
        std::vector<mode_t> seen;
        const auto hook = [&](AtomicWriteStep step) {
            if (step == AtomicWriteStep::Renamed)
                return;
            for (const QString &name : entries()) {
                struct stat st;
                if (name.startsWith(QLatin1String(".settings.ini.tmp")) &&
                    ::stat(QFile::encodeName(pathOf(name)).constData(), &st) == 0)
                    seen.push_back(st.st_mode & 07777);
            }
        };
        ASSERT_TRUE(writeFileAtomically(path, "new", nullptr, hook));
        ASSERT_EQ(seen.size(), 4u) << "created, half and all written, synced";
        const mode_t filling = existing >= 0 ? final & 0600 : final;
        for (size_t i = 0; i + 1 < seen.size(); ++i)
            EXPECT_EQ(seen[i] & ~filling, 0u) << i << ": " << std::oct << seen[i];
        EXPECT_EQ(seen.back(), final) << "its mode before the rename";
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, final);
    }
    ::umask(saved);
}

} // namespace
