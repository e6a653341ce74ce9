#!/usr/bin/env python3
"""segweld --watch --metrics as a station's operators use it.

Debian's prometheus scrapes the watch every second while time slots made by
segweld-sample arrive (one complete, one short of a segment and a channel,
one with a file that comes after its publication, and a repeat cycle with no
file at all); its HTTP API must tell the counts the log tells, and a latency
quantile within the buckets of the logged latencies. Headless chromium loads
the status page: its grid's cells must be the deliveries' states. Bad
requests (other methods and paths, '..', bytes that are not UTF-8, bodies,
oversized and slow requests, a crowd of idle connections) get their answer
or are cut off, and the watch joins on meanwhile.

Usage: metrics_endpoint_test.py SEGWELD SEGWELD_SAMPLE [SCREENSHOT_FOLDER]
Every service the test starts listens on 127.0.0.1 and is stopped by its pid.
"""
import datetime
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

SEGWELD, SAMPLE = sys.argv[1], sys.argv[2]
PICTURES = sys.argv[3] if len(sys.argv) > 3 else None
CHANNELS = ["IR_108", "WV_062", "HRV"]
BUCKETS = [0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 300, 900, 1800]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, flush=True)


def wait_for(done, seconds=20, what="a condition"):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = done()
        if value:
            return value
        time.sleep(0.1)
    check(False, f"waited {seconds} s for {what}")
    return None


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def get(url, timeout=10):
    with urllib.request.urlopen(url, timeout=timeout) as answer:
        return answer.status, answer.read().decode("utf-8", "replace")


class Station:
    """The folders, the slots' files made once, and the watch."""

    def __init__(self, work):
        self.work = work
        self.incoming = os.path.join(work, "in")
        self.out = os.path.join(work, "out")
        self.made = os.path.join(work, "made")
        for folder in (self.incoming, self.out, self.made):
            os.makedirs(folder)
        now = datetime.datetime.now(datetime.timezone.utc)
        cycle = now.replace(minute=now.minute - now.minute % 15, second=0, microsecond=0)
        self.times = [(cycle - datetime.timedelta(minutes=15 * k)).strftime("%Y%m%d%H%M")
                      for k in (4, 3, 2, 1)]  # A, the gap, B, C
        for time_field in self.times[0:1] + self.times[2:]:
            for channel in CHANNELS:
                subprocess.run([SAMPLE, "--lines", "2", "--channel", channel, "--satellite",
                                "MSG2", "--time", time_field,
                                os.path.join(self.made, time_field)], check=True,
                               stdout=subprocess.DEVNULL)

    def files(self, time_field):
        folder = os.path.join(self.made, time_field)
        return sorted(os.path.join(folder, name) for name in os.listdir(folder))

    def deliver(self, paths):
        for path in paths:  # copied beside, then moved in whole
            staged = os.path.join(self.work, "staged")
            shutil.copyfile(path, staged)
            os.rename(staged, os.path.join(self.incoming, os.path.basename(path)))

    def start(self):
        self.log_path = os.path.join(self.work, "watch.log")
        self.report = os.path.join(self.work, "report.jsonl")
        self.log_file = open(self.log_path, "w")
        self.watch = subprocess.Popen(
            [SEGWELD, "--watch", self.incoming, self.out, "--slots", "--slot-channels",
             ",".join(CHANNELS), "--timeout", "1", "--slot-timeout", "3", "-j", "1",
             "--report", self.report, "--metrics", "127.0.0.1:0"],
            stdout=self.log_file, stderr=subprocess.STDOUT)
        found = wait_for(lambda: re.search(r"status page at (http://\S+/)\n", self.log()),
                         what="the watch to serve")
        self.url = found.group(1)
        self.port = int(urllib.parse.urlsplit(self.url).port)

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def slot_records(self):
        if not os.path.exists(self.report):
            return []
        with open(self.report) as report:
            lines = [json.loads(line) for line in report if line.strip()]
        return [line for line in lines if line["type"] == "slot"]


class Prometheus:
    """Debian's prometheus, scraping the watch every second."""

    def __init__(self, work, target_port):
        folder = os.path.join(work, "prometheus")
        os.makedirs(folder)
        config = os.path.join(folder, "prometheus.yml")
        with open(config, "w") as out:
            out.write("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                      "scrape_configs:\n  - job_name: segweld\n    static_configs:\n"
                      f"      - targets: ['127.0.0.1:{target_port}']\n")
        self.url = f"http://127.0.0.1:{free_port()}"
        self.process = subprocess.Popen(
            ["prometheus", "--config.file", config, "--storage.tsdb.path",
             os.path.join(folder, "data"), "--web.listen-address", self.url[7:]],
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "log"), "w"))
        wait_for(self.ready, 30, "prometheus to be ready")

    def ready(self):
        try:
            return get(self.url + "/-/ready", 2)[0] == 200
        except OSError:
            return False

    def query(self, expression):
        _, body = get(self.url + "/api/v1/query?" + urllib.parse.urlencode({"query": expression}))
        result = json.loads(body)["data"]["result"]
        return float(result[0]["value"][1]) if result else None

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(30)


