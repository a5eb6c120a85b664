#pragma once
// Which entries of the backup index a restore writes back, and whether an
// entry listed a while ago is still the one the index holds.

#include "backup/backup_store.h"

#include <cstddef>
#include <vector>

namespace vantiro {

// For "restore all": the positions in `oldestFirst` (the index, oldest entry
// first) of every page's oldest entry, which holds the page as it was before
// its first recorded change. Later entries of a page hold what earlier runs
// made of it, so restoring them too would only undo part of the way. Pages are
// told apart by the path their entries name. Positions ascend.
std::vector<std::size_t> oldestEntryOfEachPage(const std::vector<BackupEntry>& oldestFirst);

// Whether entry `number` (0-based, oldest first) of `current`, the index as it
// is now, is still `listed`: the same path, start, length and time. A list
// read before the store was cleared points into the new data file, at bytes
// of other pages.
bool stillListed(const std::vector<BackupEntry>& current, std::size_t number, const BackupEntry& listed);

}  // namespace vantiro
