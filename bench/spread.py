"""What a figure of interleaved rounds is, how far it can be trusted, and the
verdict on a target.

Guarantee: `figure_value` and `figure_range` give the same numbers for the
same measurements (the resampling has a fixed seed), and `verdict` says
"met" or "missed" only when the whole range lies on one side of the target;
otherwise "not decided".

A figure such as launcher / (decode floor + write floor) is taken in each
round from that round's runs, and its value is the median over the rounds:
the drift of the shared machine, which touches every run of a round alike,
then moves the launcher and its floors together and leaves the figure be,
where a ratio of medians taken over all rounds apart would mix one round's
launcher with another's floors. Its range resamples whole rounds with
replacement (a bootstrap).
"""

import random
import statistics

RESAMPLES = 2000
COVERAGE = 0.9  # the range runs from the 5th to the 95th percentile
SEED = 26


def per_round(seconds, figure):
    """`seconds` maps each measurement to its time in every round, the same
    rounds in the same order for all; `figure` turns a dict of one round's
    times into one number. Returns the figure of each round."""
    counts = {len(values) for values in seconds.values() if values}
    if len(counts) != 1:
        raise ValueError(f"measurements with different numbers of rounds: {sorted(counts)}")
    (rounds,) = counts
    return [figure({name: values[i] for name, values in seconds.items() if values})
            for i in range(rounds)]


def figure_value(seconds, figure):
    """The median of the figure over the rounds."""
    return statistics.median(per_round(seconds, figure))


def figure_range(seconds, figure):
    """The 90% range of `figure_value` over rounds drawn again. Returns
    (low, high)."""
    rounds = per_round(seconds, figure)
    generator = random.Random(SEED)
    values = sorted(statistics.median(generator.choices(rounds, k=len(rounds)))
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
