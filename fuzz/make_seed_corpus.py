#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora: small property lists and keyed archives made here.

Run from the repository root: python3 fuzz/make_seed_corpus.py
Each seed is small and exercises one shape (types, sharing, nesting, references, archives), plus
the known bad property-list shapes (too short, references out of range, lengths that disagree
with the data, odd-length UTF-16, a lone whitespace, nesting 200,000 deep, circular references),
settings files, notification steps (in fuzz/fuzz_input.h's encoding) and scenarios.
"""
import datetime
import json
import os
import plistlib
import re
import struct
from plistlib import UID

HERE = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    os.makedirs(os.path.join(HERE, "corpus", folder), exist_ok=True)
    path = os.path.join(HERE, "corpus", folder, name)
    with open(path, "wb") as f:
        f.write(data)


def both(folder, name, value, binary_only=False):
    write(folder, name + ".bplist", plistlib.dumps(value, fmt=plistlib.FMT_BINARY, sort_keys=False))
    if not binary_only:
        write(folder, name + ".xml", plistlib.dumps(value, fmt=plistlib.FMT_XML))


def plist_seeds():
    date = datetime.datetime(2016, 12, 1, 8, 30, 0)
    both("plist_parse", "scalars", {"b": True, "f": False, "i": -42, "u": 2**64 - 1, "r": 0.5,
                              "s": "text", "d": b"\x00\x01", "t": date})
    both("plist_parse", "unicode", {"k": "Grüße 中文 \U0001F600", "e": ""})
    both("plist_parse", "nested", {"a": [1, [2, [3, {"x": {"y": []}}]]], "empty": {}})
    both("plist_parse", "root-array", ["one", 2, 3.25, [], {}])
    both("plist_parse", "root-string", "alone")
    both("plist_parse", "integers", [0, 1, 255, 256, 65535, 65536, 2**31, 2**63 - 1, -2**63, 2**63])
    both("plist_parse", "uid", {"ref": UID(3)}, binary_only=True)
    # A binary list where one string object is shared three times.
    shared = b"bplist00" + b"\xa3\x01\x01\x01" + b"\x56shared" + b"\x08\x0c" + \
        b"\x00" * 6 + b"\x01\x01" + (2).to_bytes(8, "big") + (0).to_bytes(8, "big") + (19).to_bytes(8, "big")
    write("plist_parse", "shared-object.bplist", shared)
    write("plist_parse", "comments-cdata.xml",
          b'<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" '
          b'"http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n<plist version="1.0"><!-- note -->'
          b'<dict><key>a</key><string><![CDATA[<b>&]]></string><key>e</key><array/>'
          b'<key>n</key><real>-0.0</real><key>t</key><date>2001-01-01T00:00:00Z</date></dict></plist>\n')


def archive(objects, top=None):
    return plistlib.dumps({"$archiver": "NSKeyedArchiver", "$version": 100000,
                           "$top": top or {"root": UID(1)}, "$objects": objects},
                          fmt=plistlib.FMT_BINARY, sort_keys=False)


def xml_archive(objects, top=None):
    def to_xml(v):
        if isinstance(v, UID):
            return {"CF$UID": v.data}
        if isinstance(v, dict):
            return {k: to_xml(x) for k, x in v.items()}
        if isinstance(v, list):
            return [to_xml(x) for x in v]
        return v
    return plistlib.dumps({"$archiver": "NSKeyedArchiver", "$version": 100000,
                           "$top": to_xml(top or {"root": UID(1)}), "$objects": to_xml(objects)},
                          fmt=plistlib.FMT_XML)


def cls(*chain):
    return {"$classname": chain[0], "$classes": list(chain)}


def keyed_archive_seeds():
    dictionary = ["$null", {"$class": UID(4), "NS.keys": [UID(2)], "NS.objects": [UID(3)]},
                  "key", "value", cls("NSDictionary", "NSObject")]
    write("keyed_archive", "nsdictionary.bplist", archive(dictionary))
    write("keyed_archive", "nsdictionary.xml", xml_archive(dictionary))
    write("keyed_archive", "nsarray-date-data.bplist", archive(
        ["$null", {"$class": UID(2), "NS.objects": [UID(3), UID(5), UID(7)]}, cls("NSMutableArray", "NSArray", "NSObject"),
         {"$class": UID(4), "NS.time": 502342387.5}, cls("NSDate", "NSObject"),
         {"$class": UID(6), "NS.data": b"\x01\x02"}, cls("NSMutableData", "NSData", "NSObject"), 42]))
    write("keyed_archive", "other-class.bplist", archive(
        ["$null", {"$class": UID(2), "NS.name": UID(3), "NS.flag": True}, cls("NSTimeZone", "NSObject"), "UTC"]))
    write("keyed_archive", "multi-top.bplist", archive(["$null", "first", 7], top={"$0": UID(1), "$1": UID(2)}))
    user_info = archive(dictionary)
    notification_class = cls("UIConcreteLocalNotification", "UILocalNotification", "NSObject")
    write("keyed_archive", "local-notification.bplist", archive(
        ["$null", {"$class": UID(2), "_UILocalNotificationUserInfoData": UID(3), "_UILocalNotificationAlertBody": UID(5),
                   "_UILocalNotificationRepeatInterval": 0, "_UILocalNotificationFireDate": UID(6)},
         notification_class, {"$class": UID(4), "NS.data": user_info}, cls("NSMutableData", "NSData", "NSObject"),
         "Missed call", {"$class": UID(7), "NS.time": 502342387.0}, cls("NSDate", "NSObject")]))
    write("keyed_archive", "local-notification-plain-userinfo.bplist", archive(
        ["$null", {"$class": UID(2), "_UILocalNotificationUserInfoData": UID(3)}, notification_class,
         plistlib.dumps({"id": "42"}, fmt=plistlib.FMT_BINARY)]))
    write("keyed_archive", "local-notification-nil-userinfo.xml", xml_archive(
        ["$null", {"$class": UID(2), "_UILocalNotificationUserInfoData": UID(0)}, notification_class]))
    write("keyed_archive", "cycle.bplist", archive(
        ["$null", {"$class": UID(2), "NS.objects": [UID(1)]}, cls("NSArray", "NSObject")]))


def bplist(objects, top=0, ref_size=1, offset_size=None, count=None, table_at=None):
    """A binary property list from raw object encodings; the trailer fields can be forged."""
    body = b"bplist00"
    offsets = []
    for o in objects:
        offsets.append(len(body))
        body += o
    if offset_size is None:
        offset_size = 1 if len(body) < 256 else 2 if len(body) < 65536 else 4
    table = len(body) if table_at is None else table_at
    for off in offsets:
        body += off.to_bytes(offset_size, "big")
    n = len(objects) if count is None else count
    return body + b"\0" * 6 + bytes([offset_size, ref_size]) + struct.pack(">QQQ", n, top, table)


def ref(i, size=1):
    return i.to_bytes(size, "big")


def bad_shapes():
    """(name, bytes) of every known bad property-list shape."""
    out = [
        ("short-empty", b""), ("short-7", b"bplist0"), ("short-magic-only", b"bplist00"), ("short-lt", b"<"),
        ("whitespace-space", b" "), ("whitespace-newline", b"\n"), ("whitespace-tab", b"\t"),
        ("ref-out-of-range", bplist([b"\xa1" + ref(5)])),
        ("dict-key-out-of-range", bplist([b"\xd1" + ref(1) + ref(9), b"\x51k"])),
        ("top-out-of-range", bplist([b"\x09"], top=3)),
        ("count-beyond-table", bplist([b"\x09"], count=1000)),
        ("table-beyond-end", bplist([b"\x09"], table_at=4000)),
        ("string-longer-than-data", bplist([b"\x5f\x10\x7fshort"])),
        ("array-longer-than-data", bplist([b"\xaf\x10\x40" + ref(0)])),
        ("int-length-huge", bplist([b"\x1f"])),
        ("data-length-lies", bplist([b"\x4f\x13" + (2**62).to_bytes(8, "big") + b"ab"])),
        ("utf16-odd-length", bplist([b"\x61A"])),
        ("utf16-odd-length-in-dict", bplist([b"\xd1" + ref(1) + ref(2), b"\x51k", b"\x63\x00a\x00"])),
        ("utf16-lone-surrogate", bplist([b"\x61\xd8\x00"])),
        ("array-contains-itself", bplist([b"\xa1" + ref(0)])),
        ("dict-contains-itself", bplist([b"\xd1" + ref(1) + ref(0), b"\x51k"])),
        ("cycle-of-two", bplist([b"\xa1" + ref(1), b"\xa1" + ref(0)])),
        ("xml-truncated", b'<?xml version="1.0"?><plist version="1.0"><dict><key>a</key><strin'),
        ("xml-unbalanced", b"<plist><dict><key>a</key><array></dict></array></plist>"),
        ("xml-integer-key", b"<plist><dict><integer>1</integer><true/></dict></plist>"),
        ("xml-bad-entity", b"<plist><string>&#xD800;&bogus;</string></plist>"),
    ]
    depth = 200_000
    out.append(("deep-xml-200k", b"<plist>" + b"<array>" * depth))
    # Binary: each array holds the next one; 4-byte references and offsets.
    objs = [b"\xa1" + ref(i + 1, 4) for i in range(depth)] + [b"\x09"]
    out.append(("deep-binary-200k", bplist(objs, ref_size=4, offset_size=4)))
    return out


def settings_seeds():
    settings = {"globalEnabled": True, "showStatus": True, "smsInt": 45, "smsCount": 3, "phInt": 0,
                "currentSMSSound": "Tri-tone.caf", "otherApplications": ["com.example.Chat", "com.atebits.Tweetie2"],
                "fromHour": 7, "toHour": 22, "torchSmS": False, "unMAil": 1, "imCount": 99999999,
                "mailInt": -5.5, "showBanner": "yes", "otherEnabled": [True]}
    write("settings_file", "pane-save.xml", plistlib.dumps(settings, fmt=plistlib.FMT_XML))
    write("settings_file", "pane-save.bplist", plistlib.dumps(settings, fmt=plistlib.FMT_BINARY))
    write("settings_file", "empty-dict.xml", plistlib.dumps({}, fmt=plistlib.FMT_XML))
    write("settings_file", "root-array.bplist", plistlib.dumps(["globalEnabled"], fmt=plistlib.FMT_BINARY))
    write("settings_file", "mistyped.xml", plistlib.dumps(
        {"globalEnabled": "no", "smsInt": "30", "otherApplications": "com.example.Chat", "smsCount": 2**63,
         "currentSMSSound": 7, "fromHour": 25, "toHour": -1}, fmt=plistlib.FMT_XML))
    for name, data in bad_shapes():
        write("settings_file", name, data)
        write("plist_parse", name, data)


# fuzz/fuzz_input.h's encoding.
VOCAB = ["aps", "category", "remoteNotification", "localNotification", "jid", "missed-call-jid", "incoming-call-jid",
         "threema", "newmsg", "type", "missed-call", "call", "message", "message.1", "mention", "direct_message",
         "followed", "id", "identifier", "cmd", "callback_message", "call-back", "accept_decline", "reply_mute",
         "webrtc_incoming", "CAT_INCOMING_CALL", "CAT_INCOMING_MESSAGE", "CAT_MISSED_CALL", "default", "",
         "com.apple.mobilephone", "com.apple.MobileSMS", "com.apple.mobilemail", "com.apple.facetime",
         "net.whatsapp.WhatsApp", "com.facebook.Messenger", "ph.telegra.Telegraph", "ch.threema.iapp", "com.viber",
         "com.atebits.Tweetie2", "com.example.Chat", "com.example.Shop", "com.apple.mobiletimer", "systemAlert",
         "noIdentifier", "Quorvel", "/banner", "com.viber/banner", "BulletinDestinationLockScreen",
         "BulletinDestinationNotificationCenter", "BulletinDestinationBanner", "otherApplications", "globalEnabled",
         "showStatus", "NS.objects", "$class"]
NULL, FALSE, TRUE, INT64, INT8, REAL, TEXT, DATA, ARRAY, DICT, ARCHIVE, DATE = range(12)


def text(t):
    if t in VOCAB:
        return bytes([VOCAB.index(t)])
    raw = t.encode()
    return bytes([0x80 + len(raw)]) + raw


def value(v):
    if v is None:
        return bytes([NULL])
    if isinstance(v, bool):
        return bytes([TRUE if v else FALSE])
    if isinstance(v, int):
        return bytes([INT8, v & 0xFF]) if -128 <= v < 128 else bytes([INT64]) + struct.pack("<q", v)
    if isinstance(v, float):
        return bytes([REAL]) + struct.pack("<d", v)
    if isinstance(v, str):
        return bytes([TEXT]) + text(v)
    if isinstance(v, bytes):
        return bytes([DATA, len(v)]) + v
    if isinstance(v, list):
        return bytes([ARRAY, len(v)]) + b"".join(value(x) for x in v)
    if isinstance(v, Archived):
        return bytes([ARCHIVE]) + dict_body(v.user_info)
    return bytes([DICT]) + dict_body(v)


def dict_body(d):
    return bytes([len(d)]) + b"".join(text(k) + value(x) for k, x in d.items())


class Archived:
    def __init__(self, user_info):
        self.user_info = user_info


RELEASE = {"7.0": 0, "8.0": 6, "9.3": 14, "10.0": 15, "10.3": 19}
PUBLISH, DELIVER, REMOVE, ACT, ACTIVATE, FIRE_LOCAL, DIRECT_PUBLISH, DIRECT_ADD, DIRECT_REQUEST, WHATSAPP_LOCAL, \
    LOCK, UNLOCK, AUTOLOCK, QUIET, TAP, WAIT = range(16)


def device(release, locked=False, listed="com.example.Chat"):
    return bytes([RELEASE[release] | (0x40 if locked else 0), 0]) + text(listed) + bytes([30])


def publish(section, context, category=None, to_lock=True, action=True):
    out = bytes([PUBLISH]) + text(section)
    out += (b"\x01" + text(category)) if category is not None else b"\x00"
    out += value(context) + text("Anna") + text("record-1")
    out += (b"\x01" + text(section)) if action else b"\x00"
    return out + bytes([1 if to_lock else 0])


def deliver(section, category="", remote=None, local=None, badge=None, fire_local=False):
    out = bytes([DELIVER]) + text(section) + text(category)
    out += (b"\x01" + dict_body(remote)) if remote is not None else b"\x00"
    out += (b"\x01" + dict_body(local)) if local is not None else b"\x00"
    out += (b"\x01" + bytes([badge & 0xFF])) if badge is not None else b"\x00"
    return out + bytes([1 if fire_local else 0])


def direct(entry, section, context=None, category=None):
    out = bytes([entry]) + text(section)
    out += (b"\x01" + text(category)) if category is not None else b"\x00"
    out += (b"\x01" + dict_body(context)) if context is not None else b"\x00"
    return out + b"\x00"


def wait(seconds):
    return bytes([WAIT, seconds])


def notification_seeds():
    aps = lambda c: {"aps": {"category": c, "alert": "hi"}}
    remote = lambda d: {"remoteNotification": d}
    jid = "4915112345678@s.whatsapp.net"
    seeds = {
        "ios9-whatsapp-local-then-remove": device("9.3", locked=True) + publish(
            "net.whatsapp.WhatsApp", {"localNotification": Archived({"jid": jid})}) + wait(61) + bytes([REMOVE, 0]),
        "ios9-whatsapp-missed-call-act": device("9.3", locked=True) + publish(
            "net.whatsapp.WhatsApp", {"localNotification": Archived({"missed-call-jid": jid})}) + bytes([ACT, 0, 1]),
        "ios9-viber-then-open": device("9.3") + publish("com.viber", remote(aps("CAT_INCOMING_MESSAGE"))) +
        wait(90) + bytes([ACTIVATE]) + text("com.viber"),
        "ios9-threema-messenger": device("9.3", locked=True) + publish(
            "ch.threema.iapp", remote({"threema": {"cmd": "newmsg"}})) + publish(
            "com.facebook.Messenger", remote(aps("webrtc_incoming"))) + wait(200),
        "ios10-messenger-call-request": device("10.3", locked=True) + deliver(
            "com.facebook.Messenger", "webrtc_incoming", remote=aps("webrtc_incoming")) + deliver(
            "com.facebook.Messenger", "callback_message", remote=aps("callback_message")) + wait(120),
        "ios10-telegram-then-clear": device("10.3") + deliver("ph.telegra.Telegraph", remote=aps("")) +
        wait(70) + bytes([REMOVE, 0]) + bytes([LOCK]) + wait(70),
        "ios10-listed-app-act-from-centre": device("10.3") + deliver("com.example.Chat", badge=2) + bytes(
            [ACT, 0, 0]) + text("BulletinDestinationNotificationCenter") + wait(100),
        "ios10-whatsapp-local-fire": device("10.3") + deliver(
            "net.whatsapp.WhatsApp", local={"missed-call-jid": jid}, fire_local=True) + wait(65),
        "ios8-sms-phone-mail": device("8.0") + deliver("com.apple.MobileSMS", badge=1) + deliver(
            "com.apple.mobilephone") + deliver("com.apple.mobilemail") + bytes([AUTOLOCK]) + wait(120),
        "ios7-defaults": device("7.0") + deliver("com.apple.MobileSMS", badge=3) + wait(180),
        "direct-entry-points": device("9.3") + direct(DIRECT_PUBLISH, "com.viber", remote(aps("CAT_MISSED_CALL"))) +
        direct(DIRECT_ADD, "net.whatsapp.WhatsApp", {"localNotification": b"bplist00junk"}) +
        direct(DIRECT_REQUEST, "com.facebook.Messenger", remote(aps("callback_message")), category="callback_message") +
        bytes([WHATSAPP_LOCAL, 0]) + dict_body({"jid": jid}) + wait(90),
        "own-reminder-bulletin": device("10.3", locked=True) + direct(
            DIRECT_REQUEST, "com.viber", remote(aps("CAT_MISSED_CALL"))) + bytes([AUTOLOCK]) + wait(5) +
        bytes([UNLOCK, TAP]) + bytes([QUIET, 1]) + wait(100),
        "mistyped-payloads": device("10.3") + publish("com.viber", {"remoteNotification": "CAT_MISSED_CALL"}) +
        publish("net.whatsapp.WhatsApp", ["not", "a", "dictionary"]) + publish(
            "ch.threema.iapp", remote({"threema": ["cmd"]})) + publish("", None),
        "local-notification-of-any-shape": device("9.3") + bytes([FIRE_LOCAL]) + dict_body(
            {"missed-call-jid": [jid], "aps": {"category": 5}}) + text("Hi") + text("net.whatsapp.WhatsApp"),
    }
    for name, data in seeds.items():
        write("notification", name, data)


def scenario_seeds():
    source = open(os.path.join(HERE, "..", "sim", "default_scenario.cc")).read()
    match = re.search(r'R"json\((.*?)\)json"', source, re.S)
    if match:
        write("scenario", "default.json", match.group(1).encode())
    examples = os.path.join(HERE, "..", "examples")
    if os.path.isdir(examples):
        for name in sorted(os.listdir(examples)):
            if name.endswith(".json"):
                write("scenario", "example-" + name, open(os.path.join(examples, name), "rb").read())
    small = {
        "name": "every action", "device": {"ios": "9.3", "kind": "iPad", "torch": False},
        "timeZone": "Europe/Berlin", "start": "2026-03-29T01:59:00", "locked": True,
        "settings": {"showStatus": True, "otherApplications": ["com.example.Chat"], "smsInt": 20},
        "apps": [{"bundleId": "com.example.Chat", "name": "Chat", "badge": 1}],
        "actions": [
            {"at": "+1s", "do": "notification", "event": "whatsapp-message", "label": "w"},
            {"at": "+2s", "do": "notification", "app": "com.example.Chat", "remote": {"aps": {"alert": "x"}}},
            {"at": "+3s", "do": "incoming-call", "from": "Mum"}, {"at": "+9s", "do": "end-call"},
            {"at": "+30s", "do": "remove-notification", "target": "w"},
            {"at": "+40s", "do": "act-on-notification", "from": "notification-centre"},
            {"at": "+50s", "do": "read-messages", "count": 2}, {"at": "+1m", "do": "set-badge", "app": "com.example.Chat", "value": 0},
            {"at": "+61s", "do": "quiet-mode", "on": True}, {"at": "+62s", "do": "auto-lock"},
            {"at": "+70s", "do": "settings", "set": {"smsInt": 5}, "remove": ["showStatus"]},
            {"at": "+80s", "do": "settings-file", "set": {"globalEnabled": False}},
            {"at": "+90s", "do": "open-app", "app": "com.viber"}, {"at": "+95s", "do": "leave-app", "app": "com.viber"},
            {"at": "+99s", "do": "tap-banner"}, {"at": "+100s", "do": "respring"}, {"at": "+2m", "do": "note", "text": "end"}],
        "run": "10m", "seed": 7}
    write("scenario", "every-action.json", json.dumps(small, indent=1).encode())
    write("scenario", "bad-time.json", b'{"actions": [{"at": "+99999999999h", "do": "lock"}], "run": "1s"}')
    write("scenario", "bad-nesting.json", b"[" * 5000)


def resource_seeds():
    """Sound headers, strings files and time-zone files: the package's own resources and the
    system's zone database, plus small sounds of the other two formats made here."""
    root = os.path.dirname(HERE)
    with open(os.path.join(root, "package", "Sounds", "SMS 1.caf"), "rb") as f:
        write("sound_info", "sms1.caf", f.read())
    frames = b"\x00\x01" * 64
    fmt = struct.pack("<HHIIHH", 1, 1, 8000, 16000, 2, 16)
    write("sound_info", "pcm.wav", b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(frames)) + b"WAVE" +
          b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(frames)) + frames)
    rate = bytes.fromhex("400CFA00000000000000")  # 8000 as an 80-bit extended float
    comm = struct.pack(">hIh", 1, 64, 16) + rate
    ssnd = struct.pack(">II", 0, 0) + frames
    write("sound_info", "pcm.aiff", b"FORM" + struct.pack(">I", 4 + 8 + len(comm) + 8 + len(ssnd)) + b"AIFF" +
          b"COMM" + struct.pack(">I", len(comm)) + comm + b"SSND" + struct.pack(">I", len(ssnd)) + ssnd)
    for lang in ("en", "de", "ja"):
        with open(os.path.join(root, "package", "Localizations", lang + ".lproj", "Localizable.strings"), "rb") as f:
            write("strings_file", lang + ".strings", f.read())
    write("strings_file", "utf16.strings", '"Missed Call!" = "Appel manqué !";\n'.encode("utf-16"))
    for zone in ("Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Asia/Kolkata", "UTC"):
        with open(os.path.join("/usr/share/zoneinfo", zone), "rb") as f:
            write("tzif", zone.replace("/", "-"), f.read())


if __name__ == "__main__":
    plist_seeds()
    keyed_archive_seeds()
    settings_seeds()
    notification_seeds()
    scenario_seeds()
    resource_seeds()
