#!/usr/bin/env python3
"""Writes rrdcli's bash completion: the template with the tables of commands, options and
option values that rrdcli's help lists.

usage: make_completion.py RRDCLI TEMPLATE OUTPUT"""

import sys

import rrdcli_help


def case_function(name, rows, key_words):
    """A shell function that echoes the value of the row whose pattern matches its first
    `key_words` arguments, joined by a blank."""
    key = '"' + " ".join(f"${i + 1}" for i in range(key_words)) + '"'
    lines = [f"{name}()", "{", f"    case {key} in"]
    lines += [f'        {pattern}) echo "{value}" ;;' for pattern, value in rows]
    lines += ["    esac", "}"]
    return "\n".join(lines)


def quoted(*words):
    return "'" + " ".join(words) + "'"


def tables(commands):
    names = " ".join(c.name for c in commands)
    options, kinds, choices = [], [], []
    for command in commands:
        if command.name == "help":
            continue
        options.append((command.name,
                        " ".join(n for o in command.options for n in o.names)))
        for option in command.options:
            if option.kind == "none":
                continue
            keys = "|".join(quoted(command.name, n) for n in option.names)
            kinds.append((keys, option.kind))
            if option.choices:
                choices.append((keys, " ".join(option.choices)))
    with_arguments = "|".join(c.name for c in commands if c.arguments) or "''"
    return "\n\n".join([
        f'_rrdcli_commands()\n{{\n    echo "{names}"\n}}',
        case_function("_rrdcli_options", options, 1),
        "# How the value after an option is completed: choice, file (with the extension\n"
        "# the value's name asks for: FILE.ini), dir or text.\n"
        + case_function("_rrdcli_value_kind", kinds, 2),
        case_function("_rrdcli_choices", choices, 2),
        "_rrdcli_takes_arguments()\n{\n"
        f"    case $1 in {with_arguments}) return 0 ;; esac\n    return 1\n}}",
    ])


def main(rrdcli, template, output):
    text = open(template, encoding="utf-8").read()
    text = text.replace("@RRDCLI_TABLES@", tables(rrdcli_help.read(rrdcli)))
    with open(output, "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
