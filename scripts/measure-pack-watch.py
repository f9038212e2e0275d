#!/usr/bin/env python3
"""The live edit loop's speed on the sample world's densest region (RGN04.GFF):
    measure-pack-watch.py BIN
BIN holds karst-gff and karst-sampleworld. Prints the median of 20 plain packs of the unpacked
region (process start included), and the median and 95th percentile of 20 saves timed from the
save until karst-gff pack --watch has replaced the game file (the 300 ms settle included)."""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    programs = os.path.abspath(sys.argv[1])
    gff = os.path.join(programs, "karst-gff")
    work = tempfile.mkdtemp(prefix="karst-measure-watch-")
    os.chdir(work)
    subprocess.run([os.path.join(programs, "karst-sampleworld"), "game"], stdout=subprocess.DEVNULL, check=True)
    subprocess.run([gff, "unpack", "game/RGN04.GFF", "-o", "rgn04"], stdout=subprocess.DEVNULL, check=True)
    packs = []
    for i in range(20):
        start = time.perf_counter()
        subprocess.run([gff, "pack", "rgn04", "-o", f"pack{i}.gff"], stdout=subprocess.DEVNULL, check=True)
        packs.append(time.perf_counter() - start)
    watch = subprocess.Popen([gff, "pack", "--watch", "rgn04", "-o", "game/RGN04.GFF", "--replace"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    saves = []
    for i in range(20):
        before = os.stat("game/RGN04.GFF").st_mtime_ns
        with open("rgn04/name.txt", "w", encoding="ascii") as name:
            name.write(f"Save {i}")
        start = time.perf_counter()
        while os.stat("game/RGN04.GFF").st_mtime_ns == before:
            if time.perf_counter() - start > 30:
                watch.kill()
                shutil.rmtree(work)
                print("a save was not packed within 30 s", file=sys.stderr)
                return 1
            time.sleep(0.001)
        saves.append(time.perf_counter() - start)
        time.sleep(0.2)
    watch.send_signal(signal.SIGINT)
    watch.wait()
    print(f"pack of RGN04 into a new file, median of 20: {statistics.median(packs) * 1000:.1f} ms")
    print(f"save to replaced, median of 20: {statistics.median(saves) * 1000:.1f} ms, "
          f"95th percentile: {sorted(saves)[18] * 1000:.1f} ms")
    os.chdir("/")
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
