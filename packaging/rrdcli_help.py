"""What rrdcli says about itself: its commands and, per command, its usage, description,
options and arguments, read from `rrdcli help` and `rrdcli COMMAND --help`.

The man page and the shell completion are generated from this at build time, so both follow
the program instead of a copy of its options that would drift."""

import re
import subprocess
from dataclasses import dataclass, field

# "a, b or c" in an option's description: the values the option accepts.
CHOICES = re.compile(r"\b([a-z][a-z0-9]*(?:, [a-z][a-z0-9]*)*,? or [a-z][a-z0-9]*)\b")
# Value names that stand for files or folders; every other value is typed by hand.
FILE_VALUES = re.compile(r"^(FILE|FILE\..*|PATH|OUT|OUTPUT|SOURCE|INPUT)$")
DIR_VALUES = re.compile(r"^DIR$")


@dataclass
class Option:
    names: list            # ["-o", "--output"]
    value: str             # "FILE", or "" for a switch
    description: str

    @property
    def choices(self):
        """The values the description lists ("quiet, avalanche or rain"), else []."""
        if not self.value:
            return []
        found = CHOICES.search(self.description)
        return re.split(r",? or |, ", found.group(1)) if found else []

    @property
    def kind(self):
        """How a shell completes the value: none (a switch), choice, file (or "file ini"
        for FILE.ini), dir or text."""
        if not self.value:
            return "none"
        if self.choices:
            return "choice"
        if DIR_VALUES.match(self.value):
            return "dir"
        if FILE_VALUES.match(self.value):
            extension = self.value.partition(".")[2]
            return f"file {extension}" if extension else "file"
        return "text"


@dataclass
class Command:
    name: str
    summary: str
    usage: str = ""
    description: str = ""
    options: list = field(default_factory=list)
    arguments: list = field(default_factory=list)   # [(name, description)]


def run(rrdcli, *args):
    return subprocess.run([rrdcli, *args], check=True, capture_output=True,
                          text=True).stdout


def parse_commands(text):
    """The (name, summary) pairs listed under "commands:" by `rrdcli help`."""
    commands = []
    listing = False
    for line in text.splitlines():
        if line.strip() == "commands:":
            listing = True
        elif listing and not line.strip():
            break
        elif listing:
            name, summary = line.strip().split(None, 1)
            commands.append((name, summary))
    return commands


def _sections(text):
    """Splits a command's help into its usage, description and titled sections, the
    continuation lines of a wrapped entry joined to it."""
    lines = text.splitlines()
    usage = lines[0].removeprefix("Usage: ")
    description, sections, title = [], {}, None
    for line in lines[1:]:
        heading = re.match(r"^(\w+):$", line)
        if heading:
            title = heading.group(1)
            sections[title] = []
        elif title is None:
            description.append(line)
        elif re.match(r"^\s{4,}\S", line) and sections[title]:
            sections[title][-1] += " " + line.strip()
        elif line.strip():
            sections[title].append(line.strip())
    return usage, " ".join(l.strip() for l in description if l.strip()), sections


def _option(entry):
    match = re.match(r"^((?:-[-\w]+, )*-[-\w]+)(?: <([^>]+)>)?\s{2,}(.*)$", entry)
    if not match:
        raise ValueError(f"unexpected option line in rrdcli's help: {entry!r}")
    return Option(match.group(1).split(", "), match.group(2) or "", match.group(3))


def parse_command(name, summary, text):
    usage, description, sections = _sections(text)
    command = Command(name, summary, usage, description)
    command.options = [_option(e) for e in sections.get("Options", [])]
    for entry in sections.get("Arguments", []):
        argument, _, meaning = entry.partition("  ")
        command.arguments.append((argument.strip(), meaning.strip()))
    return command


def read(rrdcli):
    """Every command of `rrdcli` with its help, in the order `rrdcli help` lists them;
    "help" itself has no options of its own."""
    commands = []
    for name, summary in parse_commands(run(rrdcli, "help")):
        if name == "help":
            commands.append(Command(name, summary, "rrdcli help [COMMAND]",
                                    "Describes rrdcli or one COMMAND."))
        else:
            commands.append(parse_command(name, summary, run(rrdcli, name, "--help")))
    return commands
