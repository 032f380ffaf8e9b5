#!/usr/bin/env python3
"""Writes the seed corpora under tests/fuzz/corpus/: small, meaningful inputs for
each fuzz target (real trailers, tokens, configurations, icon groups, culture
names, report fields). Run it again after changing a seed here; inputs that the
fuzzer found and that were added by hand (crash-*) are left alone."""
import base64
import json
import pathlib
import struct
import sys

ROOT = pathlib.Path(__file__).resolve().parent
CORPUS = ROOT / "corpus"
sys.path.insert(0, str(ROOT.parent.parent / "resources"))
import pack_resource  # noqa: E402
SEP = b"\x1e"  # the field separator of the fuzz targets that take several fields

TRAILER_SIZE = 10240
HEADER = b"ZAV\xff"

# A campaign as distribution tokens carry it: login_parameters before campaign.
CAMPAIGN = {"login_parameters": "lp=4f2a9c31", "campaign": {"source": "web", "id": 7}}
CAMPAIGN_JSON = json.dumps(CAMPAIGN, separators=(",", ":")).encode()
TOKEN = base64.b64encode(CAMPAIGN_JSON)


def trailer(size_field, token=b""):
    body = HEADER + struct.pack("<i", size_field) + token
    return body + b"\0" * (TRAILER_SIZE - len(body))


def minimal_pe():
    image = bytearray(256)
    image[0:2] = b"MZ"
    image[0x3C] = 64
    image[64:68] = b"PE\0\0"
    image[84] = 0xE0
    image[88:90] = struct.pack("<H", 0x10B)
    return bytes(image)


def signed_pe():
    """minimal_pe with five data directories and a certificate table that ends the
    file: one WIN_CERTIFICATE entry holding a tiny DER SEQUENCE."""
    image = bytearray(minimal_pe()) + bytearray(64)
    image[180:184] = struct.pack("<I", 5)
    signature = b"\x30\x03\x02\x01\x05"
    entry = struct.pack("<IHH", 8 + len(signature), 0x0200, 0x0002) + signature
    entry += b"\0" * (-len(entry) % 8)
    image[216:224] = struct.pack("<II", len(image), len(entry))
    return bytes(image) + entry


def fields(*parts):
    return SEP.join(p.encode() if isinstance(p, str) else p for p in parts)


def remote_config(**windows):
    document = {
        "version": "2.0.0",
        "content": {"windows": windows},
        "webinstallerEvent": {"server_address": "events.example", "name_space": "kelvra"},
        "bases": [],
    }
    return json.dumps(document, indent=2).encode()


SHA256 = "d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592"

WINDOWS = {
    "version": "7.3.1",
    "downloadLink": "https://downloads.example/KelvraSetup.exe",
    "installerMd5": "9E107D9D372BB6826BD81D3542A419D6",
    "size": 187654321,
    "deprecated": False,
}


def icon_group_from_ico(path):
    data = path.read_bytes()
    _, kind, count = struct.unpack_from("<HHH", data)
    group = struct.pack("<HHH", 0, kind, count)
    for i in range(count):
        w, h, colours, reserved, planes, bits, size, _ = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        group += struct.pack("<BBBBHHIH", w, h, colours, reserved, planes, bits, size, i + 1)
    return group


def icon_group(*entries):
    group = struct.pack("<HHH", 0, 1, len(entries))
    for i, (side, bits, size) in enumerate(entries):
        group += struct.pack("<BBBBHHIH", side % 256, side % 256, 0, 0, 1, bits, size, i + 1)
    return group


def number(value):
    return struct.pack("<i", value)


