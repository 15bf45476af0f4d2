"""Fresh folders for every cold start, and removals kept apart from measured runs.

Guarantee: every folder that `RoundFolders.fresh` hands out is new (the root
was emptied when the object was made, and no name is handed out twice), a
folder that `keep` takes in is moved there whole, and
nothing below the root is removed between `settle()` and the next removal
phase. `settle()` returns only once SETTLE_SECONDS have passed since the last
bulk removal any benchmark run made on this machine; the time is kept in a
stamp file, so it holds for a run that starts right after another one.

Why: this machine's ext4 has no journal, and without one ext4 passes over
inodes freed within the last 60 seconds, or 360 while their inode-table block
is dirty, which it is again as soon as a new inode beside them is written.
Every new inode in the group scans past all of them from the group's start,
so a start that creates 10,000 files right after 10,000 others were removed
pays seconds of kernel time that a start on a settled file system does not.
"""

import os
import shutil
import sys
import time
from pathlib import Path

# Measured: creating 10,000 files natively after the removal of 10,000 others
# (bench/findings.md, "Comparable rounds").
SETTLE_SECONDS = 370


def log(message):
    print(f"bench: {message}", file=sys.stderr, flush=True)


class RoundFolders:
    """Folders below one root, on the Linux side and as Windows paths."""

    def __init__(self, root, windows_root, stamp, budget_bytes):
        self.root = Path(root)
        self.windows_root = windows_root.rstrip("\\")
        self.stamp = Path(stamp)
        self.budget = budget_bytes
        self.kept_bytes = 0
        self.handed_out = set()
        # Left behind by an interrupted run: removed now, so this run settles
        # after it like after any other removal.
        if self.root.exists() and any(self.root.iterdir()):
            self.remove_all()
        self.root.mkdir(parents=True, exist_ok=True)

    def fresh(self, name, expected_bytes=0):
        """A new empty folder `name` (a relative path with `/`), as a pair of
        its Linux path and its Windows path. `expected_bytes` is what will be
        written below it; it counts against the budget of kept folders."""
        if name in self.handed_out:
            raise ValueError(f"folder {name} was handed out before")
        self.handed_out.add(name)
        path = self.root / name
        path.mkdir(parents=True)
        self.kept_bytes += expected_bytes
        return path, self.windows_root + "\\" + name.replace("/", "\\")

    def keep(self, path, name, expected_bytes=0):
        """Moves the folder at `path` (a launcher's target directory, whose
        place its spec fixes) to `name`, as if `fresh` had handed that out,
        so that the next start finds no target directory. A rename frees no
        inode; `path` must lie on the root's file system."""
        unix, _ = self.fresh(name, expected_bytes)
        os.replace(path, unix)
        return unix

    def make_room(self, bytes_needed):
        """Before a round: when the folders kept so far and `bytes_needed`
        more would pass the budget, removes them all and settles. Returns
        whether it did."""
        if self.kept_bytes == 0 or self.kept_bytes + bytes_needed <= self.budget:
            return False
        log(f"removing {self.kept_bytes / 1e9:.1f} GB of finished rounds")
        self.remove_all()
        self.root.mkdir(parents=True, exist_ok=True)
        self.settle()
        return True

    def remove_all(self):
        for child in self.root.iterdir():
            shutil.rmtree(child) if child.is_dir() else child.unlink()
        self.kept_bytes = 0
        os.sync()
        self.stamp.parent.mkdir(parents=True, exist_ok=True)
        self.stamp.touch()

    def settle(self):
        """Waits until SETTLE_SECONDS have passed since the last removal."""
        os.sync()
        if not self.stamp.exists():
            return 0.0
        waited = max(0.0, self.stamp.stat().st_mtime + SETTLE_SECONDS - time.time())
        if waited > 0:
            log(f"waiting {waited:.0f} s for the file system to settle after a removal")
            time.sleep(waited)
        return waited
