#!/usr/bin/env python3
"""Writes the COMMANDS section of rrdcli(1) for help2man: every command's usage,
description, options and arguments as `rrdcli COMMAND --help` gives them.

usage: make_man_commands.py RRDCLI OUTPUT.h2m"""

import sys

import rrdcli_help


def roff(text):
    """Text safe in a roff line: backslashes and hyphens escaped, no control character
    at the start."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def option_tag(option):
    names = ", ".join(f"\\fB{roff(n)}\\fR" for n in option.names)
    return f"{names} \\fI{roff(option.value)}\\fR" if option.value else names


def command_section(command):
    lines = [f'.SS "{roff(command.usage)}"', roff(command.description)]
    for option in command.options:
        lines += [".TP", option_tag(option), roff(option.description)]
    for argument, meaning in command.arguments:
        lines += [".TP", f"\\fI{roff(argument)}\\fR", roff(meaning)]
    return lines


def main(rrdcli, output):
    lines = ["[COMMANDS]"]
    for command in rrdcli_help.read(rrdcli):
        lines += command_section(command)
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
