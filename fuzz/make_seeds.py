#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/.

The seeds are the examples the console is known to handle: answer frames,
status sequences, memory reads and writes, config.txt lines, memory-file
lines and send texts. Run it again after changing a target's input layout.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- fuzz_console_rx ------------------------------------------------------
# Header: check-box bits (16, high byte first), mode, mode parameters; then
# operations (see fuzz_console_rx.cpp).

BOX = {name: 1 << i for i, name in enumerate([
    "alarm", "auto_after_man", "man_after_auto", "auto_if_out", "disable_values",
    "filter", "test_read", "auto_timer", "keyboard", "left_right", "auto_vmin",
    "disable_square", "ascii", "even_only", "or_if_no_power"])}
REGISTERS = [127, 177, 300, 303, 311, 312, 373, 440, 441, 442, 475, 476, 491, 497,
             498, 563, 914, 2671, 12000, 12020, 12030, 14001, 14003, 14005, 19022]


def header(boxes=(), mode=0, params=b""):
    bits = 0
    for b in boxes:
        bits |= BOX[b]
    return struct.pack(">HB", bits, mode) + params


def feed(data):
    out = b""
    while data:
        chunk, data = data[:64], data[64:]
        out += bytes([len(chunk) - 1]) + chunk
    return out


def frame(command, value):
    return struct.pack(">BH", 0x0F, command) + struct.pack("<H", value & 0xFFFF)


def answer(register, value, echo=False):
    return bytes([0xF1 if echo else 0xF0, REGISTERS.index(register)]) + \
        struct.pack(">H", value & 0xFFFF)


def ticks(n):
    out = b""
    while n > 0:
        out += bytes([0xC0 + min(n, 8) - 1])
        n -= 8
    return out


def wait(seconds7):
    return bytes([0xC8 + seconds7 - 1])


def click(index):
    return bytes([0xD0 + index])


write("fuzz_console_rx", "decoder-examples", header() + feed(
    bytes.fromhex("0F01EB18FC" "0F2EF418FC" "0F81752C01" "0042" "0F01EB0F0F" "0F01F1EA03")))
write("fuzz_console_rx", "split-frames", header() + feed(bytes.fromhex("0F01")) + ticks(3) +
      feed(bytes.fromhex("F1EA03")) + feed(bytes.fromhex("0F0F0F0F0F0F0F")))

statuses = [1002, 1062, 1070, 1014, 16, 42, 28, 1050, 1056, 1044, 1048, 12, 1042, 1064, 9999, -1]
ops = b""
for s in statuses:
    ops += answer(497, s) + ticks(10)
write("fuzz_console_rx", "statuses-and-scripts",
      header(["auto_after_man", "man_after_auto", "auto_if_out"]) + ops)

write("fuzz_console_rx", "robot-modes",
      header() + b"".join(answer(300, m) for m in [0, 1, 2, 3, 4, 7, 0x0104]) +
      answer(300, 1, echo=True))

values = b"".join(answer(r, v) for r, v in [
    (177, 3000), (303, -2), (311, 40000), (312, 1), (373, 300), (440, -150), (441, 499),
    (442, 199), (475, -32768), (476, 12345), (498, 1), (563, 25), (2671, 0x1FF),
    (12000, -5), (12020, 21000), (12030, 65535), (14001, 59), (14003, 7), (14005, 23),
    (19022, 1), (127, 0x8000)])
write("fuzz_console_rx", "every-register", header() + values + ticks(60))

read_ops = b""
for address in (10, 11, 12):
    read_ops += ticks(1) + feed(frame(address, address * 3))
write("fuzz_console_rx", "memory-read", header(mode=1, params=struct.pack(">hb", 10, 2)) + read_ops)
write("fuzz_console_rx", "memory-read-even-filter",
      header(["even_only", "filter", "ascii"], mode=1, params=struct.pack(">hb", 5, 5)) +
      bytes([0xEF, 0x00, 0x01]) + b"".join(ticks(1) + feed(frame(a, v)) for a, v in
                                           [(5, 0), (6, 0xFFFB), (8, 0x41), (10, 0x0D0A)]))
write("fuzz_console_rx", "memory-read-lost-answer",
      header(mode=1, params=struct.pack(">hb", 32766, 1)) + ticks(9) + answer(497, 1014))

mem_file = ("  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;\r\n7 ; -2\r\n\r\nabc\r\n"
            "32768 ; 1\r\n32767;65535\n")
write("fuzz_console_rx", "memory-write",
      header(mode=2, params=bytes([len(mem_file)]) + mem_file.encode()) +
      b"".join(ticks(1) + feed(frame(0x8064, 0x0141)) for _ in range(7)))
