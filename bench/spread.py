"""How far a figure made of medians can be trusted, and the verdict on a target.

Guarantee: `figure_range` gives the same range for the same measurements (its
resampling has a fixed seed), and `verdict` says "met" or "missed" only when
the whole range lies on one side of the target; otherwise "not decided".

A figure such as launcher / (decode floor + write floor) is taken from the
medians of interleaved rounds. Its range resamples whole rounds with
replacement (a bootstrap): a round's runs stay together, so the drift of the
shared machine, which touches every run of a round alike, moves the launcher
and its floors together, as it does in the figure itself.
"""

import random
import statistics

RESAMPLES = 2000
COVERAGE = 0.9  # the range runs from the 5th to the 95th percentile
SEED = 26


def medians(seconds, rounds=None):
    """The median of each measurement, over `rounds` (indices) or all."""
    return {name: statistics.median(values if rounds is None else [values[i] for i in rounds])
            for name, values in seconds.items() if values}


def figure_range(seconds, figure):
    """`seconds` maps each measurement to its time in every round, the same
    rounds in the same order for all; `figure` turns a dict of medians into
    one number. Returns (low, high)."""
    counts = {len(values) for values in seconds.values() if values}
    if len(counts) != 1:
        raise ValueError(f"measurements with different numbers of rounds: {sorted(counts)}")
    (rounds,) = counts
    generator = random.Random(SEED)
    values = sorted(figure(medians(seconds, [generator.randrange(rounds) for _ in range(rounds)]))
                    for _ in range(RESAMPLES))
    tail = (1 - COVERAGE) / 2
    return (values[round(tail * (RESAMPLES - 1))], values[round((1 - tail) * (RESAMPLES - 1))])


def verdict(low, high, target, at_most=True):
    """"met", "missed" or "not decided" for `figure <= target` (or `>=` when
    not `at_most`), given the figure's range."""
    if at_most:
        low, high, target = -high, -low, -target
    if low >= target:
        return "met"
    if high < target:
        return "missed"
    return "not decided"
