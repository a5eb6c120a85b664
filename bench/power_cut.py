#!/usr/bin/env python3
"""Power cuts during `vantiro-cli compress` and `replace`, on a real file system.

A loop-mounted ext4 image holds the pages and the program directory. A run is
started and, after a random delay, the file system is shut down without
flushing its log (FS_IOC_SHUTDOWN with the no-log-flush flag): what was not
durable then is lost, as in a power cut. After the image is mounted again
(the journal is replayed), `restore --all` must give back every page exactly.

    sudo bench/power_cut.py [compress|replace] [CUTS]      default: compress 20
    VANTIRO_CLI=path/to/vantiro-cli (default: the dev build's), PAGES=200,
    AFTER=0: cuts also fall up to that many seconds after a run ends, when the
    file system has committed the renames but perhaps not yet written the data
"""

import fcntl
import os
import random
import shutil
import subprocess
import sys
import time

FS_IOC_SHUTDOWN = 0x8004587D  # _IOR('X', 125, __u32)
NO_LOG_FLUSH = 2

here = os.path.dirname(os.path.abspath(__file__))
cli = os.environ.get("VANTIRO_CLI", os.path.join(here, "..", "build", "dev", "cli", "vantiro-cli"))
work = "/tmp/vantiro-power-cut"
image, mount = os.path.join(work, "fs.img"), os.path.join(work, "mnt")
pages = int(os.environ.get("PAGES", "200"))
after = float(os.environ.get("AFTER", "0"))


def sh(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def page_bytes(n):
    rows = "".join(f"  <tr>\r\n    <td>  row {r} of page {n}  </td>\r\n  </tr>\r\n" for r in range(300))
    return f"<html>\r\n<body>\r\n  <p>page   {n}   old</p>\r\n<table>\r\n{rows}</table>\r\n</body>\r\n</html>\r\n".encode()


def command(kind, site):
    if kind == "compress":
        return [cli, "--home", os.path.join(mount, "home"), "compress", "--quiet", site]
    # replace takes pages, not directories
    return [cli, "--home", os.path.join(mount, "home"), "replace", "--quiet", "--find", "old", "--with", "new",
            "--in", "text"] + [os.path.join(site, f"p{n}.htm") for n in range(pages)]


def one_cut(kind, delay):
    """Cuts the power `delay` seconds into a run; with no delay, lets the run end
    and cuts after it. Returns whether the run had ended, the pages changed on
    disk after the cut, the pages restore --all did not give back, and how long
    the run had."""
    site = os.path.join(mount, "site")
    os.makedirs(site)
    originals = {}
    for n in range(pages):
        name = os.path.join(site, f"p{n}.htm")
        originals[name] = page_bytes(n)
        with open(name, "wb") as f:
            f.write(originals[name])
    os.sync()
    started = time.monotonic()
    run = subprocess.Popen(command(kind, site), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if delay is None:
        run.wait()
    else:
        time.sleep(delay)
    finished = run.poll() is not None
    ran = time.monotonic() - started
    fd = os.open(mount, os.O_RDONLY)
    fcntl.ioctl(fd, FS_IOC_SHUTDOWN, NO_LOG_FLUSH.to_bytes(4, "little"))
    os.close(fd)
    run.kill()
    run.wait()
    sh("umount", mount)
    sh("mount", "-o", "loop", image, mount)
    changed = sum(1 for name, old in originals.items() if open(name, "rb").read() != old)
    subprocess.run([cli, "--home", os.path.join(mount, "home"), "restore", "--all", "--quiet"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    lost = [name for name, old in originals.items() if open(name, "rb").read() != old]
    shutil.rmtree(site)
    shutil.rmtree(os.path.join(mount, "home"), ignore_errors=True)
    return finished, changed, lost, ran


def main():
    kind = sys.argv[1] if len(sys.argv) > 1 else "compress"
    cuts = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    if os.path.ismount(mount):
        sh("umount", mount)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(mount)
    sh("truncate", "-s", "256M", image)
    sh("mkfs.ext4", "-q", "-F", image)
    sh("mount", "-o", "loop", image, mount)
    # How long a whole run takes, so that cuts fall inside it.
    length = one_cut(kind, None)[3]
    print(f"a whole {kind} run of {pages} pages takes {length:.2f}s")
    unrecoverable = 0
    for cut in range(cuts):
        delay = random.uniform(0.02, max(length * 0.95, 0.05) + after)
        finished, changed, lost, _ = one_cut(kind, delay)
        unrecoverable += len(lost)
        print(f"cut {cut + 1:2}: {kind} at {delay:5.2f}s{' (run had ended)' if finished else ''}: "
              f"{changed} pages changed on disk, {len(lost)} not given back")
    sh("umount", mount)
    print(f"{kind}: {cuts} cuts, {unrecoverable} pages unrecoverable")
    return 1 if unrecoverable else 0


if __name__ == "__main__":
    sys.exit(main())
