#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora: small property lists and keyed archives made here.

Run from the repository root: python3 fuzz/make_seed_corpus.py
Each seed is tiny and exercises one shape (types, sharing, nesting, references, archives).
"""
import datetime
import os
import plistlib
from plistlib import UID

HERE = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder, name)
    with open(path, "wb") as f:
        f.write(data)


def both(folder, name, value, binary_only=False):
    write(folder, name + ".bplist", plistlib.dumps(value, fmt=plistlib.FMT_BINARY, sort_keys=False))
    if not binary_only:
        write(folder, name + ".xml", plistlib.dumps(value, fmt=plistlib.FMT_XML))


def plist_seeds():
    date = datetime.datetime(2016, 12, 1, 8, 30, 0)
    both("plist", "scalars", {"b": True, "f": False, "i": -42, "u": 2**64 - 1, "r": 0.5,
                              "s": "text", "d": b"\x00\x01", "t": date})
    both("plist", "unicode", {"k": "Grüße 中文 \U0001F600", "e": ""})
    both("plist", "nested", {"a": [1, [2, [3, {"x": {"y": []}}]]], "empty": {}})
    both("plist", "root-array", ["one", 2, 3.25, [], {}])
    both("plist", "root-string", "alone")
    both("plist", "integers", [0, 1, 255, 256, 65535, 65536, 2**31, 2**63 - 1, -2**63, 2**63])
    both("plist", "uid", {"ref": UID(3)}, binary_only=True)
    # A binary list where one string object is shared three times.
    shared = b"bplist00" + b"\xa3\x01\x01\x01" + b"\x56shared" + b"\x08\x0c" + \
        b"\x00" * 6 + b"\x01\x01" + (2).to_bytes(8, "big") + (0).to_bytes(8, "big") + (19).to_bytes(8, "big")
    write("plist", "shared-object.bplist", shared)
    write("plist", "comments-cdata.xml",
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


if __name__ == "__main__":
    plist_seeds()
    keyed_archive_seeds()
