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

// Seconds for one call of fn.
double Seconds(const std::function<void()> &fn);

// Median seconds over `runs` calls.
double MedianSeconds(int runs, const std::function<void()> &fn);

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
};

// Prints the row as "BENCH {json}" for bench/run.sh.
void Report(const Row &row);

} // namespace bench
