#!/usr/bin/env python3
"""bench/run's judgement of its rounds: a figure over the rounds and its range,
the verdict on a target, and the folders that keep rounds apart.

    spread_test.py BENCH_DIR
"""
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, sys.argv.pop(1))
import round_folders  # noqa: E402
import spread  # noqa: E402


def ratio(m):
    return m["launcher"] / (m["decode"] + m["write"])


class SpreadTest(unittest.TestCase):
    def test_verdict_needs_the_whole_range_on_one_side(self):
        for low, high, at_most, expected in [
                (1.00, 1.15, True, "met"),  # the target itself is within it
                (1.10, 1.20, True, "not decided"),
                (1.16, 1.30, True, "missed"),
                (5.00, 6.00, False, "met"),
                (4.90, 6.00, False, "not decided"),
                (3.00, 4.99, False, "missed")]:
            target = 1.15 if at_most else 5
            self.assertEqual(spread.verdict(low, high, target, at_most), expected,
                             (low, high, at_most))

    def test_range_follows_the_rounds_and_repeats(self):
        steady = {"launcher": [2.0] * 5, "decode": [0.5] * 5, "write": [1.5] * 5}
        self.assertEqual(spread.figure_range(steady, ratio), (1.0, 1.0))
        # Drift that moves a whole round keeps the ratio: rounds stay together.
        drift = {name: [v * f for v, f in zip(values, (1, 2, 3, 1.5, 0.8))]
                 for name, values in steady.items()}
        low, high = spread.figure_range(drift, ratio)
        self.assertAlmostEqual(low, 1.0)
        self.assertAlmostEqual(high, 1.0)
        # Slow launcher rounds widen the range upwards only, the same way twice.
        noisy = dict(steady, launcher=[2.0, 4.0, 2.0, 2.0, 4.0])
        low, high = spread.figure_range(noisy, ratio)
        self.assertEqual(low, 1.0)
        self.assertEqual(high, 2.0)
        self.assertEqual(spread.figure_range(noisy, ratio), (low, high))
        with self.assertRaises(ValueError):
            spread.figure_range(dict(steady, write=[1.5] * 4), ratio)

    def test_figure_pairs_each_round_with_itself(self):
        # A slow phase that slows the launcher and its floors alike in the
        # last rounds, and one slow launcher run: the launcher is its floors'
        # equal in four rounds of five, which a ratio of the medians (4 / 2)
        # would not say.
        rounds = {"launcher": [2.0, 2.0, 4.0, 4.0, 4.0], "decode": [0.5] * 5,
                  "write": [1.5, 1.5, 1.5, 3.5, 3.5]}
        self.assertEqual(spread.figure_value(rounds, ratio), 1.0)


class RoundFoldersTest(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="tavmor-rounds-"))
        self.addCleanup(shutil.rmtree, self.work)
        self.root = self.work / "root"
        self.stamp = self.work / "removed.stamp"
        self.saved = round_folders.SETTLE_SECONDS
        self.addCleanup(setattr, round_folders, "SETTLE_SECONDS", self.saved)
        round_folders.SETTLE_SECONDS = 0.3

    def test_fresh_folders_budget_and_settling(self):
        (self.root / "left-over").mkdir(parents=True)
        folders = round_folders.RoundFolders(self.root, "C:\\b", self.stamp, budget_bytes=100)
        self.assertEqual(list(self.root.iterdir()), [])  # an earlier run's, removed
        unix, windows = folders.fresh("many/r0/write", 60)
        self.assertTrue(unix.is_dir())
        self.assertEqual(windows, "C:\\b\\many\\r0\\write")
        with self.assertRaises(ValueError):
            folders.fresh("many/r0/write")
        # Within the budget nothing goes; past it all goes, then a wait.
        self.assertFalse(folders.make_room(40))
        started = time.monotonic()
        self.assertTrue(folders.make_room(41))
        self.assertGreaterEqual(time.monotonic() - started, 0.2)
        self.assertFalse(unix.exists())
        # The wait holds for a later run too, measured from the removal.
        self.stamp.touch()
        self.assertGreater(round_folders.RoundFolders(self.root, "C:\\b", self.stamp, 100)
                           .settle(), 0.1)


if __name__ == "__main__":
    unittest.main()
