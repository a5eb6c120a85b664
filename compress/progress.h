#pragma once
// The per-page progress indicator the compressor drives; the run window gives
// its bar, the command line a terminal line or nothing.

namespace vantiro {

class ProgressIndicator {
 public:
  virtual ~ProgressIndicator() = default;
  virtual void setRange(int minimum, int maximum) = 0;
  virtual void setValue(int value) = 0;
};

class NoProgress final : public ProgressIndicator {
 public:
  void setRange(int, int) override {}
  void setValue(int) override {}
};

}  // namespace vantiro
