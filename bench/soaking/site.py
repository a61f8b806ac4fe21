"""The folder the soak serves: small files of known bytes, one 1 KiB file, a large file for the
clients that reset, and a folder of many entries for the slow listing readers."""
import os
import random
import urllib.parse

SMALL_FILES = 200
LARGE_SIZE = 8 * 1024 * 1024


def small_name(i):
    # Some names need percent-encoding, so the decoder is part of every check.
    return ("small %03d é.bin" if i % 10 == 0 else "small-%03d.bin") % i


def url_of(relative):
    return "/" + urllib.parse.quote(relative)


def _write(path, data):
    if not os.path.exists(path) or os.path.getsize(path) != len(data):
        with open(path, "wb") as f:
            f.write(data)


def make_site(folder, listing_entries):
    """Creates (or completes) the site; idempotent, so a second run reuses it."""
    rng = random.Random(20)
    os.makedirs(os.path.join(folder, "files"), exist_ok=True)
    for i in range(SMALL_FILES):
        size = rng.choice([0, 1, 100, 1024, 4000, 16384, rng.randrange(1, 65536)])
        _write(os.path.join(folder, "files", small_name(i)), rng.randbytes(size))
    _write(os.path.join(folder, "one.kib"), rng.randbytes(1024))
    _write(os.path.join(folder, "large.bin"), rng.randbytes(LARGE_SIZE))
    big = os.path.join(folder, "big-%d" % listing_entries)
    os.makedirs(big, exist_ok=True)
    if len(os.listdir(big)) != listing_entries:
        for i in range(listing_entries):
            open(os.path.join(big, "entry-%06d.txt" % i), "wb").close()
    return "big-%d" % listing_entries


def small_files(folder):
    """URL path -> bytes of every small file."""
    files = {}
    for i in range(SMALL_FILES):
        name = small_name(i)
        with open(os.path.join(folder, "files", name), "rb") as f:
            files[url_of("files/" + name)] = f.read()
    return files


def read_file(folder, relative):
    with open(os.path.join(folder, relative), "rb") as f:
        return f.read()
