#pragma once
// Telling whether a file already holds what a write would put there, without
// writing: a run that is resumed recognises the outputs of an earlier one.

#include "meta/jpeg/img_data.h"

// True when the file open at `fd` holds exactly the bytes that writing `plan`
// would produce: its size first, then the header, the kept head segments and
// the rest, read in chunks (memory stays small whatever the file's size).
bool OutputMatches(const tOutputPlan& plan, int fd);

// True when the files open at `a` and `b` hold the same bytes.
bool SameContent(int a, int b);
