#pragma once
// Keeps a window current during a long loop (a compression run, a
// search-and-replace run, a restore) without repainting it at every value.
//
// Progress bars and status bars repaint themselves at once on every new value,
// and a run gives them thousands a second. While a pacer lives, those widgets
// still take every value but their painting waits: the screen is brought up
// to date at most kFramesPerSecond times a second, when the loop calls step().
// User input waits until the loop ends, as it did before.

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

namespace vantiro::ui {

class ScreenPacer {
 public:
  static constexpr int kFramesPerSecond = 30;

  // Milliseconds of a steady clock; tests give their own.
  using Clock = std::function<std::int64_t()>;

  // Holds the repaints of the progress bars and status bars inside `window`.
  explicit ScreenPacer(QWidget* window, Clock clock = {});
  // Releases the held widgets and shows the last values.
  ~ScreenPacer();
  ScreenPacer(const ScreenPacer&) = delete;
  ScreenPacer& operator=(const ScreenPacer&) = delete;

  // After a change: repaints what changed when a frame is due, else nothing.
  void step();
  // Repaints what changed now: before a long pause, so that the screen shows
  // the last values while the loop sleeps.
  void flush();
  // A box that waits for the user is shown with the window fully painted and
  // repainting itself; the holding resumes when it is answered.
  template <typename F>
  auto whileReleased(F&& waitForUser) {
    release();
    struct Resume {
      ScreenPacer& pacer;
      ~Resume() { pacer.hold(); }
    } resume{*this};
    return waitForUser();
  }

  // Frames painted so far.
  int frames() const { return frames_; }

 private:
  void hold();
  void release();
  void paint();

  Clock clock_;
  std::vector<QPointer<QWidget>> held_;
  std::int64_t lastFrame_ = 0;
  bool painted_ = false;
  int frames_ = 0;
};

}  // namespace vantiro::ui
