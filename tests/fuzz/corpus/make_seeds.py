#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets next to this script, one folder per target.

The frames are replies captured from tervex-sim; the configuration files are the variants a
person or a Windows machine writes. Run it again after changing an input format.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Captured from tervex-sim (--no-pace, --seed 7).
FRAMES = {
    "measured": "0103744366532a4365520343659a244033596e4035e430403c43e243c6e94243c710b543c6ed6c"
    "440c70014418ef5b441b57b9439eeed54360cf9543845b7944215c9c4422ef644428da153f5ecdc33f70"
    "49bb3f6b84b544e05b8b4449d90c44f6930b3f68ef17424828b14365bfc640372b2b43c6f7cc98b5",
    "exception2": "018302c0f1",
    "exception6": "018306c132",
    "mainparams": "0103140015001d0001000004d207da000300000000000101f5",
    "clock": "01030e002a002f0005000b000c07ea000566b9",
    "indicator": "01030c45bb79db403a265f47373b89ab80",
    "write06": "01060210000089b7",
    "write16": "01100800000243a8",
    "remoteread": "0300e0000000803f000080bf6666a63f00000000030000803f000080bf9a99993f0000000009"
    "0000803f000080bf9a99993f9a9999bf0000803f0000803f013318",
    "infopacket": "55aa01808600e6664366000040a000154a793f4c65e13f4ba6163f4b7d943f0f819b3f119d3c"
    "3f16b6f13f4bdf3c3f4bbb573f4b25b03ef9a3e73f07c9073f09fa6f3e8c65493e47cb8f3e6a22443f0f"
    "829a3f10c47f3f15cde93f5e49733f7084b93f6baa973f04b73b3e6ecdca3f11eef43f6804663f01c77b"
    "3f4b89793f12c5d63f4b4eab",
}
F = {name: bytes.fromhex(text) for name, text in FRAMES.items()}


def crc16(data):
    r = 0xFFFF
    for b in data:
        r ^= b
        for _ in range(8):
            r = (r >> 1) ^ 0xA001 if r & 1 else r >> 1
    return bytes([r & 0xFF, r >> 8])


def write(target, name, data):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# fuzz_engine: a script of steps (see Step in fuzz_engine.cpp).
SEND, RAW, REPLY, ADVANCE, OVERLONG, TROUBLE, PAUSE, TICK, PROCEDURE = range(9)


def send(code, op, count, slave=1, start=0, extra=b""):
    return bytes([SEND, code, op, count, slave]) + struct.pack(">H", start) + extra


def raw(data, chunk=0):
    return bytes([RAW]) + struct.pack(">H", len(data)) + data + bytes([chunk])


def advance(ms):
    return bytes([ADVANCE]) + struct.pack(">H", ms)


def engine_seeds():
    read58 = send(0, 0, 58)
    flipped = bytearray(F["measured"])
    flipped[60] ^= 0x04
    remote_request = bytes([3, 0, 0xF0]) + crc16(bytes([3, 0, 0xF0]))
    own = bytes([len(remote_request) - 1]) + remote_request + struct.pack(">H", 65)
    seeds = {
        "measured_whole": read58 + raw(F["measured"]),
        "measured_chunks16": read58 + raw(F["measured"], 16),
        "measured_bytes": read58 + raw(F["measured"], 1),
        "measured_exception2": read58 + raw(F["exception2"], 2),
        "measured_exception6": read58 + raw(F["exception6"]),
        "measured_checksum_then_timeout": read58 + raw(bytes(flipped), 40) + advance(3000),
        "measured_late_after_timeout": read58 + advance(3000) + raw(F["measured"]) + read58
        + raw(F["measured"]),
        "measured_overlong": read58 + bytes([OVERLONG, 1, 1]) + F["measured"][3:],
        "mainparams_tuning": send(2, 1, 10) + raw(F["mainparams"], 7),
        "clock": send(5, 0, 7, start=0x0900) + raw(F["clock"]),
        "indicator": send(3, 0, 6, start=0x0300) + raw(F["indicator"]),
        "write06_echo": send(14, 2, 0, start=0x0210, extra=b"\x00\x00") + raw(F["write06"]),
        "write16_echo": send(16, 3, 2, start=0x0800, extra=b"\x45\xbb\x80\x00")
        + raw(F["write16"], 3),
        "remote_read": send(7, 5, 0, slave=3, extra=own) + raw(F["remoteread"], 9),
        "tick_poll": bytes([TICK, 24, 1]) + raw(F["measured"]) + advance(1000),
        "procedure_timeouts": bytes([PROCEDURE, 0, TICK, 24, 0]) + advance(20000),
        "pause_holds": read58 + bytes([PAUSE, 0, 200]) + raw(F["measured"]) + advance(250),
        "port_lost": read58 + bytes([TROUBLE, 2]) + read58 + bytes([TROUBLE, 3]) + read58
        + raw(F["measured"]),
    }
    for name, data in seeds.items():
        write("fuzz_engine", name, data)


