#!/usr/bin/env python3
"""Appends realistic log lines to a file a few times a second, until killed.

    append-log.py PATH [LINES_PER_SECOND]
"""
import datetime
import random
import sys
import time

LEVELS = ["INFO"] * 6 + ["DEBUG"] * 2 + ["WARNING", "ERROR"]
COMPONENTS = ["http.server", "db.pool", "auth", "cache", "scheduler", "mailer"]
MESSAGES = {
    "INFO": ["request GET /api/orders/{n} completed in {ms} ms", "user {n} signed in",
             "job {n} finished", "cache refreshed: {n} entries"],
    "DEBUG": ["pool stats: active={a} idle={b}", "heartbeat {n} ok"],
    "WARNING": ["slow query took {ms} ms", "retrying delivery, attempt {a}",
                "disk usage at {a}%"],
    "ERROR": ["upstream timeout after {ms} ms (request {n})",
              "failed to connect to db-{a}.internal: connection refused",
              "unhandled exception in worker {a}: KeyError: 'order_id'"],
}


def main():
    path = sys.argv[1]
    rate = float(sys.argv[2]) if len(sys.argv) > 2 else 4.0
    rng = random.Random(7)
    n = 0
    while True:
        level = rng.choice(LEVELS)
        text = rng.choice(MESSAGES[level]).format(
            n=rng.randint(1, 99999), ms=rng.randint(5, 9000), a=rng.randint(1, 95), b=rng.randint(0, 20))
        stamp = datetime.datetime.now().strftime("%Y-%m-%d %H:%M:%S.%f")[:-3]
        with open(path, "a", encoding="utf-8") as f:
            f.write(f"{stamp} {level:<7} [{rng.choice(COMPONENTS)}] {text}\n")
        n += 1
        time.sleep(1.0 / rate)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
