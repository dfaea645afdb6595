#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <vector>

namespace bench {

// The folder holding generated logs, outside the repository and reused
// between runs: $RAVELIN_BENCH_DATA, else ~/.cache/ravelin-bench.
QString DataDir();

// A generated log of at least `bytes` bytes (made once by ravelin_genlog).
QString EnsureLog(const QString &name, qint64 bytes);

// The first `bytes` bytes of source as a log of that name in DataDir(),
// made again only when its size is not right; empty on failure.
QString EnsureHeadOf(const QString &source, const QString &name, qint64 bytes);

// Seconds for one call of fn.
double Seconds(const std::function<void()> &fn);

// Median seconds over `runs` calls.
double MedianSeconds(int runs, const std::function<void()> &fn);

// Median wall and CPU seconds of this thread over `runs` calls. On a busy
// machine the wall time counts the waits for a core; the CPU time does not.
struct Times
{
    double Wall = 0;
    double Cpu = 0;
};
Times MedianTimes(int runs, const std::function<void()> &fn);

// Resident set size of this process in bytes.
qint64 ResidentBytes();

// Wall time of a shell command in seconds (for peers like grep or tail).
double CommandSeconds(const QString &command);

// One row of the final table. Lower is better unless higherIsBetter.
struct Row
{
    QString Figure;
    double Ours = 0;
    QString Unit;
    double Peer = 0; // 0: no peer figure
    QString PeerName;
    double Goal = 0; // compared against ratio when ratioGoal, else against Ours
    bool RatioGoal = false;
    QString GoalText;
    // A count whose right answer may be 0; any other 0 means nothing was measured.
    bool ZeroAllowed = false;
};

// Prints the row as "BENCH {json}" for bench/run.sh. A row whose figure is
// missing (0, negative, not a number, or a ratio without its peer) is never
// met, and makes ExitCode() fail.
void Report(const Row &row);

// Smoke mode (--smoke or RAVELIN_BENCH_SMOKE=1): tiny files and few runs,
// to prove every code path works, not to measure it. InitSmoke takes the
// flag from the command line into the environment so that children see it.
void InitSmoke(int argc, char **argv);
bool Smoke();

// A code path that did not work: reported on stderr, and the exit code fails.
void Fail(const QString &what);
int ExitCode();

} // namespace bench
