"""A headless firefox-esr in a profile of its own, driven through Marionette.

Used by the test that Firefox reads our bookmark file
(tests/browsers/firefox_reads_export.py) and by the script that makes the
browser fixtures (scripts/make-browser-fixtures.sh).

    with Firefox(profile, prefs={"browser.bookmarks.autoExportHTML": True}) as firefox:
        value = firefox.chrome_script("return 1 + 1;")
        firefox.quit()

The profile folder must exist; Firefox gets a user.js of quiet settings (no
first-run pages, updates, telemetry or background connections) plus the
given prefs, and HOME pointing to a folder of its own beside the profile, so
nothing of the user's own Firefox is read or touched. Marionette listens on
a port the system picks (no clash with a second run side by side); Firefox
writes it to MarionetteActivePort in the profile.

Firefox runs in a process group of its own. Leaving the with-block, or a
SIGTERM or SIGINT to this process, ends that group unless quit() ended
Firefox already, so no browser outlives the script that started it.
"""

import json
import os
import signal
import socket
import subprocess
import time

# Every start in a fresh profile would otherwise show welcome pages, ask to
# be the default browser and reach out to the network for updates.
QUIET_PREFS = {
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "startup.homepage_welcome_url": "",
    "startup.homepage_welcome_url.additional": "",
    "browser.aboutwelcome.enabled": False,
    "trailhead.firstrun.didSeeAboutWelcome": True,
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.healthreport.uploadEnabled": False,
    "toolkit.telemetry.enabled": False,
    "toolkit.telemetry.unified": False,
    "app.update.enabled": False,
    "app.update.auto": False,
    "app.normandy.enabled": False,
    "extensions.update.enabled": False,
    "browser.search.update": False,
    "browser.safebrowsing.downloads.remote.enabled": False,
    "network.connectivity-service.enabled": False,
    "network.captive-portal-service.enabled": False,
    "browser.newtabpage.enabled": False,
}

BROWSER = "firefox-esr"


class MarionetteError(RuntimeError):
    pass


def write_user_js(profile, prefs):
    with open(os.path.join(profile, "user.js"), "w", encoding="utf-8") as out:
        for name, value in prefs.items():
            out.write("user_pref(%s, %s);\n" % (json.dumps(name), json.dumps(value)))


def _end_on_signal(signum, frame):
    raise SystemExit(128 + signum)


class Firefox:
    def __init__(self, profile, prefs=None, log=None, timeout=90):
        self.profile = profile
        self.timeout = timeout
        self._sock = None
        self._buffer = b""
        self._next_id = 0
        self._process = None
        all_prefs = dict(QUIET_PREFS)
        all_prefs["marionette.port"] = 0
        all_prefs.update(prefs or {})
        write_user_js(profile, all_prefs)
        home = os.path.join(os.path.dirname(os.path.abspath(profile)), "firefox-home")
        os.makedirs(home, exist_ok=True)
        self._env = dict(os.environ, HOME=home, MOZ_HEADLESS="1")
        for name in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "MOZ_LOG"):
            self._env.pop(name, None)
        self._log = open(log or os.devnull, "wb")

    def __enter__(self):
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            if signal.getsignal(signum) in (signal.SIG_DFL, signal.default_int_handler):
                signal.signal(signum, _end_on_signal)
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _start(self):
        self._process = subprocess.Popen(
            [BROWSER, "--headless", "--marionette", "-remote-allow-system-access",
             "--profile", self.profile, "--no-remote", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
            env=self._env, start_new_session=True)
        deadline = time.monotonic() + self.timeout
        port_file = os.path.join(self.profile, "MarionetteActivePort")
        while True:
            if self._process.poll() is not None:
                raise MarionetteError("%s ended with status %d before Marionette listened"
                                      % (BROWSER, self._process.returncode))
            try:
                with open(port_file, encoding="ascii") as f:
                    port = int(f.read().strip())
                self._sock = socket.create_connection(("127.0.0.1", port), timeout=self.timeout)
                break
            except (OSError, ValueError):
                if time.monotonic() > deadline:
                    raise MarionetteError("Marionette did not answer within %d s" % self.timeout)
                time.sleep(0.25)
        self._receive()  # the greeting
        self.command("WebDriver:NewSession", {"capabilities": {}})
        self.command("Marionette:SetContext", {"value": "chrome"})

    def _receive(self):
        while b":" not in self._buffer:
            self._buffer += self._read()
        length, _, rest = self._buffer.partition(b":")
        length = int(length)
        while len(rest) < length:
            rest += self._read()
        self._buffer = rest[length:]
        return json.loads(rest[:length])

    def _read(self):
        data = self._sock.recv(65536)
        if not data:
            raise MarionetteError("Marionette closed the connection")
        return data

    def command(self, name, params=None):
        """Sends one command and returns its answer; a failed command raises."""
        self._next_id += 1
        body = json.dumps([0, self._next_id, name, params or {}]).encode()
        self._sock.sendall(str(len(body)).encode() + b":" + body)
        reply = self._receive()
        if reply[2]:
            raise MarionetteError("%s failed: %s" % (name, reply[2]))
        return reply[3]

    def chrome_script(self, script, args=(), timeout=60):
        """Runs an async script with Firefox's privileges and returns what it
        passes to its last argument (the resolve callback)."""
        answer = self.command("WebDriver:ExecuteAsyncScript",
                              {"script": script, "args": list(args),
                               "scriptTimeout": int(timeout * 1000)})
        return answer.get("value")

    def quit(self):
        """Asks Firefox to shut down as a user would (it writes its files)
        and waits until it has ended."""
        self.command("Marionette:Quit", {"flags": []})
        self._sock.close()
        self._sock = None
        if not self._ended(self.timeout):
            raise MarionetteError("%s did not end within %d s of quitting"
                                  % (BROWSER, self.timeout))

    def _ended(self, timeout):
        # Waits without reaping: while the parent is a zombie its group id
        # cannot be reused, so close() can still end what is left in it.
        deadline = time.monotonic() + timeout
        while os.waitid(os.P_PID, self._process.pid,
                        os.WEXITED | os.WNOHANG | os.WNOWAIT) is None:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.1)
        return True

    def close(self):
        if self._sock is not None:
            self._sock.close()
            self._sock = None
        if self._process is not None:
            # The content processes share the parent's group and may outlive
            # it by a moment; the whole group goes.
            try:
                os.killpg(self._process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self._ended(self.timeout)
            self._process.wait()
            self._process = None
        self._log.close()
