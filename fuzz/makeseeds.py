#!/usr/bin/env python3
"""Writes the named seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Each target's input begins with a few bytes of sizes and flags (see the
comment at the top of its source); the seeds below spell those out and
carry real-looking log lines in the encodings the targets read.

    python3 fuzz/makeseeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Entries of the code page list, by Windows code page number.
PAGE = {0: 0, 437: 38, 1250: 3, 1251: 45, 1252: 10, 1253: 56, 1255: 89, 1256: 81,
        866: 53, 20866: 49, 28591: 27, 874: 127, 54936: 96, 936: 97, 950: 102, 932: 112,
        51932: 113, 50220: 115, 50221: 116, 50222: 117, 949: 120, 51949: 121,
        50225: 123, 1361: 124, 50227: 100, 65001: 130, 1143: 16, 57004: 73}
PAGES = 132
UTF16LE, UTF16BE = PAGES, PAGES + 1

# Log lines, each with the Python codec and list entry of a page that holds it.
LOGS = [
    ("utf8-iso", "utf-8", 0,
     "2026-12-09T10:30:15.123+01:00 ERROR [main] Verbindung zu Gerät fehlgeschlagen\n"
     "2026-12-09T10:30:16.001+01:00 INFO  [main] Neuer Versuch in 5 s\n"),
    ("1252-syslog", "cp1252", PAGE[1252],
     "Dec  9 10:30:15 host app[42]: Échec de la connexion à «db01»\n"
     "Dec  9 10:30:17 host app[42]: connexion rétablie\n"),
    ("sjis", "cp932", PAGE[932],
     "2026-12-09 10:30:16 WARN 接続がタイムアウトしました ソース=ﾃｽﾄ\n"),
    ("gbk", "gbk", PAGE[936], "2026-12-09 10:30:17 INFO 服务已启动 端口=8080\n"),
    ("gb18030", "gb18030", PAGE[54936], "2026-12-09 10:30:17 INFO 服务 € 𠀀 已启动\n"),
    ("big5", "big5", PAGE[950], "[09/Dec/2026:10:30:18 +0800] 連線錯誤 代碼=7\n"),
    ("euckr", "euc_kr", PAGE[51949], "Dec  9 10:30:18 host app: 연결 오류 재시도\n"),
    ("eucjp", "euc_jp", PAGE[51932], "2026-12-09 10:30:19 エラー: ディスクがいっぱいです\n"),
    ("iso2022jp", "iso2022_jp", PAGE[50220], "2026-12-09 10:30:20 ERROR 接続失敗 host=a\n"),
    ("iso2022kr", "iso2022_kr", PAGE[50225], "2026-12-09 10:30:21 오류 발생\n"),
    ("koi8r", "koi8_r", PAGE[20866], "2026-12-09 10:30:22 ОШИБКА: диск заполнен\n"),
    ("1251", "cp1251", PAGE[1251], "2026-12-09 10:30:22 ОШИБКА: диск заполнен\n"),
    ("oem866", "cp866", PAGE[866], "1765276222 Ошибка чтения блока 7\n"),
    ("1253", "cp1253", PAGE[1253], "2026-12-09 10:30:23 ΣΦΑΛΜΑ σύνδεσης\n"),
    ("1255", "cp1255", PAGE[1255], "2026-12-09 10:30:23 שגיאה בחיבור\n"),
    ("utf16le", "utf-16-le", UTF16LE, "2026-12-09 10:30:24 ERROR ünïcödé 𝄞 line\r\n"),
    ("utf16be", "utf-16-be", UTF16BE, "2026-12-09 10:30:24 error UNICODE line\n"),
]


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def plain(flags, page, block, text, data):
    t = text.encode("utf-8")
    assert 1 <= len(t) <= 12
    return bytes([flags]) + struct.pack(">H", page) + bytes([block, len(t) - 1]) + t + data


def plain_seeds():
    target = "fuzz_plain_search"
    for name, codec, page, log in LOGS:
        words = log.split()
        needle = next(w for w in words[2:] if not w.isascii() or w.isalpha())[:6]
        write(target, "log-" + name, plain(0, page, 24, needle.lower(), log.encode(codec)))
        write(target, "words-" + name, plain(3, page, 40, needle, (log * 2).encode(codec)))
    write(target, "caseless-1252", plain(0, PAGE[1252], 16, "Féte", b"ETE \xc9t\xc9 \xe9t\xe9"))
    write(target, "gb18030-digit", plain(0, PAGE[54936], 8, "0", b"0\x810\x810 0"))
    write(target, "iso2022jp-kanji", plain(3, PAGE[50220], 8, "!0",
                                           b"\x1b$B0!0!0!\n!0\x1b(B !0"))
    write(target, "iso2022kr-shift", plain(1, PAGE[50225], 8, " !",
                                           b"\x1b$)C\x0e!!\x0f!\x0e!\n!"))
    write(target, "oem", plain(1, PAGE[437], 8, "ab", b"xab\x82ab ab"))
    write(target, "sjis-small-ya-run", plain(1, PAGE[932], 8, "ャ",
                                             b"\x83" * 36 + b"A."))
    write(target, "utf16", plain(0, UTF16LE, 8, "aa", "aaa aA ab".encode("utf-16-le")))
    write(target, "utf8-replacement", plain(1, PAGE[0], 8, "\ufffdx",
                                            b"ab\xef\xbf\xbdx\xc3\xa9x\xffx"))
    write(target, "words-utf8", plain(3, PAGE[0], 8, "foo",
                                      b"fooa foo-bar foo_bar afoo foo"))


def regex(fill, overlap, read, flags, pattern, text):
    return bytes([fill - 1, overlap, read - 1, flags]) + pattern.encode() + b"\0" + text


# Flags of the regex target: the input (0 UTF-8, 1 OEM, 2 UTF-16 LE, 3 BE),
# then caseless, dotall, multiline, two bits of carried length (0: 1 MiB,
# 1: none, 2: 2, 3: 7 bytes) and U+FFFD for bytes that do not decode.
CASELESS, DOTALL, MULTILINE, NO_CARRY = 4, 8, 16, 32


def regex_seeds():
    target = "fuzz_regex_stream"
    iso = "2026-12-09T10:30:15.123+01:00 ERROR [main] Verbindung zu Gerät fehlgeschlagen\n" \
          "2026-12-09T10:30:16.001+01:00 INFO  [main] Neuer Versuch in 5 s\n"
    write(target, "log-utf8", regex(7, 3, 5, CASELESS, r"error.*ger\S+t", iso.encode()))
    write(target, "log-utf16le", regex(5, 2, 9, 2 | MULTILINE, r"^\d{4}-\d\d-\d\dT[\d:.]+",
                                       iso.encode("utf-16-le")))
    write(target, "log-utf16be-carry", regex(4, 1, 3, 3 | NO_CARRY, r"INFO +\[\w+\]",
                                             iso.encode("utf-16-be")))
    write(target, "log-oem", regex(6, 0, 4, 1 | CASELESS, "ошибка|блок",
                                   "1765276222 Ошибка чтения блока 7\n".encode("cp866")))
    # A long candidate taken up afresh fails, and a later start goes on.
    write(target, "fresh-later-start", regex(6, 2, 47, 2 | NO_CARRY, "...!",
                                             "一二三四é五六七!一".encode("utf-16-le")))
    # A long candidate's step must not end after a line break: "$" matched there.
    write(target, "step-before-line-break", regex(6, 2, 47, 2 | NO_CARRY, "...$",
                                                  "一éa\n一一".encode("utf-16-le")))


SETTINGS = """\ufeff[Font]\r
Name=DejaVu Sans Mono\r
Size=11\r
Color=$FF000008\r
[Opt]\r
MaxLen=4096\r
TabSize=4\r
ReloadTime=9\r
GutterLinesBuf=-1\r
Wrap=1\r
[Window]\r
Left=-32000\r
Width=1200\r
Max=1\r
""".encode()

SESSION = """[Tabs]
Num=5
Active=3
0=/var/log/syslog
1=/var/log/caf\xe9.log
3="/home/me/quoted name.log"
9=/ignored/beyond/num
[Nicks]
0=system
3=  padded caption  
[Commands]
2=journalctl -f -u nginx
4=   
[Encodings]
0=65001
3=0x3A8
[Panes]
Text0=ERROR|WARN
Flags0=31
Ratio0=2000
[SessHistory]
0=/home/me/a.rss
1=/HOME/ME/A.RSS
2=/home/me/b.rss
"""


def settings_seeds():
    target = "fuzz_settings"
    write(target, "settings", bytes([4]) + SETTINGS)
    write(target, "session", bytes([5]) + SESSION.encode("latin-1"))
    write(target, "session-no-active", bytes([0]) + SESSION.encode("utf-8"))


def line_index_seeds():
    target = "fuzz_line_index"
    log = LOGS[0][3] + "no break at the end"
    write(target, "utf8-lf", bytes([0, 16, 7, 3]) + log.encode())
    write(target, "crlf-cut", bytes([0, 4, 3, 4]) + log.replace("\n", "\r\n").encode())
    write(target, "cr-only", bytes([0, 1, 1, 2]) + b"a\rb\r\rc\r\n\r")
    write(target, "utf16le", bytes([1, 8, 5, 3]) + log.replace("\n", "\r\n").encode("utf-16-le"))
    write(target, "utf16be", bytes([2, 2, 2, 4]) + "\u0d0a\u0a0d\r\nx\r".encode("utf-16-be"))


def command_line_seeds():
    target = "fuzz_command_line"
    lines = {
        "files-and-options": ["--new-window", "/var/log/syslog", "--config", "my.ini", "-"],
        "commands": ["--command", "ssh host tail -F /var/log/syslog", "--command=journalctl -f"],
        "dashes": ["-style", "fusion", "--", "-", "--help", "-file"],
        "errors": ["--config=", "--command", " ", "--bogus", "--config"],
        "toolkit": ["-platform", "offscreen", "--geometry=10x10", "-reverse", "caf\u00e9.log"],
    }
    for name, args in lines.items():
        write(target, name, b"".join(a.encode() + b"\0" for a in args))


def time_seek_seeds():
    target = "fuzz_time_seek"
    steps = bytes([1, 2, 3, 0x80, 0x21, 0x42, 0x63, 0x85, 4, 5, 0x26, 0x47] * 20)
    # page (bits 0-2: UTF-8, 1252, 932, 936, UTF-16 LE, BE) and window (4 KiB
    # shifted left by the rest modulo 3), shape (bit 0: CR LF; padding),
    # repeats, the time asked for, steps.
    write(target, "utf8-middle", bytes([0 | 2 << 3, 40, 3, 0x20, 0x00]) + steps)
    write(target, "utf16le-crlf", bytes([4 | 4 << 3, 21, 2, 0x40, 0x00]) + steps)
    write(target, "sjis-after-last", bytes([2 | 1 << 3, 60, 4, 0xff, 0xff]) + steps)
    write(target, "1252-before-first", bytes([1 | 8 << 3, 0, 8, 0, 0]) + steps)
    write(target, "gbk-untimed", bytes([3 | 3 << 3, 9, 16, 0x10, 0]) + bytes([0x80, 0x90] * 40))


def matching_lines_seeds():
    target = "fuzz_matching_lines"

    def filt(flags, page, text, log):
        t = text.encode()
        return bytes([flags]) + struct.pack(">H", page) + bytes([len(t)]) + t + log

    # flags: 1 case kept, 2 whole words, 4 regex, 8 inverted
    for name, codec, page, log in LOGS:
        write(target, "plain-" + name, filt(0, page, "error", log.encode(codec)))
        write(target, "regex-" + name, filt(4, page, r"^\d{4}-.*(ERROR|WARN)", log.encode(codec)))
        write(target, "inverted-" + name, filt(8 | 2, page, "INFO", log.encode(codec)))
    write(target, "iso2022jp-kanji-bytes", filt(5, PAGE[50220], "0!", b"\x1b$B0!\x1b(B x\n0! y\n"))
    write(target, "crlf-tail-cr", filt(0, PAGE[0], "x", b"a x\r\nb\rx\r"))
    # A word ends at a line break byte whatever the page reads in it.
    write(target, "words-ebcdic-break", filt(2 | 8, PAGE[1143], "foo",
                                             b"\x86\x96\x96\n\x81\n\x86\x96\x96\n"))
    write(target, "words-iscii-swallowed-cr", filt(2 | 8, PAGE[57004], "foo",
                                                   b"x\xf0\xd7\rfoo\nxfoo\n"))


def timestamp_seeds():
    target = "fuzz_timestamp"
    lines = {
        "iso-zone": "2026-12-09T10:30:15.123+01:00 ERROR [main] x",
        "iso-space-comma": "[2026-12-09 10:30:15,123] INFO x",
        "iso-z": "2026-02-28T23:59:59Z end",
        "iso-bad-day": "2026-02-30T10:00:00 never",
        "syslog": "Dec  9 10:30:15 host app[42]: x",
        "clf": '127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] "GET / HTTP/1.0" 200',
        "unix-ms": "1765276215123 x",
        "unix-s": "1765276215 x",
    }
    for name, line in lines.items():
        write(target, name, struct.pack(">H", 126) + bytes([11]) + line.encode())


def spool_seeds():
    target = "fuzz_spool"
    for name, codec, page, log in LOGS[:4]:
        write(target, "log-" + name, log.encode(codec))


if __name__ == "__main__":
    plain_seeds()
    regex_seeds()
    settings_seeds()
    line_index_seeds()
    command_line_seeds()
    time_seek_seeds()
    matching_lines_seeds()
    timestamp_seeds()
    spool_seeds()
