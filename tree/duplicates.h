// Folding duplicate nodes of one monitor together. A tree can hold the same
// resolution, or the same mode of one resolution, twice: made by an earlier
// detection that met a size again further down the system's list, or read
// from a file. Only the first of them is ever found for a display, so an
// association on a later copy would be shown and saved but never loaded.
// Detection folds such copies into the first one, keeping every
// association it can.
#pragma once

#include <memory>
#include <vector>

#include <QStringList>

#include "tree/nodes.h"

// Folds every Mode of `modes` (in list order) that is the SameMode as an
// earlier one into that earlier one, and leaves it out of `modes`. The
// earlier Mode takes the later one's association (text and curve) when it
// has none of its own; when both carry different texts, the earlier one's
// stays and the later one's text is added to `dropped`.
void foldDuplicateModes(std::vector<std::unique_ptr<Mode>>& modes, QStringList& dropped);

// Folds every Resolution of `resolutions` (in list order) into the first one
// of its size: the later one's Modes join the first one's (as
// foldDuplicateModes does, the first one's Modes first). One Resolution per
// size is left, in the order in which the sizes first appear, each without
// duplicate Modes.
void foldDuplicateResolutions(std::vector<std::unique_ptr<Resolution>>& resolutions,
                              QStringList& dropped);
