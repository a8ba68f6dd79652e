#!/usr/bin/env python3
"""Fills in and submits the search form of a running `ledgrove-cli serve` in
headless Chromium, then prints the DOM of the page the browser lands on.

    browser_submit.py CHROMIUM URL NAME=VALUE...

Chromium is driven over its DevTools pipe (file descriptors 3 and 4, one
JSON message per NUL-ended line), so no driver and no network are needed.
Each NAME=VALUE sets the form field of that name (a text box's value, a
select's option, a check box ticked for any value); the form is then
submitted by clicking its button, as a person would.  Exits non-zero,
with a line on standard error, when any step fails or takes too long.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-pipe"]


class Browser:
    def __init__(self, chromium, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        # The pipe ends must be descriptors 3 (commands) and 4 (answers).
        # A pipe of Python's is closed at exec unless made inheritable (dup2
        # onto itself keeps that flag).
        def place():
            commands, answers = os.dup(to_browser_r), os.dup(from_browser_w)
            os.dup2(commands, 3)
            os.dup2(answers, 4)
            os.set_inheritable(3, True)
            os.set_inheritable(4, True)
        self.process = subprocess.Popen([chromium, *FLAGS, "--user-data-dir=" + profile, "about:blank"],
                                        close_fds=False, preexec_fn=place,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.next_id = 0
        self.pending = b""
        self.session = None

    def call(self, method, params=None, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while time.time() < deadline:
            while b"\0" in self.pending:
                raw, self.pending = self.pending.split(b"\0", 1)
                answer = json.loads(raw)
                if answer.get("id") == self.next_id:
                    if "error" in answer:
                        raise RuntimeError(f"{method}: {answer['error']}")
                    return answer.get("result", {})
            chunk = os.read(self.from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError("the browser closed its pipe")
            self.pending += chunk
        raise RuntimeError(f"{method}: no answer in {timeout} s")

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        return result.get("result", {}).get("value")

    def wait_for(self, expression, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.evaluate(expression):
                return
            time.sleep(0.1)
        raise RuntimeError(f"waited {timeout} s for {expression}")

    def close(self):
        self.process.kill()
        self.process.wait()


def main(chromium, url, fields):
    with tempfile.TemporaryDirectory() as profile:
        browser = Browser(chromium, profile)
        try:
            targets = browser.call("Target.getTargets")["targetInfos"]
            page = next(t["targetId"] for t in targets if t["type"] == "page")
            browser.session = browser.call("Target.attachToTarget",
                                           {"targetId": page, "flatten": True})["sessionId"]
            browser.call("Page.navigate", {"url": url})
            browser.wait_for("document.readyState === 'complete' && !!document.querySelector('form.criteria')")
            for field in fields:
                name, value = field.split("=", 1)
                ok = browser.evaluate(
                    "(() => { const e = document.querySelector('form.criteria [name=\"' + %s + '\"]');"
                    " if (!e) return false;"
                    " if (e.type === 'checkbox') e.checked = true; else e.value = %s;"
                    " return true; })()" % (json.dumps(name), json.dumps(value)))
                if not ok:
                    raise RuntimeError(f"the form has no field {name}")
            browser.evaluate("document.querySelector('form.criteria button[type=submit]').click()")
            browser.wait_for("document.readyState === 'complete' && !!document.getElementById('result')")
            print(browser.evaluate("location.href"))
            print(browser.evaluate("document.documentElement.outerHTML"))
        finally:
            browser.close()


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    try:
        main(sys.argv[1], sys.argv[2], sys.argv[3:])
    except Exception as error:  # one line for the test's failure message
        sys.exit(f"browser_submit: {error}")
