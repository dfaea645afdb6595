// Writes a deterministic, realistic log of at least the given size:
//   ravelin_genlog PATH BYTES
// The same seed gives the same bytes, so figures compare across runs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
struct Rng
{
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint64_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
};

const char *const kLevels[] = {"INFO",  "INFO",  "INFO",    "INFO",
                               "DEBUG", "DEBUG", "WARNING", "ERROR"};
const char *const kComponents[] = {"http.server", "db.pool",   "auth",
                                   "cache",       "scheduler", "mailer"};
const char *const kMessages[] = {
    "request completed in %d ms",
    "connection %d returned to pool",
    "user %d signed in from 10.0.0.1",
    "cache miss for key item:%d",
    "job %d scheduled for next run",
    "retrying delivery, attempt %d",
    "slow query took %d ms: SELECT * FROM orders WHERE id = ?",
    "upstream timeout after %d ms",
};
} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PATH BYTES\n", argv[0]);
        return 2;
    }
    const long long target = std::atoll(argv[2]);
    const std::string tmp = std::string(argv[1]) + ".part";
    FILE *f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return 1;
    // One block of 8 MiB of lines is generated and written repeatedly; the
    // sequence numbers keep every block distinct where it matters little.
    Rng rng;
    std::string block;
    long long seq = 0;
    char line[512];
    while (block.size() < (8u << 20)) {
        const uint64_t r = rng.next();
        const int h = int(seq / 3600000 % 24), m = int(seq / 60000 % 60), s = int(seq / 1000 % 60);
        const int ms = int(seq % 1000);
        char msg[256];
        std::snprintf(msg, sizeof msg, kMessages[r % 8], int(r >> 20) % 100000);
        const int n =
            std::snprintf(line, sizeof line, "2026-12-10 %02d:%02d:%02d.%03d %-7s [%s] %s\n", h, m,
                          s, ms, kLevels[(r >> 8) % 8], kComponents[(r >> 16) % 6], msg);
        block.append(line, size_t(n));
        seq += 7;
    }
    long long written = 0;
    while (written < target) {
        if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
            std::fclose(f);
            return 1;
        }
        written += (long long)block.size();
    }
    if (std::fclose(f) != 0)
        return 1;
    return std::rename(tmp.c_str(), argv[1]) == 0 ? 0 : 1;
}
