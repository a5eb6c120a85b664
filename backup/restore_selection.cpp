#include "backup/restore_selection.h"

#include <unordered_set>

namespace vantiro {

std::vector<std::size_t> oldestEntryOfEachPage(const std::vector<BackupEntry>& oldestFirst) {
  std::vector<std::size_t> chosen;
  std::unordered_set<Text> seen;
  for (std::size_t k = 0; k < oldestFirst.size(); ++k)
    if (seen.insert(oldestFirst[k].path).second) chosen.push_back(k);
  return chosen;
}

bool stillListed(const std::vector<BackupEntry>& current, std::size_t number, const BackupEntry& listed) {
  if (number >= current.size()) return false;
  const BackupEntry& now = current[number];
  return now.path == listed.path && now.start == listed.start && now.length == listed.length &&
         now.time == listed.time;
}

}  // namespace vantiro
