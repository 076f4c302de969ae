#!/usr/bin/env python3
"""Runs two builds of the demo (Qt 5 and Qt 6) with the same options and compares what they export:
the same files, byte for byte, except the random product ids and the JFIF resolution, which is
Qt's default for a new image (100 dpi on Qt 5, 96 on Qt 6)."""
import os, re, subprocess, sys, tempfile

def export(program, folder, options):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    subprocess.run([program, "--output", folder] + options, env=env, check=True, timeout=120,
                   stdout=subprocess.DEVNULL)
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = normalised(name, f.read())
    return files

def normalised(name, data):
    if name.endswith(".html"):
        data = re.sub(rb'id="p_[0-9a-f_]{36}"', b'id="p_"', data)
    if name.endswith(".jpg") and data[2:4] == b"\xff\xe0" and data[6:11] == b"JFIF\0":
        data = data[:13] + bytes(5) + data[18:]
    return data

def main():
    first, second = sys.argv[1:3]
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for i, options in enumerate([[], ["--language", "fr", "--country", "DE", "--currency", "CHF"]]):
            a = export(first, os.path.join(work, "a%d" % i), options)
            b = export(second, os.path.join(work, "b%d" % i), options)
            for name in sorted(set(a) | set(b)):
                if a.get(name) != b.get(name):
                    print("differs:", " ".join(options) or "(defaults)", name)
                    failures += 1
            print("compared %d files with options %s" % (len(a), options))
    return 1 if failures else 0

if __name__ == "__main__":
    sys.exit(main())