SEEDS = {
    "token_trailer": {
        "distributed_92": minimal_pe() + trailer(len(TOKEN), TOKEN),
        "empty_token": trailer(0),
        "fills_region": trailer(TRAILER_SIZE - 8, b"A" * (TRAILER_SIZE - 8)),
        "size_10236": trailer(10236, b"B" * (TRAILER_SIZE - 8)),
        "size_10237": trailer(10237),
        "negative_size": trailer(-1),
        "header_fe": b"ZAV\xfe" + trailer(len(TOKEN), TOKEN)[4:],
        "short_region": HEADER + b"\x05\0",
        "no_trailer": minimal_pe(),
        "signed": signed_pe(),
        "signed_then_appended": signed_pe() + trailer(len(TOKEN), TOKEN),
        "zero_bytes_in_token": trailer(6, b"ab\0\0cd"),
    },
    "base64": {
        "token_92": TOKEN,
        "empty": b"",
        "one_pad": b"QUI=",
        "two_pads": b"QQ==",
        "pad_inside": b"QQ=BQUJD",
        "line_break": TOKEN[:40] + b"\r\n" + TOKEN[40:90],
        "url_alphabet": b"-_-_ab==",
        "five": b"QUJDR",
        "high_bytes": bytes(range(0x80, 0x100)),
    },
    "token_payload": {
        "token_92": TOKEN,
        "campaign_json": CAMPAIGN_JSON,
        "pretty_json": json.dumps(CAMPAIGN, indent=2).encode(),
        "nul_then_junk": CAMPAIGN_JSON + b"\0junk",
        "trailing_text": CAMPAIGN_JSON + b" x",
        "bare_string": b'"hello"',
        "numbers": b"[0,-0.0,1e308,18446744073709551615,-9223372036854775808,1.5e-7]",
        "unicode": '{"name":"Zoë 日本 \\ud83d\\ude00","esc":"\\u0000\\n"}'.encode(),
        "duplicate_keys": b'{"a":1,"a":2,"b":{"c":[true,false,null]}}',
        "token_no_json": base64.b64encode(b"not json"),
    },
    "remote_config": {
        "typical": remote_config(**WINDOWS),
        "deprecated": remote_config(**{**WINDOWS, "deprecated": True}),
        "minimal": b'{"content":{"windows":{"version":"1.0"}}}',
        "no_windows": b'{"content":{}}',
        "null_content": b'{"content":null}',
        "version_number": b'{"content":{"windows":{"version":7}}}',
        "windows_array": b'{"content":{"windows":[1,2]}}',
        "md5_not_string": b'{"content":{"windows":{"version":"1","installerMd5":5}}}',
        "deprecated_string": b'{"content":{"windows":{"version":"1","deprecated":"yes"}}}',
        "top_level_array": b'[{"content":{}}]',
        "nul_then_junk": b'{"content":{"windows":{"version":"2"}}}\0{',
        "too_large_number": b'{"content":{"windows":{"version":"1","size":1e999}}}',
        "with_sha256": remote_config(**WINDOWS, installerSha256=SHA256),
        "sha256_upper": remote_config(**WINDOWS, installerSha256=SHA256.upper()),
        "sha256_short": b'{"content":{"windows":{"installerMd5":"ab","installerSha256":"9f86d0"}}}',
        "sha256_not_hex": remote_config(**WINDOWS, installerSha256="z" * 64),
        "sha256_null": b'{"content":{"windows":{"installerSha256":null}}}',
        "sha256_number": b'{"content":{"windows":{"installerSha256":64}}}',
    },
    "icon_group": {
        "application_ico": icon_group_from_ico(ROOT.parent.parent / "resources" / "application.ico"),
        "short": (ROOT.parent / "data" / "short_icon_group.bin").read_bytes(),
        "no_images": icon_group(),
        "one_256": icon_group((256, 32, 270336)),
        "too_large": icon_group((16, 32, 0xFFFFFFFF), (32, 32, 0x10)),
        "header_only": struct.pack("<HHH", 0, 1, 3),
        "trailing_bytes": icon_group((16, 8, 296)) + b"\xff" * 7,
    },
    "packed_resource": {
        "text": pack_resource.pack(b"<configuration>\n<startup>\n</startup>\n</configuration>\n"),
        "stored_blocks": pack_resource.pack(bytes(range(256)) * 4, 0),
        "repetitive": pack_resource.pack(b"\0" * 3000),
        "empty": pack_resource.pack(b""),
        "recorded_larger": pack_resource.pack(b"ru translation")[:4] + struct.pack("<I", 15)
        + pack_resource.pack(b"ru translation")[8:],
        "cut": pack_resource.pack(b"fr translation " * 20)[:-3],
        "unpacked": b"PNG image",
    },
    "culture": {
        name.replace("-", "_") or "empty": name.encode()
        for name in ["en-US", "de-DE", "zh-TW", "zh-CHT", "zh-CHS", "zh-Hant", "zh-Hant-HK", "zh-CN", "es-MX",
                     "es-AR", "pt-BR", "pt-PT", "ja-JP", "sr-Latn-RS", "x-"]
    },
    "command_lines": {
        "campaign": fields("de-DE", "", "", "", "", "", json.dumps(CAMPAIGN), "", ""),
        "no_campaign": fields("ja-JP", "", "", "", "", "", "", "", ""),
        "product": fields("ko-KR", "1", "kelvra-42", "Kelvra Quest", "1", "1", "", "", "", "kelvra-42"),
        "product_quotes": fields("es-MX", "1", "p7", 'The "Best" Game', "1", "", "", "", "x", "a/b?c=d&e f"),
        "product_backslash": fields("en-GB", "1", "id", "Game\\", "1", "", "", "", "", "ünï cödé"),
        "launch_extra": fields("fr-FR", "", "", "", "", "", "{}", "/quiet", "C:\\Users\\Zoë\\file.txt"),
    },
    "problem_text": {
        "deprecated": fields("1.4.2.0", "2.0.0", "Microsoft Windows 7 Professional Service Pack 1", "7.3.1",
                             "https://downloads.example/KelvraSetup.exe", json.dumps(CAMPAIGN),
                             "Remote config suggests this installer is deprecated.",
                             "C:\\ProgramData\\ZAVsoft\\Kelvra\\logs\\InstallerWebinstaller.log",
                             b"\x00[2024-01-02 10:00:00] [information] Starting.\r\n",
                             "C:\\ProgramData\\ZAVsoft\\Kelvra\\logs\\InstallerBootstrapper.log",
                             b"\x05[2024-01-02 09:59:58.123] [info] Has token. Try to read it\r\n"),
        "quotes_everywhere": fields('1"', '"2', 'Win "dows"', '7\\3', 'https://x/"a"', '"', 'Error: "x"\n\t',
                                    "log", b"\xff" + "line\u2028 with quote\"\r\n".encode(), "", ""),
        "no_logs": fields("1.0", "2.0.0", "", "", "", "", "Unexpected Error", "a.log", "", "b.log", ""),
        "control_bytes": fields("\x01\x02\x7f", "\x1f", "", "", "", "\x00", "\x00bad\xffutf8".encode("latin-1")),
        # Then: token line (0 read, 1 bytes, 2 decoded), token, where its inner mark
        # goes, escaping of the login_parameters line, its value, its mark, the log after.
        "stamped": fields("1.4.2.0", "2.0.0", "Windows 10", "7.3.1", "https://downloads.example/KelvraSetup.exe",
                          json.dumps(CAMPAIGN), "Unexpected Error", "f.log",
                          b"\x00[7/1/2024 1:02:03 PM] [information] Starting.\r\n", "b.log",
                          b"\x00[2024-01-02 09:59:58.123] [fileLogger] [info] Has token. Try to read it\r\n",
                          b"\x01", CAMPAIGN_JSON + b"\n[1]]", b"\x07", b"\x01", "lp=\"4f\\2a\"", b"\x03",
                          "[2024-01-02 09:59:58.125] [fileLogger] [info] Decoded token: [{}",
                          # Then: the campaign's shape (0 as it is, 1 a marked login_parameters string,
                          # 2 an object holding one), the secret, its mark, where the token is cut (0: whole).
                          b"\x01", "lp=4f2a9c31", b"\x02", b""),
        "stamped_cut": fields("1.4.2.0", "2.0.0", "Windows 10", "7.3.1", "", json.dumps(CAMPAIGN["campaign"]),
                              "Unexpected Error", "f.log", "", "b.log", "", b"\x00", "eyJs", b"\x01", b"\x00",
                              "lp", b"\x00", "", b"\x02", "lp=\x01\"", b"\x04", b"\x80"),
    },
    "event_body": {
        "started": fields(CAMPAIGN_JSON, "7.3.1.1024", "Windows 7 Professional", "Service Pack 1",
                          "kelvra_download_started", "8d6f3a1e-0c55-4b8e-9f3a-2d1b7c9e4f10", "7.3.1",
                          number(2024), number(1), number(2), number(10), number(0), number(59), number(120),
                          "2024-01-02T10:00:59+02:00"),
        "bom_campaign": fields(b"\xef\xbb\xbf" + CAMPAIGN_JSON, "v7.3 beta", "Microsoft Windows 10 Pro", "",
                               "kelvra_download_cancelled", "uuid", "7.4", number(1999), number(12), number(31),
                               number(23), number(59), number(59), number(-330), "1999-12-31T23:59:59-05:30"),
        "not_json": fields("{campaign", "", "", "", "kelvra_download_completed", "", 'quo"te'),
        "empty": b"",
        "bad_utf8": fields(b'{"a":"\xff\xfe"}', b"\xc3", "Win\u00e9", "SP\U0001F600", "n\x00me"),
    },
    "composite_format": {
        "window_name": fields("{0} - ZAV Kelvra Web Installer", "Kelvra Quest"),
        "download_size": fields("Downloading ZAV Kelvra - {0} {2} of {1} {2}", "12", "190", "MB"),
        "braces": fields("{{literal}} and {0}} {{1}", "a", "b"),
        "malformed": fields("{ {0 {x} {} {-1} {0000} {3} {99} }", "a"),
        "unclosed": fields("text {", ""),
        "japanese": fields("{0} のダウンロード中 - {1}", "ZAV", "日本"),
    },
    "registry_text": {
        "terminated": number(16) + "7.3.1\0".encode(),
        "unterminated": number(10) + b"7.3.1",
        "count_too_large": number(4096) + b"Windows 7",
        "odd_count": number(7) + b"abcd",
        "zero": number(0) + b"text",
    },
    "zone_identifier": {
        "browser": b"[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.test/\r\n"
                   b"HostUrl=https://example.test/zavKelvra.auth\r\n",
        "sections": b"[Other]\nZoneId=1\n[zonetransfer]\n zoneid = 0004 \n",
    },
}

DICTS = {
    "json": ['"{"', '"}"', '"["', '"]"', '":"', '","', '"true"', '"false"', '"null"', '"\\\\u0000"',
             '"\\\\ud83d\\\\ude00"', '"content"', '"windows"', '"version"', '"downloadLink"', '"installerMd5"',
             '"installerSha256"', '"deprecated"', '"1e999"', '"-0.0"', '"\\x00"'],
}
DICT_TARGETS = {"token_payload": "json", "remote_config": "json", "event_body": "json"}


def main():
    for target, seeds in SEEDS.items():
        folder = CORPUS / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)
    for target, dictionary in DICT_TARGETS.items():
        (ROOT / f"{target}.dict").write_text("\n".join(DICTS[dictionary]) + "\n")


if __name__ == "__main__":
    main()
