#!/usr/bin/env python3
"""Writes samples/sample.log, the log bundled with Ravelin.

The output is deterministic (fixed seed and start time), so running the
script again reproduces the committed file byte for byte. The log mixes
INFO, WARNING and ERROR lines with tab-separated fields, a few long lines
(over 300 characters, one over 1000) and a section of UTF-8 text.

Usage: scripts/make-sample-log.py [OUTPUT]   (default: samples/sample.log)
"""
import datetime
import os
import random
import sys

SEED = 20130214
LINES = 3600
START = datetime.datetime(2024, 3, 14, 8, 0, 0)

COMPONENTS = ["http", "db.pool", "auth", "scheduler", "cache", "mailer", "storage", "api.v2"]
THREADS = ["main", "worker-1", "worker-2", "worker-3", "worker-4", "io-0", "io-1", "timer"]
USERS = ["alice", "bob", "carol", "dmitri", "eleni", "fatima", "guo", "hugo"]
PATHS = ["/api/v2/orders", "/api/v2/users/{id}", "/static/app.js", "/login", "/api/v2/reports",
         "/health", "/api/v2/search?q=invoice", "/admin/settings"]

INFO = [
    "request {method} {path} -> 200 in {ms} ms",
    "user {user} signed in from 10.0.{a}.{b}",
    "cache hit ratio {ratio}% over the last minute",
    "job nightly-export step {m}/12 done",
    "connection pool: {n} active, {m} idle",
    "flushed {n} records to storage in {ms} ms",
    "scheduled task cleanup-tmp started",
    "sent notification mail to {user}@example.org",
]
WARNING = [
    "slow query took {ms} ms: SELECT * FROM orders WHERE customer_id = {n}",
    "retrying upstream call to inventory (attempt {n} of 5)",
    "disk usage on /var at {ratio}%",
    "session of {user} expired while a request was running",
    "request {method} {path} -> 429 rate limited",
]
ERROR = [
    "request {method} {path} -> 500 in {ms} ms",
    "could not connect to db-replica-{n}: connection refused",
    "unhandled exception in job nightly-export: timeout after {ms} ms",
    "checksum mismatch in block {n} of archive 2024-03-13.tar",
]

UTF8_LINES = [
    "Пользователь {user} загрузил файл «отчёт_март.xlsx» (размер {n} КБ)",
    "Ошибка проверки подписи: сертификат истёк",
    "Ο χρήστης {user} άλλαξε τη γλώσσα σε Ελληνικά",
    "Αποτυχία σύνδεσης με τον διακομιστή αρχείων",
    "用户 {user} 已登录，会话编号 {n}",
    "数据库连接超时，正在重试（第 {m} 次）",
    "ログファイルのローテーションが完了しました",
    "Café «Le Procope»: commande n° {n} réglée, crème brûlée ×{m}",
    "Señor Muñoz pidió el informe de año fiscal; ¿está listo?",
    "Größenänderung: Übersicht für Jürgen erstellt ({n} Einträge)",
    "Łódź, Kraków, Gdańsk: zsynchronizowano {n} rekordów",
]


def fill(template, rnd):
    return template.format(
        method=rnd.choice(["GET", "POST", "PUT", "DELETE"]),
        path=rnd.choice(PATHS),
        ms=rnd.randint(2, 9000),
        user=rnd.choice(USERS),
        a=rnd.randint(0, 255),
        b=rnd.randint(1, 254),
        ratio=rnd.randint(40, 99),
        n=rnd.randint(1, 9999),
        m=rnd.randint(1, 9),
    )


def stack_trace(rnd):
    frames = ["at com.example.%s.%s(%s.java:%d)" % (
        rnd.choice(["orders", "billing", "core", "net"]),
        rnd.choice(["Service.handle", "Repository.find", "Client.call", "Pool.acquire"]),
        rnd.choice(["Service", "Repository", "Client", "Pool"]),
        rnd.randint(20, 900)) for _ in range(rnd.randint(3, 6))]
    return ["\t" + f for f in frames]


def long_payload(rnd, length):
    words = []
    while sum(len(w) + 1 for w in words) < length:
        key = rnd.choice(["id", "sku", "qty", "price", "state", "region", "token", "note"])
        words.append("%s=%s" % (key, "".join(rnd.choice("abcdef0123456789") for _ in range(rnd.randint(4, 16)))))
    return "payload {" + ", ".join(words) + "}"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "samples", "sample.log")
    rnd = random.Random(SEED)
    now = START
    lines = []
    utf8_at = LINES // 2
    longest_at = LINES // 3
    for i in range(LINES):
        now += datetime.timedelta(milliseconds=rnd.randint(5, 4000))
        stamp = now.strftime("%Y-%m-%d %H:%M:%S.") + "%03d" % (now.microsecond // 1000)
        thread = rnd.choice(THREADS)
        comp = rnd.choice(COMPONENTS)
        if utf8_at <= i < utf8_at + len(UTF8_LINES) * 2:
            level = "INFO" if i % 3 else "WARNING"
            text = fill(UTF8_LINES[(i - utf8_at) % len(UTF8_LINES)], rnd)
        else:
            roll = rnd.random()
            level = "ERROR" if roll < 0.05 else "WARNING" if roll < 0.17 else "INFO"
            pool = {"INFO": INFO, "WARNING": WARNING, "ERROR": ERROR}[level]
            text = fill(rnd.choice(pool), rnd)
        if i == longest_at:
            text += " " + long_payload(rnd, 1400)
        elif rnd.random() < 0.01:
            text += " " + long_payload(rnd, rnd.randint(320, 700))
        lines.append("%s\t%s\t[%s]\t%s\t%s" % (stamp, level, thread, comp, text))
        if level == "ERROR" and rnd.random() < 0.4:
            lines.extend(stack_trace(rnd))
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
