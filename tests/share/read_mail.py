#!/usr/bin/python3
"""Reads the messages the SMTP sink wrote (DIR/NNNNNN.eml + .json) with
Python's email package and prints, per message:

  MSG <tab> envelope recipients (comma-separated) <tab> To <tab> Message-ID <tab> Subject
  ATT <tab> file name <tab> content type <tab> path of the decoded bytes
  TXT <tab> the text part, with line breaks as \\n

Decoded attachments are written to DIR/decoded/. A message that does not
parse as MIME prints ERR <tab> file <tab> reason.
"""
import email
import email.policy
import json
import os
import sys

d = sys.argv[1]
out = os.path.join(d, "decoded")
os.makedirs(out, exist_ok=True)
for name in sorted(f for f in os.listdir(d) if f.endswith(".eml")):
    base = name[:-4]
    try:
        with open(os.path.join(d, base + ".json"), encoding="utf-8") as f:
            env = json.load(f)
        with open(os.path.join(d, name), "rb") as f:
            m = email.message_from_binary_file(f, policy=email.policy.default)
        if m.defects:
            raise ValueError("defects: %r" % m.defects)
        print("MSG\t%s\t%s\t%s\t%s" % (",".join(env["rcpt_tos"]), m["To"], m["Message-ID"],
                                      m["Subject"]))
        body = m.get_body(("plain",))
        print("TXT\t%s" % (body.get_content().replace("\r\n", "\n").replace("\n", "\\n") if body else ""))
        for i, part in enumerate(m.iter_attachments()):
            path = os.path.join(out, "%s-%d" % (base, i))
            with open(path, "wb") as f:
                f.write(part.get_content())
            print("ATT\t%s\t%s\t%s" % (part.get_filename(), part.get_content_type(), path))
    except Exception as e:  # noqa: BLE001 - every failure is reported to the test
        print("ERR\t%s\t%s" % (name, e))
