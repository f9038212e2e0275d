#!/usr/bin/env python3
"""Runs every example command of the README's code blocks on the sample world.

    readme_examples.py README BIN_DIR

Each example line (one beginning with one of our programs, in a code block that is not a usage
synopsis: a block with a "[" in it is one) runs in bash in a fresh folder of its own, with
  - HOME a folder whose game/ is the sample world, so "~/game" is a game folder;
  - the folder it runs in holding copies of the sample world's files, so a bare RGN01.GFF or
    OBJEX.GFF is one of them, and the outputs named relative to it stay there;
  - /tmp/ inside that folder, so that runs side by side never meet;
  - a pipe into another program (display, less, xxd) cut off, the output going to a file.
An example fails, naming its README line, when it exits non-zero, when an output named with -o
is missing or empty, or when one without -o prints nothing and makes no file. Programs that need
a screen are skipped, each with its reason, unless the example only asks for --help or --version.
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

PROGRAMS = ("karst-viewer", "karst-render", "karst-gff", "karst-sampleworld", "karst-workbench")
SKIPPED = {
    "karst-viewer": "needs a screen; the end-to-end tests run it in Xvfb",
    "karst-workbench": "opens a window; the end-to-end tests run it in Xvfb",
}
# Options that answer on standard output and end the program, whatever program it is: an example
# with one runs even where the program would otherwise need a screen.
ANSWERING = ("--help", "--version")


def examples(readme):
    """(line number, command) for every example line of the README's code blocks."""
    found = []
    block = None
    with open(readme, encoding="utf-8") as text:
        for number, line in enumerate(text, 1):
            if line.startswith("```"):
                if block is None:
                    block = []
                else:
                    if not any("[" in command for _, command in block):
                        found.extend(block)
                    block = None
            elif block is not None and line.split(" ", 1)[0] in PROGRAMS:
                block.append((number, line.rstrip("\n")))
    return found


def runnable(command, work):
    """The command as it is run: comment dropped, /tmp/ moved into the work folder, pipes into
    other programs cut off."""
    command = re.sub(r"\s+#.*$", "", command).replace("/tmp/", work + "/tmp/")
    kept = []
    for part in command.split(" | "):
        if part.split(" ", 1)[0] not in PROGRAMS:
            break
        kept.append(part)
    return " | ".join(kept)


def outputs(command):
    """The values of every -o and --output option of the command line."""
    words = shlex.split(command)
    named = []
    for i, word in enumerate(words):
        if word in ("-o", "--output") and i + 1 < len(words):
            named.append(words[i + 1])
        elif word.startswith("--output="):
            named.append(word.split("=", 1)[1])
    return named


def files_under(folder):
    return sum(len(names) for _, _, names in os.walk(folder))


def present(path):
    if os.path.isdir(path):
        return files_under(path) > 0
    return os.path.isfile(path) and os.path.getsize(path) > 0


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    readme, bin_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    environment = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])
    failures = 0
    ran = 0
    with tempfile.TemporaryDirectory(prefix="karst-readme-") as root:
        world = os.path.join(root, "world")
        subprocess.run([os.path.join(bin_dir, "karst-sampleworld"), world], check=True, stdout=subprocess.DEVNULL)
        found = examples(readme)
        for index, (number, line) in enumerate(found):
            program = line.split(" ", 1)[0]
            if program in SKIPPED and not any(word in ANSWERING for word in line.split()):
                print(f"README.md:{number}: skipped ({SKIPPED[program]}): {line}")
                continue
            work = os.path.join(root, str(index))
            run_in = os.path.join(work, "run")
            shutil.copytree(world, os.path.join(work, "home", "game"))
            shutil.copytree(world, run_in)
            os.makedirs(os.path.join(work, "tmp"))
            command = runnable(line, work)
            stdout_path = os.path.join(work, "stdout")
            with open(stdout_path, "wb") as stdout:
                before = files_under(work)
                result = subprocess.run(["bash", "-c", command], cwd=run_in, stdout=stdout, stderr=subprocess.PIPE,
                                        env=dict(environment, HOME=os.path.join(work, "home")))
            ran += 1
            problem = None
            if result.returncode != 0:
                problem = f"exit status {result.returncode}"
            else:
                missing = [name for name in outputs(command) if name != "-" and
                           not present(os.path.join(run_in, os.path.expanduser(name)))]
                printed = os.path.getsize(stdout_path) > 0
                if missing:
                    problem = "no output " + ", ".join(missing)
                elif not outputs(command) and not printed and files_under(work) == before:
                    problem = "printed nothing and wrote nothing"
                elif "-" in outputs(command) and not printed:
                    problem = "nothing on standard output"
            if problem:
                failures += 1
                print(f"FAIL README.md:{number}: {line}: {problem}", file=sys.stderr)
                sys.stderr.write(result.stderr.decode(errors="replace"))
            else:
                print(f"README.md:{number}: ok: {line}")
    print(f"{ran} examples run, {failures} failed")
    return 1 if failures or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
