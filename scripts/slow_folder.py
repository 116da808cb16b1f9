#!/usr/bin/python3
"""A slow data folder: a FUSE passthrough of FOLDER at MOUNT that waits before every file call,
as a folder on a slow network share would. Runs until unmounted, then prints how many calls of
each kind it served to standard error.

    slow_folder.py [--call-ms 30] [--flush-ms 100] [--cache-s 1] [--trace] FOLDER MOUNT

Every call waits --call-ms, a flush or fsync --flush-ms instead. The kernel keeps names and
attributes it has seen for --cache-s seconds (its own default, 1 s; a network client keeps them
too); with 0 every look at a name reaches the folder and waits. Writes go through whole, not in
pages of 4 KiB. --trace prints every call to standard error as it comes.
"""
import argparse
import collections
import errno
import os
import sys
import threading
import time

import fusepy  # Debian's python3-fusepy names its module so

FLUSHES = {"flush", "fsync", "fsyncdir"}
UNTIMED = {"init", "destroy"}


class SlowFolder(fusepy.Operations):
    def __init__(self, root, call_s, flush_s, trace=False):
        self.root = os.path.realpath(root)
        self.trace = trace
        self.started = time.monotonic()
        self.call_s = call_s
        self.flush_s = flush_s
        self.counts = collections.Counter()
        self.counting = threading.Lock()

    def __call__(self, op, *args):
        if op not in UNTIMED:
            with self.counting:
                self.counts[op] += 1
            if self.trace:
                print(f"{time.monotonic() - self.started:9.3f} {op} {args[0] if args else ''}",
                      file=sys.stderr, flush=True)
            time.sleep(self.flush_s if op in FLUSHES else self.call_s)
        return super().__call__(op, *args)

    def full(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    # Names and attributes
    def getattr(self, path, fh=None):
        st = os.fstat(fh) if fh is not None else os.lstat(self.full(path))
        keys = ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime", "st_mtime",
                "st_ctime", "st_blocks")
        return {key: getattr(st, key) for key in keys}

    def access(self, path, mode):
        if not os.access(self.full(path), mode):
            raise fusepy.FuseOSError(errno.EACCES)

    def chmod(self, path, mode):
        os.chmod(self.full(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.full(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self.full(path), times)

    def statfs(self, path):
        sv = os.statvfs(self.full(path))
        keys = ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
                "f_flag", "f_frsize", "f_namemax")
        return {key: getattr(sv, key) for key in keys}

    # Wine keeps the DOS attributes (hidden, system) in an extended attribute.
    def getxattr(self, path, name, position=0):
        try:
            return os.getxattr(self.full(path), name, follow_symlinks=False)
        except OSError as error:
            raise fusepy.FuseOSError(error.errno)

    def setxattr(self, path, name, value, options, position=0):
        os.setxattr(self.full(path), name, value, options, follow_symlinks=False)

    def listxattr(self, path):
        return os.listxattr(self.full(path), follow_symlinks=False)

    def removexattr(self, path, name):
        os.removexattr(self.full(path), name, follow_symlinks=False)

    # Folders
    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.full(path))

    def mkdir(self, path, mode):
        os.mkdir(self.full(path), mode)

    def rmdir(self, path):
        os.rmdir(self.full(path))

    def rename(self, old, new):
        os.rename(self.full(old), self.full(new))

    def unlink(self, path):
        os.unlink(self.full(path))

    def mknod(self, path, mode, dev):
        os.mknod(self.full(path), mode, dev)

    # Files. The kernel asks create only for a name that is not there, so nothing is truncated.
    def create(self, path, mode, fi=None):
        return os.open(self.full(path), os.O_RDWR | os.O_CREAT, mode)

    def open(self, path, flags):
        return os.open(self.full(path), flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        if fh is not None:
            os.ftruncate(fh, length)
        else:
            os.truncate(self.full(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        if datasync:
            os.fdatasync(fh)
        else:
            os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--call-ms", type=float, default=30)
    parser.add_argument("--flush-ms", type=float, default=100)
    parser.add_argument("--cache-s", type=float, default=1)
    parser.add_argument("--trace", action="store_true")
    parser.add_argument("folder")
    parser.add_argument("mount")
    args = parser.parse_args()
    folder = SlowFolder(args.folder, args.call_ms / 1000, args.flush_ms / 1000, args.trace)
    fusepy.FUSE(folder, args.mount, foreground=True, nothreads=False, default_permissions=True,
                big_writes=True, attr_timeout=args.cache_s, entry_timeout=args.cache_s,
                negative_timeout=args.cache_s)
    calls = ", ".join(f"{op} {n}" for op, n in folder.counts.most_common())
    print(f"file calls served: {sum(folder.counts.values())} ({calls})", file=sys.stderr)


if __name__ == "__main__":
    main()
