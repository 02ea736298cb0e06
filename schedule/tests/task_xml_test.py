"""The task definition read as Task Scheduler reads it: XML in the Task Scheduler namespace,
declared UTF-16, with its command line split by the rules of CommandLineToArgvW."""
import subprocess
import sys
import xml.etree.ElementTree as ET

NS = {"t": "http://schemas.microsoft.com/windows/2004/02/mit/task"}
PROGRAM = r"C:\Program Files\Horalux\horalux.exe"


def split_windows_arguments(line):
    """CommandLineToArgvW's rules for the arguments after the program's name."""
    arguments, current, in_quotes, i, started = [], "", False, 0, False
    while i < len(line):
        c = line[i]
        if c == "\\":
            n = len(line[i:]) - len(line[i:].lstrip("\\"))
            if i + n < len(line) and line[i + n] == '"':
                current += "\\" * (n // 2)
                i += n
                if n % 2:
                    current += '"'
                    i += 1
                started = True
                continue
            current += "\\" * n
            i += n
            started = True
            continue
        if c == '"':
            if in_quotes and line[i + 1 : i + 2] == '"':
                current += '"'
                i += 2
                continue
            in_quotes = not in_quotes
            started = True
        elif c in " \t" and not in_quotes:
            if started:
                arguments.append(current)
            current, started = "", False
        else:
            current += c
            started = True
        i += 1
    if started:
        arguments.append(current)
    return arguments


def minutes(duration):
    assert duration.startswith("PT") and duration.endswith("M"), duration
    return int(duration[2:-1])


def check(urls, proxy):
    arguments = [PROGRAM, *urls] + (["--proxy", proxy] if proxy else [])
    text = subprocess.run([sys.argv[1], *arguments], check=True, capture_output=True,
                          text=True, encoding="utf-8").stdout
    assert text.startswith('<?xml version="1.0" encoding="UTF-16"?>'), text[:60]
    task = ET.fromstring(text.encode("utf-16"))
    assert task.tag == "{%s}Task" % NS["t"] and task.get("version") == "1.2"
    find = lambda path: task.find(path, NS)

    boot = find("t:Triggers/t:BootTrigger")
    assert len(find("t:Triggers")) == 1 and boot is not None
    assert 0 < minutes(boot.find("t:Delay", NS).text) <= 5
    assert minutes(boot.find("t:Repetition/t:Interval", NS).text) == 60
    assert boot.find("t:Repetition/t:Duration", NS) is None  # for ever
    restart = find("t:Settings/t:RestartOnFailure")
    assert int(restart.find("t:Count", NS).text) >= 2 and minutes(restart.find("t:Interval", NS).text) >= 1

    principal = find("t:Principals/t:Principal")
    assert principal.find("t:UserId", NS).text == "S-1-5-18"
    assert principal.find("t:RunLevel", NS).text == "HighestAvailable"
    assert find("t:Actions").get("Context") == principal.get("id")

    settings = {child.tag.split("}")[1]: child.text for child in find("t:Settings")}
    assert settings["DisallowStartIfOnBatteries"] == "false"
    assert settings["StopIfGoingOnBatteries"] == "false"
    assert settings["MultipleInstancesPolicy"] == "IgnoreNew"
    assert 1 <= minutes(settings["ExecutionTimeLimit"]) <= 10
    assert settings["Enabled"] == "true"

    exec_ = find("t:Actions/t:Exec")
    assert exec_.find("t:Command", NS).text == '"%s"' % PROGRAM
    assert exec_.find("t:WorkingDirectory", NS).text == r"C:\Program Files\Horalux"
    got = split_windows_arguments(exec_.find("t:Arguments", NS).text)
    want = ["--sync", *urls] + (["--proxy", proxy] if proxy else [])
    assert got == want, (got, want)


CASES = [
    (["http://intranet.example/"], ""),
    (["http://a.example/", "https://b.example:8443/t?x=1&y=<2>"], "http://proxy.example:8080"),
    # What quoting and XML must carry unharmed: quotes, backslashes before them, spaces, Chinese.
    (['http://a/"q"', "http://a/x\\", 'http://a/\\"', "http://a/ b", "http://时间.example/'"], ""),
]

for urls, proxy in CASES:
    check(urls, proxy)
print("task definition checked in %d cases" % len(CASES))
