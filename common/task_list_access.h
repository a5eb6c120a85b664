#pragma once
// How windows other than the main window reach its task list: by position,
// as the search-and-replace window reads it and the list manager refills it.

#include "platform/text.h"

#include <vector>

namespace vantiro {

class TaskListAccess {
 public:
  virtual ~TaskListAccess() = default;
  virtual std::vector<Text> entries() const = 0;
  virtual void clear() = 0;
  // Appends without the presence test (list files load that way).
  virtual void append(const Text& path) = 0;
};

}  // namespace vantiro
