#pragma once
// The error a page routine raises; its description is appended to the page's
// path after "|" and shown in result lists, so it is written for the user.

#include <stdexcept>
#include <string>

namespace vantiro {

class PageError : public std::runtime_error {
 public:
  explicit PageError(const std::string& utf8Description) : std::runtime_error(utf8Description) {}
};

}  // namespace vantiro
