#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <vector>

namespace bench {

// The folder holding generated logs, outside the repository and reused
// between runs: $RAVELIN_BENCH_DATA, else ~/.cache/ravelin-bench.
QString dataDir();

// A generated log of at least `bytes` bytes (made once by ravelin_genlog).
QString ensureLog(const QString &name, qint64 bytes);

// The first `bytes` bytes of source as a log of that name in DataDir(),
// made again only when its size is not right; empty on failure.
QString ensureHeadOf(const QString &source, const QString &name, qint64 bytes);

// Seconds for one call of fn.
double seconds(const std::function<void()> &fn);

// Median seconds over `runs` calls.
double medianSeconds(int runs, const std::function<void()> &fn);

// Median wall and CPU seconds of this thread over `runs` calls. On a busy
// machine the wall time counts the waits for a core; the CPU time does not.
struct Times
{
    double wall = 0;
    double cpu = 0;
};
Times medianTimes(int runs, const std::function<void()> &fn);

// Resident set size of this process in bytes.
qint64 residentBytes();

// The number of lines `wc -l` counts in path, -1 when it cannot run.
qint64 wcLines(const QString &path);

// Wall time of a shell command in seconds (for peers like grep or tail).
double commandSeconds(const QString &command);

// One row of the final table. Lower is better unless higherIsBetter.
struct Row
{
    QString figure;
    double ours = 0;
    QString unit;
    double peer = 0; // 0: no peer figure
    QString peerName;
    double goal = 0; // compared against ratio when ratioGoal, else against Ours
    bool ratioGoal = false;
    QString goalText;
    // A count whose right answer may be 0; any other 0 means nothing was measured.
    bool zeroAllowed = false;
};

// Prints the row as "BENCH {json}" for bench/run.sh. A row whose figure is
// missing (0, negative, not a number, or a ratio without its peer) is never
// met, and makes ExitCode() fail.
void report(const Row &row);

// Smoke mode (--smoke or RAVELIN_BENCH_SMOKE=1): tiny files and few runs,
// to prove every code path works, not to measure it. InitSmoke takes the
// flag from the command line into the environment so that children see it.
void initSmoke(int argc, char **argv);
bool smoke();

// A code path that did not work: reported on stderr, and the exit code fails.
void fail(const QString &what);
int exitCode();

} // namespace bench
