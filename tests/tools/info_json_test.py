#!/usr/bin/env python3
"""segweld-info --json read as a program reads it, with json and datetime.

Usage: info_json_test.py SEGWELD_INFO SEGWELD_SAMPLE
"""
import datetime
import json
import os
import subprocess
import sys
import tempfile

UTC = datetime.timezone.utc
LABELS = ["spacecraft", "channel", "sequenceNumber", "plannedStart", "plannedEnd",
          "representation", "imageId"]


def run_json(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    assert result.returncode in (0, 1), result.stderr
    return json.loads(result.stdout)


def day_segmented(stamp):
    """The time stamp's seven raw bytes (P field, days, milliseconds) as a time."""
    days = stamp[1] << 8 | stamp[2]
    milliseconds = int.from_bytes(bytes(stamp[3:7]), "big")
    epoch = datetime.datetime(1958, 1, 1, tzinfo=UTC)
    return epoch + datetime.timedelta(days=days, milliseconds=milliseconds)


def check_header(header):
    tm = header["nominalTime"]
    nominal = datetime.datetime.fromisoformat(header["nominalTimeUtc"].replace("Z", "+00:00"))
    assert nominal.utcoffset() == datetime.timedelta(0), nominal
    assert nominal == datetime.datetime(tm["tm_year"] + 1900, tm["tm_mon"] + 1, tm["tm_mday"],
                                        tm["tm_hour"], tm["tm_min"], tm["tm_sec"], tzinfo=UTC)
    assert nominal.strftime("%Y%m%d%H%M") == header["timeText"], header["timeText"]

    stamp = datetime.datetime.fromisoformat(header["timeStampUtc"].replace("Z", "+00:00"))
    assert stamp == day_segmented(header["timeStamp"]), (stamp, header["timeStamp"])
    assert stamp >= nominal, "a segment is stamped after its nominal time"

    labelled = header["segmentIdentification"]
    assert list(labelled) == LABELS, list(labelled)
    assert list(labelled.values()) == header["segmentId"]
    assert labelled["sequenceNumber"] == header["segmentNumber"]
    plan = header["segmentPlan"]
    assert (plan["start"], plan["end"]) == (labelled["plannedStart"], labelled["plannedEnd"])

    # Every one-character field is a string of one character, or empty when unset.
    for field in ("hritOrLrit", "hemisphere", "segmentKind", "compressedMark", "encryptedMark",
                  "compressionKind"):
        assert isinstance(header[field], str) and len(header[field]) <= 1, (field, header[field])


def main(info, sample):
    with tempfile.TemporaryDirectory() as folder:
        first = subprocess.run([sample, "--segments", "3", folder], check=True,
                               capture_output=True, text=True).stdout.strip()
        second = first.replace("-000001___-", "-000002___-")
        absent = os.path.join(folder, "absent")

        dump = run_json(info, "--json", first, second, absent)
        assert [entry["schema"] for entry in dump] == [2, 2, 2], dump
        for entry in dump[:2]:
            check_header(entry["header"])
        assert "header" not in dump[2] and dump[2]["refusal"], dump[2]

        series = run_json(info, "--series", "--json", first)
        assert series["schema"] == 2
        assert [s["number"] for s in series["segments"] if s["present"]] == [1, 2, 3]

        # Without segment 1 the summary takes the plan the other headers give, as the
        # header dump shows it, and counts the planned segments after the last present.
        os.remove(first)
        series = run_json(info, "--series", "--json", second)
        summary = series["summary"]
        plan = dump[1]["header"]["segmentPlan"]
        assert (summary["plannedStart"], summary["plannedEnd"]) == (plan["start"], plan["end"])
        assert summary["present"] == [2, 3], summary
        assert summary["missing"] == [1] + list(range(4, plan["end"] + 1)), summary
    print("segweld-info --json: schema, ISO 8601 times, characters, labelled identification "
          "and plan read back")


if __name__ == "__main__":
    main(*sys.argv[1:3])
