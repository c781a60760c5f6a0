#!/usr/bin/env python3
"""Writes the thermava-cli manual page from the tool's own help texts.

    gen_manpage.py PATH/TO/thermava-cli OUTPUT.1

The page lists every command with its options as `thermava-cli <command> --help` prints
them, so it never disagrees with the tool it documents.
"""

import os
import re
import subprocess
import sys


def run(tool, *args):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run([tool, *args], capture_output=True, text=True, env=env, timeout=60)
    return done.stdout


def roff(text):
    text = text.replace("\\", "\\\\").replace("-", "\\-")
    # A line that starts with a dot or quote would be read as a request.
    return "\n".join(("\\&" + line) if line[:1] in (".", "'") else line for line in text.splitlines())


def commands(overview):
    found = []
    in_list = False
    for line in overview.splitlines():
        if line.startswith("Commands:"):
            in_list = True
            continue
        if in_list:
            m = re.match(r"^  (\S+)\s+(.*)$", line)
            if not m:
                if found:
                    break
                continue
            found.append((m.group(1), m.group(2)))
    return found


def options(help_text):
    """The option lines of a command's help, joined where a description wraps."""
    items = []
    in_options = False
    for line in help_text.splitlines():
        if line.startswith("Options:"):
            in_options = True
            continue
        if not in_options or not line.strip():
            continue
        m = re.match(r"^  (-\S.*?)(?:\s{2,}(.*))?$", line)
        if m:
            items.append([m.group(1), m.group(2) or ""])
        elif items:
            items[-1][1] = (items[-1][1] + " " + line.strip()).strip()
    return [(flag, desc) for flag, desc in items if "--help" not in flag]


def description(help_text):
    lines = help_text.splitlines()
    body = []
    for line in lines[1:]:
        if line.startswith("Options:") or line.startswith("Arguments:"):
            break
        body.append(line)
    return "\n".join(body).strip()


def main(argv):
    if len(argv) != 3:
        raise SystemExit("usage: gen_manpage.py THERMAVA_CLI OUTPUT")
    tool, output = argv[1], argv[2]
    version = run(tool, "--version").strip().split()[-1] if run(tool, "--version").strip() else ""
    overview = run(tool, "--help")
    out = [
        f'.TH THERMAVA\\-CLI 1 "" "Thermava {version}" "User Commands"',
        ".SH NAME",
        "thermava\\-cli \\- the Thermava thermal camera client without a window",
        ".SH SYNOPSIS",
        ".B thermava\\-cli",
        "[\\fB\\-\\-verbose\\fR] [\\fB\\-\\-camera\\fR \\fICHOICE\\fR] \\fIcommand\\fR [\\fIoptions\\fR]",
        ".SH DESCRIPTION",
        "thermava\\-cli runs the client's own device, video and measurement code from the command line: "
        "camera information, temperatures, snapshots, recordings, bad pixel tables and firmware upgrades.",
        ".SH COMMANDS",
    ]
    for name, summary in commands(overview):
        help_text = run(tool, name, "--help")
        out += [".SS " + roff(name), ".nf", roff(description(help_text) or summary), ".fi"]
        for flag, desc in options(help_text):
            out += [".TP", "\\fB" + roff(flag) + "\\fR", roff(desc)]
    out += [
        ".SH EXIT STATUS",
        "0 success, 1 the command failed, 2 bad command line, 3 no camera, 4 the camera refused.",
        ".SH FILES",
        "\\fI$XDG_CONFIG_HOME/thermava/Config.ini\\fR (installed) or \\fIConfig.ini\\fR beside the program "
        "(a copy run from a folder the user may write).",
        ".SH SEE ALSO",
        ".BR thermava (1)",
    ]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv)