def raw_request(port, data, read_for=10):
    """Sends `data` (bytes); the answer's
    status, or None when the connection was closed without one."""
    with socket.create_connection(("127.0.0.1", port), timeout=read_for) as connection:
        try:
            connection.sendall(data)
        except OSError:
            pass  # cut off while sending
        answer = b""
        try:
            while b"\r\n" not in answer:
                piece = connection.recv(4096)
                if not piece:
                    break
                answer += piece
        except (ConnectionResetError, socket.timeout):
            pass
    match = re.match(rb"HTTP/1\.1 (\d{3}) ", answer)
    return int(match.group(1)) if match else None


def seconds_of(text):
    """A latency as the log writes it: "0.8 ms", "4.2 s", "15 min 3 s"."""
    if text.endswith(" ms"):
        return float(text[:-3]) / 1000
    minutes = re.match(r"(\d+) min (\d+) s", text)
    return int(minutes.group(1)) * 60 + int(minutes.group(2)) if minutes else float(text[:-2])


def bucket_of(seconds):
    upper = next((bound for bound in BUCKETS if seconds <= bound), float("inf"))
    lower = max([bound for bound in BUCKETS if bound < upper], default=0)
    return lower, upper


def compare_with_log(station, prometheus):
    log = station.log()
    counts = {
        'sum(segweld_products_total{state="joined"})': len(re.findall(r"segweld: joined H-", log)),
        'sum(segweld_products_total{state="incomplete"})':
            len(re.findall(r"segweld: incomplete H-", log)),
        'segweld_slots_published_total{service="0DEG",state="complete"}':
            len(re.findall(r"segweld: slot \S+ complete:", log)),
        'segweld_slots_published_total{service="0DEG",state="incomplete"}':
            len(re.findall(r"segweld: slot \S+ incomplete:", log)),
        'segweld_slots_published_total{service="0DEG",state="late"}':
            len(re.findall(r"segweld: slot \S+ late ", log)),
        "segweld_late_files_total": 1,
        "segweld_products_waiting": 0,
        "segweld_output_latency_seconds_count": len(re.findall(r"after its last segment", log)),
    }
    # The last scrape may be a second behind the log.
    wait_for(lambda: all(prometheus.query(q) == v for q, v in counts.items()), 15,
             "prometheus to have scraped the last counts")
    for expression, expected in counts.items():
        got = prometheus.query(expression)
        check(got == expected, f"{expression}: prometheus says {got}, the log {expected}")
    check(counts['sum(segweld_products_total{state="joined"})'] == 8 and
          counts['sum(segweld_products_total{state="incomplete"})'] == 1,
          f"the log's joins: {counts}")
    latencies = sorted(seconds_of(found) for found in
                       re.findall(r"; ([0-9.]+ m?s|\d+ min \d+ s) after its last segment", log))
    middle = latencies[(len(latencies) - 1) // 2], latencies[len(latencies) // 2]
    low, high = bucket_of(middle[0])[0], bucket_of(middle[1])[1]
    median = prometheus.query("histogram_quantile(0.5, segweld_output_latency_seconds_bucket)")
    check(median is not None and low <= median <= high,
          f"median latency {median} s not within [{low}, {high}] of the log's {latencies}")
    print(f"prometheus agrees with the log: {counts}; median latency {median:.4f} s, "
          f"the log's {middle[0]:.4f} s", flush=True)


def chromium(url, profile, *options):
    return subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--user-data-dir=" + profile, *options, url],
        capture_output=True, text=True, timeout=90)


def check_page(station):
    times = station.times
    expected = {(times[0], channel): "complete" for channel in CHANNELS}
    expected.update({(times[1], channel): "missing" for channel in CHANNELS})
    expected.update({(times[2], "IR_108"): "incomplete", (times[2], "WV_062"): "complete",
                     (times[2], "HRV"): "missing", (times[3], "IR_108"): "complete",
                     (times[3], "WV_062"): "late", (times[3], "HRV"): "complete"})
    profile = tempfile.mkdtemp(dir=station.work)
    dom = chromium(station.url, profile, "--dump-dom").stdout
    cells = {}
    for slot, body in re.findall(r'<tr data-slot="H-MSG2-0DEG-(\d{12})">(.*?)</tr>', dom, re.S):
        for channel, state in re.findall(r'data-channel="([^"]+)" data-state="([a-z]+)"', body):
            cells[(slot, channel)] = state
    check(cells == expected, f"the grid's cells {cells} are not the deliveries' {expected}")
    check("3 incomplete" not in dom and "1 late" in dom, "the totals in text")
    pictures = PICTURES or station.work
    for name, size in (("status-page.png", "1280,900"), ("status-page-phone.png", "412,915")):
        shot = os.path.join(pictures, name)
        chromium(station.url, profile, "--screenshot=" + shot, "--window-size=" + size,
                 "--hide-scrollbars")
        check(os.path.getsize(shot) > 10000, f"a screenshot {shot}")
    print(f"the page's {len(cells)} cells are the deliveries'; screenshots in {pictures}",
          flush=True)


