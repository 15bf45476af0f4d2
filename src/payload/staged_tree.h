// The staged tree of a first start: no other program ever finds the target
// directory half filled.
//
// A first start, which finds no target directory, unpacks the whole tree
// into <target>.tavmor-partial beside it, writing every file in place, and
// gives that folder the target's name in one step at the end: other programs
// find no target directory or a whole one, and each file costs what a plain
// write costs. A staged tree a killed or failed start left behind is reused,
// its files checked like those of any found folder, by the next first start.
// The tree is held open for deletion, shared with no other deleter, from
// before its first file until it is in place or the run ends: a launcher that
// does not share the lock (another session's) cannot hold it too and waits,
// and no one can rename the tree away while a file in it is being written.
#pragma once
#include "base/utf16_text.h"

// Room for a path below the staged tree or the target directory.
constexpr size_t kStagedPathCapacity = kPathCapacity + 32;

// When the target directory `target` (no trailing backslash) does not exist,
// makes or reuses its staged tree, holds it and returns true; its root is
// then stagedTreeRoot(). Returns false, and the pass writes into the target
// directory file by file, when the target exists, when the tree cannot be
// made, or after waiting a minute for another session's launcher that holds
// it.
bool beginStagedTree(const Utf16Unit* target);

// <target>.tavmor-partial, once beginStagedTree returned true.
const Utf16Unit* stagedTreeRoot();

// Gives the staged tree the target directory's name in one step, retrying
// while a scanner holds one of its files; past the retries, or when the
// target directory has appeared meanwhile, moves its files into the target
// directory one by one. Releases the hold either way.
void putStagedTreeInPlace();
