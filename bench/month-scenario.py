#!/usr/bin/env python3
"""Writes the month of bench/sim_bench.cc (BM_MonthOfNotifications) as a scenario file, so the
command line itself can be timed on it (text, --json):
    python3 bench/month-scenario.py 10.3 > /tmp/month.json
    time ./build/quorvel-sim --json /tmp/month.json > /dev/null
"""
import json
import sys

NOTIFICATIONS = 10_000
MONTH_S = 30 * 24 * 3600
# (event, the app the user opens to deal with it); an empty event is a missed phone call.
ARRIVALS = [
    ("sms", "com.apple.MobileSMS"), ("", "com.apple.mobilephone"), ("mail", "com.apple.mobilemail"),
    ("whatsapp-message", "net.whatsapp.WhatsApp"), ("whatsapp-missed-call", "net.whatsapp.WhatsApp"),
    ("messenger-message", "com.facebook.Messenger"), ("messenger-missed-call", "com.facebook.Messenger"),
    ("telegram-message", "ph.telegra.Telegraph"), ("threema-message", "ch.threema.iapp"),
    ("viber-message", "com.viber"), ("viber-missed-call", "com.viber"),
    ("twitter-mention", "com.atebits.Tweetie2"), ("app-notification", "com.example.Chat"),
]
NEEDS_APP = {"twitter-mention", "app-notification"}


def at(seconds_from_start):
    return "+%.3fs" % seconds_from_start


def main():
    release = sys.argv[1] if len(sys.argv) > 1 else "10.3"
    flags = ["globalEnabled", "globalSMS", "globalMail", "globalCall", "globalIm", "imCalWats", "imSMSWats",
             "imCalFBMess", "imSMSFBMess", "imSMSTeleg", "thremaIm", "ViperImCall", "ViperImMess", "otherEnabled",
             "showStatus", "soundMail"]
    settings = {key: True for key in flags}
    settings.update({key: 60 for key in ["smsInt", "phInt", "mailInt", "imInt", "otherInt"]})
    settings["otherApplications"] = ["com.example.Chat", "com.atebits.Tweetie2"]
    actions = [{"at": at(0), "do": "open-app", "app": "com.apple.mobilemail"},
               {"at": at(10), "do": "leave-app", "app": "com.apple.mobilemail"}]
    gap = MONTH_S / NOTIFICATIONS
    for i in range(NOTIFICATIONS):
        event, app = ARRIVALS[i % len(ARRIVALS)]
        t = gap * i
        if not event:
            actions.append({"at": at(t), "do": "incoming-call", "from": "Caller %d" % (i % 7)})
            actions.append({"at": at(t + 20), "do": "end-call"})
        else:
            a = {"at": at(t), "do": "notification", "event": event}
            if event in NEEDS_APP:
                a["app"] = app
            actions.append(a)
        actions.append({"at": at(t + 180), "do": "open-app", "app": app})
        if event == "sms":
            actions.append({"at": at(t + 180), "do": "read-messages"})
        actions.append({"at": at(t + 240), "do": "leave-app", "app": app})
    actions.sort(key=lambda a: float(a["at"][1:-1]))
    scenario = {"name": "a month of notifications", "device": {"ios": release}, "settings": settings,
                "apps": [{"bundleId": "com.example.Chat", "name": "Chat"}], "actions": actions, "run": "30d"}
    json.dump(scenario, sys.stdout, indent=0)
    print()


if __name__ == "__main__":
    main()
