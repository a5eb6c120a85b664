#pragma once
// The main window's task list as the windows under test see it.

#include "common/task_list_access.h"

#include <vector>

namespace vantiro::test {

class FakeTaskList final : public TaskListAccess {
 public:
  FakeTaskList() = default;
  explicit FakeTaskList(std::vector<Text> items) : items(std::move(items)) {}

  std::vector<Text> entries() const override { return items; }
  void clear() override { items.clear(); }
  void append(const Text& path) override { items.push_back(path); }

  std::vector<Text> items;
};

}  // namespace vantiro::test