write("fuzz_console_rx", "memory-write-test-read",
      header(["test_read"], mode=2, params=bytes([len(mem_file)]) + mem_file.encode()) +
      ticks(8))
go_file = "  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;\r\n"
write("fuzz_console_rx", "go-trigger",
      header() + bytes([0xEE, len(go_file)]) + go_file.encode() + b"\xEB" + ticks(60))

write("fuzz_console_rx", "alarms",
      header(["alarm", "or_if_no_power"]) + answer(497, 1014) + wait(7) + answer(475, 300) +
      answer(914, 6) + answer(914, 0) + answer(914, 0) + wait(7) +
      b"".join(answer(491, -6000) for _ in range(6)) + answer(491, 100))
write("fuzz_console_rx", "pulse-charge",
      header(["auto_timer", "auto_vmin"]) + answer(497, 1056) + answer(491, -200) +
      answer(12020, 20000) + wait(8))
write("fuzz_console_rx", "keyboard-and-buttons",
      header(["keyboard"]) + bytes(range(0xE4, 0xEB)) + b"".join(click(i) for i in range(16)) +
      bytes([0xE0, 0xE1, 0xE2, 0xE3, 0xEC]) + ticks(4) + bytes([0xEC]))
write("fuzz_console_rx", "read-then-write",
      header() + bytes([0xED, 0x00, 0x64, 0x01]) + click(0) + ticks(2) +
      feed(frame(100, 0x0141) + frame(101, 7)) + click(1) + ticks(3))

# ---- fuzz_config ----------------------------------------------------------

config_examples = {
    "timer": "[SCHEDULER_TIMER]500\r\n",
    "timer-blank": "[SCHEDULER_TIMER] 500\r\n",
    "timer-unit": "[SCHEDULER_TIMER]500ms\r\n",
    "word-in-front": "word [SCHEDULER_TIMER]700\r\n",
    "bracket-order": "]x[SCHEDULER_TIMER]1\r\n",
    "lower-case": "[scheduler_timer]500\r\n",
    "presence-zero": "[NO_SPLASH_DIALOG]0\r\n",
    "empty-number": "[SCHEDULER_TIMER]\r\n",
    "lf-only": "[SCHEDULER_TIMER]500\n[NO_SPLASH_DIALOG]\n",
    "unterminated": "[NO_SPLASH_DIALOG]\r\n[SCHEDULER_TIMER]500",
    "nul-inside": "[NO_SPLASH_DIALOG]\r\n\0[SCHEDULER_TIMER]500\r\n",
    "cp1252": "[COM3]/dev/tty\x80\xe9\x81\r\n[A B]1\r\n[]7\r\n[x]\r\n",
    "port-window": "[COMPORT]2\r\n[COMSPEED]2\r\n[COMPORT_AUTO_OPEN]1\r\n"
                   "[COMPORT_EXPERT_MODE]\r\n[COM3]/dev/ttyUSB0\r\n[COMPORT]10\r\n",
    "everything": "[NO_SPLASH_DIALOG]\r\n[MORO_EXPERT_MODE]\r\n[SCHEDULER_TIMER]250\r\n"
                  "[ALARM_TIMER]1000\r\n[PULS_CHARGE_TIMER]2\r\n[VMIN_PULS_CHARGE]21000\r\n"
                  "[ALARM_IF_NO_RESPONSE]1\r\n[DISABLE_SQUARE_CUTTING_TIMER]1\r\n"
                  "[VALUES_UPDATE_DISABLE]0\r\n[MAN_TO_AUTO]1\r\n[AUTO_TO_MAN]1\r\n"
                  "[GO_BACK]1\r\n[FILTER]1\r\n[TEST_READ]1\r\n[PULS_CHARGE]1\r\n"
                  "[PULS_CHARGE_VMIN]1\r\n[PC_KEYBOARD]1\r\n[REVERT_LEFT_RIGHT]1\r\n"
                  "[MIN_CURRENT]-300\r\n[MIN_CURRENT_TIMER]3\r\n",
    "extremes": "[SCHEDULER_TIMER]-5\r\n[ALARM_TIMER]99999999999\r\n"
                "[PULS_CHARGE_TIMER]2147483647\r\n[PULS_CHARGE]1\r\n[VALUES_UPDATE_DISABLE]1\r\n"
                "[SCHEDULER_TIMER]+0\r\n[MIN_CURRENT]-2147483648\r\n",
}
for name, text in config_examples.items():
    write("fuzz_config", name, text)

