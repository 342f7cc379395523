#!/usr/bin/python3
"""A private SMTP server for the upload side's tests and demo.

Listens on 127.0.0.1 only (a free port unless --port is given), prints
"listening on 127.0.0.1:PORT" once it accepts connections, and writes every
message it accepts to OUTDIR as NNNNNN.eml (written beside, then renamed),
with the envelope in NNNNNN.json. Faults come from --faults FILE (JSON),
read again for every command, so a test changes them while it runs:

  {"reject": {"ADDRESS": "550 5.1.1 No such mailbox"},   RCPT answer
   "tempfail_data": N,           the next N messages get "451 4.3.0 Try later"
   "delay_data": SECONDS}        wait before answering the message's end

Ends on SIGTERM.
"""
import argparse
import asyncio
import json
import os
import signal
import sys

from aiosmtpd.smtp import SMTP


class Sink:
    def __init__(self, outdir, faults):
        self.outdir = outdir
        self.faults = faults
        self.tempfails_used = 0
        existing = [f for f in os.listdir(outdir) if f.endswith(".eml")]
        self.count = len(existing)

    def _faults(self):
        if not self.faults:
            return {}
        try:
            with open(self.faults, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        reply = self._faults().get("reject", {}).get(address)
        if reply:
            return reply
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        faults = self._faults()
        if self.tempfails_used < int(faults.get("tempfail_data", 0)):
            self.tempfails_used += 1
            return "451 4.3.0 Try again later"
        delay = float(faults.get("delay_data", 0))
        if delay > 0:
            await asyncio.sleep(delay)
        self.count += 1
        base = os.path.join(self.outdir, "%06d" % self.count)
        with open(base + ".eml.part", "wb") as f:
            f.write(envelope.original_content)
            f.flush()
            os.fsync(f.fileno())
        with open(base + ".json.part", "w", encoding="utf-8") as f:
            json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}, f)
        os.rename(base + ".json.part", base + ".json")
        os.rename(base + ".eml.part", base + ".eml")
        return "250 2.0.0 Message accepted"


async def main():
    p = argparse.ArgumentParser()
    p.add_argument("outdir")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--faults")
    a = p.parse_args()
    os.makedirs(a.outdir, exist_ok=True)
    handler = Sink(a.outdir, a.faults)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="klik-test-smtp", data_size_limit=200 * 1024 * 1024),
        host="127.0.0.1", port=a.port)
    port = server.sockets[0].getsockname()[1]
    print("listening on 127.0.0.1:%d" % port, flush=True)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_signal_handler(signal.SIGINT, stop.set)
    await stop.wait()
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
    sys.exit(0)
