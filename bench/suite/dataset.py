"""The served folder: a small file, two listings, a 100 MiB and a 1 GiB file, readable by all."""
import os
import stat

SMALL = "small.txt"
LIST_SMALL = "list1000"
LIST_LARGE = "list50000"
BIG = "big100m.bin"
HUGE = "huge1g.bin"

SMALL_SIZE = 1024
BIG_SIZE = 100 * 1024 * 1024
HUGE_SIZE = 1024 * 1024 * 1024
MIB = 1024 * 1024


def _fill_listing(folder, count):
    os.mkdir(folder)
    # Names of 36 characters make the 50,000-entry page about 6.6 MB in Quorvin's markup.
    for i in range(count):
        open(os.path.join(folder, "entry-%05d-abcdefghijklmnopq.txt" % i), "wb").close()


def _write_random(path, size):
    with open(path, "wb") as out:
        left = size
        while left > 0:
            piece = os.urandom(min(left, MIB))
            out.write(piece)
            left -= len(piece)


def _write_sparse(path, size):
    # Real bytes at both ends and in the middle, holes elsewhere.
    with open(path, "wb") as out:
        out.truncate(size)
        for offset in (0, size // 2, size - MIB):
            out.seek(offset)
            out.write(os.urandom(MIB))


def _open_to_everyone(top):
    # nginx workers run as another user (www-data): every folder and file must be readable.
    folder_mode = stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH
    file_mode = stat.S_IRUSR | stat.S_IWUSR | stat.S_IRGRP | stat.S_IROTH
    os.chmod(top, folder_mode)
    for here, folders, files in os.walk(top):
        for name in folders:
            os.chmod(os.path.join(here, name), folder_mode)
        for name in files:
            os.chmod(os.path.join(here, name), file_mode)


def make_site(site):
    """Creates every file of the data set below `site` (which must not exist yet)."""
    os.mkdir(site)
    with open(os.path.join(site, SMALL), "wb") as out:
        out.write((b"Quorvin benchmark line.\n" * 64)[:SMALL_SIZE])
    _fill_listing(os.path.join(site, LIST_SMALL), 1000)
    _fill_listing(os.path.join(site, LIST_LARGE), 50000)
    _write_random(os.path.join(site, BIG), BIG_SIZE)
    _write_sparse(os.path.join(site, HUGE), HUGE_SIZE)
    _open_to_everyone(os.path.dirname(site))
