"""Build-time check of an ELF stub: ".vm" must be a non-allocated section that
lies after every loadable segment, so the executable writer can grow it
without moving anything the loader maps."""
import subprocess
import sys

readelf, stub = sys.argv[1], sys.argv[2]
text = subprocess.run([readelf, "-S", "-l", "-W", stub], capture_output=True, text=True, check=True).stdout
vm = None
for line in text.splitlines():
    words = line.replace("[ ", "[").split()
    if len(words) > 5 and words[1] == ".vm":
        vm = (int(words[4], 16), int(words[5], 16), words[7] if len(words) > 7 and words[7].isalpha() else "")
if vm is None:
    sys.exit("%s: no .vm section" % stub)
if "A" in vm[2]:
    sys.exit("%s: .vm is allocated" % stub)
for line in text.splitlines():
    words = line.split()
    if words and words[0] == "LOAD":
        offset, size = int(words[1], 16), int(words[4], 16)
        if offset + size > vm[0]:
            sys.exit("%s: a LOAD segment reaches past the start of .vm" % stub)
