#!/usr/bin/python3
"""Reads a stored message back the way a mail program would, with Python's
email package, and prints what it found as one JSON object: the Date as
seconds since the epoch (null when it does not parse), the From and To
addresses (display name, local part, domain), Subject, Message-ID, the
MIME type and charset, the body decoded to text, and every defect the
parser noticed."""

import email
import email.policy
import email.utils
import json
import sys


def addresses(header):
    if header is None:
        return []
    return [{"name": a.display_name, "local": a.username, "domain": a.domain}
            for a in header.addresses]


def main():
    with open(sys.argv[1], "rb") as stored:
        message = email.message_from_bytes(stored.read(), policy=email.policy.default)
    try:
        date = email.utils.parsedate_to_datetime(str(message["Date"])).timestamp()
    except (TypeError, ValueError):
        date = None
    defects = [type(d).__name__ for d in message.defects]
    for name in ("From", "To", "Message-ID", "Date"):
        header = message[name]
        if header is not None:
            defects += [type(d).__name__ for d in header.defects]
    print(json.dumps({
        "date": date,
        "from": addresses(message["From"]),
        "to": addresses(message["To"]),
        "subject": str(message["Subject"]),
        "messageId": str(message["Message-ID"]),
        "type": message.get_content_type(),
        "charset": message.get_content_charset(),
        "body": message.get_content(),
        "defects": defects,
    }))


if __name__ == "__main__":
    main()