def check_refused_address(station):
    """A port in use, or a name of no address: exit status 2 before any join."""
    second_out = os.path.join(station.work, "second")
    os.makedirs(second_out)
    for address in (f"127.0.0.1:{station.port}", "no.such.host.invalid:9464"):
        second = subprocess.run([SEGWELD, "--watch", station.incoming, second_out,
                                 "--metrics", address], capture_output=True, text=True, timeout=30)
        check(second.returncode == 2 and f"--metrics {address}: cannot serve there" in second.stderr
              and not os.listdir(second_out), f"{address}: {second.returncode} {second.stderr}")


def check_bad_requests(station):
    port = station.port
    rows = [
        (b"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc", 405),
        (b"DELETE /metrics HTTP/1.1\r\nHost: a\r\n\r\n", 405),
        (b"HEAD / HTTP/1.1\r\nHost: a\r\n\r\n", 405),
        (b"GET /../../etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", 404),
        (b"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", 404),
        (b"GET /metrics/../../../etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", 404),
        (b"GET /\xff\xfe\x80 HTTP/1.1\r\nHost: a\r\n\r\n", 404),
        (b"GET /metrics HTTP/1.1\r\nHost: \xff\xfe\r\n\r\n", 200),
        (b"GET /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nhello", 413),
        (b"GET /" + b"a" * 10000 + b" HTTP/1.1\r\nHost: a\r\n\r\n", 414),
        (b"GET /metrics HTTP/1.1\r\n" + (b"X-Pad: " + b"a" * 90 + b"\r\n") * 1000, 400),
        (b"this is no request\r\n\r\n", 400),
        (b"G" * (1 << 20), None),  # no line break ever: cut off unanswered
    ]
    for data, expected in rows:
        status = raw_request(port, data)
        check(status == expected, f"{data[:40]!r}...: answered {status}, not {expected}")
    # A slow request and a crowd of idle connections behind it hold no join:
    # a product delivered meanwhile is joined at once.
    started = time.monotonic()
    slow = socket.create_connection(("127.0.0.1", port), timeout=15)
    slow.sendall(b"GET /metrics HTTP/1.1\r\nHost: a\r\n")
    crowd = []
    for _ in range(60):  # beyond the backlog a connection waits: never the test
        crowd.append(socket.socket())
        crowd[-1].setblocking(False)
        crowd[-1].connect_ex(("127.0.0.1", port))
    extra = [path for path in station.files(station.times[2]) if "HRV" in path]
    station.deliver(extra)
    joined = wait_for(lambda: re.search(r"joined H-\S+HRV\S+-" + station.times[2], station.log()),
                      10, "the join beside the slow requests")
    check(joined and time.monotonic() - started < 5, "a join held up by slow requests")
    answer = slow.recv(4096)
    check(answer.startswith(b"HTTP/1.1 400 ") and 4 <= time.monotonic() - started < 9,
          f"the slow request's answer {answer[:20]!r} after {time.monotonic() - started:.1f} s")
    for connection in crowd + [slow]:
        connection.close()
    check(wait_for(lambda: get(station.url + "metrics")[0] == 200, 15, "the metrics again"),
          "metrics after the bad requests")
    print(f"{len(rows)} bad requests answered as they should; joins went on beside slow ones",
          flush=True)


def main():
    work = tempfile.mkdtemp(prefix="segweld-metrics-test-")
    station = Station(work)
    station.start()
    prometheus = None
    try:
        prometheus = Prometheus(work, station.port)
        wait_for(lambda: prometheus.query("up") == 1, 20, "the first scrape")
        a, gap, b, c = station.times
        station.deliver(station.files(a))
        wait_for(lambda: len(station.slot_records()) == 1, what="slot A")
        station.deliver([path for path in station.files(b)
                         if "HRV" not in path and "IR_108___-000003" not in path])
        wait_for(lambda: len(station.slot_records()) == 2, what="slot B")
        station.deliver(station.files(c))
        wait_for(lambda: len(station.slot_records()) == 3, what="slot C")
        station.deliver([path for path in station.files(c) if "WV_062___-000002" in path])
        wait_for(lambda: len(station.slot_records()) == 4, what="slot C late")
        check_refused_address(station)
        compare_with_log(station, prometheus)
        check_page(station)
        check_bad_requests(station)
    finally:
        if prometheus:
            prometheus.stop()
        station.watch.send_signal(signal.SIGTERM)
        status = station.watch.wait(30)
        check(status == 0, f"the watch ended with {status}")
    if failures:
        print(station.log()[-3000:])
        print(f"0 passed, {len(failures)} failed")
        return 1
    shutil.rmtree(work)
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