# ---- fuzz_memory_line -----------------------------------------------------

for i, line in enumerate([
        "  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;",
        "  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;A",
        "    5 ;     -5 ; 65531 ; FFFB ; FF ; FB ;",
        "7 ; -2", "7;-2", "32767 ; -32768 trailing", "7 ; 65535", "",
        "abc", "32768 ; 1", "-1 ; 1", "7 ; 65536", "+7\t;\t+2", "99999999999999 ; 1"]):
    write("fuzz_memory_line", "line-%02d" % i, line)

# ---- fuzz_send_text -------------------------------------------------------

for i, text in enumerate(["0F36B10000", "0F01EB18FC", "0f3", "aBcDeF", "", "0",
                          "0G", "0F 36", "+1", "A" * 2049, "A" * 2050]):
    write("fuzz_send_text", "text-%02d" % i, text)

# ---- fuzz_telnet_stream ---------------------------------------------------
# Split count, piece lengths, then what a bridge sends.

IAC, SB, SE, WILL, WONT, DO, DONT = 255, 250, 240, 251, 252, 253, 254


def sub(*parameters):
    body = bytes(parameters).replace(b"\xff", b"\xff\xff")
    return bytes([IAC, SB, 44]) + body + bytes([IAC, SE])


for name, splits, stream in [
        ("ser2net-greeting", [3, 1, 2], bytes([IAC, DO, 44, IAC, WILL, 0, IAC, DO, 3, IAC, WILL, 3])),
        ("answers", [7, 5, 9], sub(101, 0, 0, 0x25, 0x80) + sub(102, 8) + sub(103, 1) + sub(104, 1) +
         sub(105, 1)),
        ("data-and-escapes", [1, 1, 1, 1], b"ab\xff\xffcd" + bytes([IAC, 241]) + b"\xff\xff\xff\xff"),
        ("unwanted-offers", [2, 4], bytes([IAC, WILL, 1, IAC, DO, 24, IAC, WONT, 44, IAC, DONT, 44]) * 4),
        ("sub-cut-by-command", [5], bytes([IAC, SB, 44, 101, 0, IAC, WILL, 1]) + b"tail"),
        ("long-sub", [200, 60], bytes([IAC, SB, 44]) + bytes(range(255)) * 2 + bytes([IAC, SE])),
        ("iac-at-end", [], b"data" + bytes([IAC])),
]:
    write("fuzz_telnet_stream", name, bytes([len(splits)] + splits) + stream)

# ---- fuzz_net_address -----------------------------------------------------

for i, address in enumerate([
        "tcp://127.0.0.1:4001", "rfc2217://[::1]:2217", "TCP://mower-bridge.local:23",
        "RfC2217://host_name:65535", "tcp://host:0", "tcp://host:65536", "tcp://[::1]",
        "tcp://[fe80::1%eth0]:1", "tcp://:1", "rfc2217://a:b", "tcp://a:00001", "udp://a:1"]):
    write("fuzz_net_address", "address-%02d" % i, address)

# ---- fuzz_log_line --------------------------------------------------------
# Data-log lines as the console writes them, one per seed, and a short log.

DATA = "05/03/2026;09:07:03; 1002;-1700;21;25100;1800; -12;1;   77;    0;    0;    0;"
log_lines = {
    "data": DATA,
    "status": "05/03/2026;09:08:03; 1014; 1800;21;25200;1810;   0;0;    0;    0;    0;    0;=> Charging : 1014",
    "alarm": "05/03/2026;09:09:03; 1014; 1800;21;25200;1810;   0;0;    0;    0;    0;    0;ALARM !!",
    "script": "05/03/2026;09:10:03; 1062;  -20;22;24900;1790;  40;1;  120;12030;  127;    3;"
              "=>  Following boundary wire => SCRIPT2 toggle MAN/AUTO, AutoToManDisabled,Vmin=24000 ",
    "pulse": "05/03/2026;09:11:03; 1014; 2500;23;25600;1900;   0;0;    0;    0;    0;    0;puls charge \xe9",
    "bad-date": "31/02/2026;00:00:00;0;0;0;0;0;0;0;0;0;0;0;",
    "log": DATA + "\r\n" + DATA.replace("09:07:03", "09:08:03") + "\n"
           + DATA.replace("2026", "2099") + "\r" + "26/10/2025;02:30:00;0;0;0;0;0;0;0;0;0;0;0;\r\n"
           + DATA.replace("09:07:03", "09:09:03"),
}
for name, text in log_lines.items():
    write("fuzz_log_line", name, text)