# fuzz_inifile: key choice, value length, UTF-16LE value, then the file.
KEYS = ["Порт", "Скорость", "Паритет", "SkinName", "COM1", "COM2", "COM16"]


def ini_seed(key, value, text, number=False):
    choice = KEYS.index(key) << 1 | int(number)
    units = value.encode("utf-16-le")
    return bytes([choice, len(units) // 2]) + units + text


def inifile_seeds():
    full = (
        "; Стенд 3\n[Соединение]\nПорт=3\nСкорость=19200\nПаритет=1\n\n"
        "[Скины]\nSkinName=Wood (internal)\n\n[Порты]\nCOM1=/dev/pts/5\n# USB\n; конец\n"
    )
    hand = (
        "; настройки\r\n[ соединение ]\r\n  порт = 4 \r\nСкорость=\"4800\"\r\nПорт=9\r\n"
        "# Паритет=2\r\n[Соединение]\r\nПаритет=1\r\n"
    )
    seeds = {
        "utf8": ini_seed("Порт", "5", full.encode()),
        "utf8_new_key": ini_seed("Паритет", "2", b"[\xd0\xa1\xd0\xbe\xd0\xb5]\n" + full.encode()),
        "utf8_number": ini_seed("Скорость", "\x00\x4b\x00\x00", full.encode(), number=True),
        "crlf": ini_seed("SkinName", " x ", full.replace("\n", "\r\n").encode()),
        "bom_crlf": ini_seed("COM1", "/dev/ttyUSB0", b"\xef\xbb\xbf" + hand.encode()),
        "cp1251": ini_seed("Порт", "2", full.replace("\n", "\r\n").encode("cp1251")),
        "cp1251_cyrillic_value": ini_seed("SkinName", "Дерево ёлка", full.encode("cp1251")),
        "no_final_break": ini_seed("COM2", "/dev/pts/7", "[Порты]\nCOM1=/dev/pts/5".encode()),
        "quotes": ini_seed("SkinName", '"quoted"', '[Скины]\nSkinName=" a "\n'.encode()),
        "empty": ini_seed("Порт", "1", b""),
        "junk": ini_seed("Порт", "1", bytes.fromhex("89504e470d0a1a0a0000000d4948445208ff00fe")),
        "cut_utf8": ini_seed("Порт", "1", "; Испытания\n[Соединение]\nПорт=3\n".encode() + b"\xd0"),
    }
    for name, data in seeds.items():
        write("fuzz_inifile", name, data)


# fuzz_measured: one input serves as a reply's data area, a channel window and a packet body.
def measured_seeds():
    no_info = bytearray(F["measured"][3:-2])
    no_info[12:16] = b"\xff\xff\xff\xff"
    specials = b"".join(
        struct.pack(">f", v) for v in (float("nan"), float("inf"), -float("inf"), -0.0004, 1e9)
    )
    seeds = {
        "measured_data": F["measured"][3:-2],
        "measured_no_info": bytes(no_info),
        "measured_specials": specials + b"\x00\x03" + specials,
        "indicator_data": F["indicator"][3:-2] + b"\x00\x02",
        "info_packet": F["infopacket"],
        "info_body": F["infopacket"][5:-2],
        "info_window_shifted": F["infopacket"][40:] + F["infopacket"],
    }
    for name, data in seeds.items():
        write("fuzz_measured", name, data)


engine_seeds()
inifile_seeds()
measured_seeds()
