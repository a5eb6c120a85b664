#include "replace/stream_replacer.h"

#include "replace/search_replace.h"

#include <algorithm>

namespace vantiro {

StreamReplacer::StreamReplacer(TextView find, TextView replacement, int matchFlags, Put put)
    : replacement_(replacement),
      foldCase_((matchFlags & kMatchCase) == 0),
      wholeWord_((matchFlags & kMatchWholeWord) != 0),
      put_(std::move(put)) {
  needle_ = foldCase_ ? upperAscii(find) : Text(find);
  const std::size_t m = needle_.size();
  border_.assign(m, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && needle_[i] != needle_[k]) k = border_[k - 1];
    if (needle_[i] == needle_[k]) ++k;
    border_[i] = k;
  }
  start();
}

void StreamReplacer::start() {
  matched_ = position_ = resume_ = emitted_ = heldStart_ = 0;
  pending_ = npos;
  held_.clear();
  count_ = {};
}

char32_t StreamReplacer::at(std::size_t index, TextView part, std::size_t partStart) const {
  return index >= partStart ? part[index - partStart] : held_[index - heldStart_];
}

void StreamReplacer::putRange(std::size_t from, std::size_t to, TextView part, std::size_t partStart) {
  if (!put_ || from >= to) return;
  if (from < partStart) put_(TextView(held_).substr(from - heldStart_, std::min(to, partStart) - from));
  if (to > partStart) {
    const std::size_t begin = std::max(from, partStart);
    put_(part.substr(begin - partStart, to - begin));
  }
}

void StreamReplacer::accept(std::size_t start, TextView part, std::size_t partStart) {
  count_.replaced = true;
  putRange(emitted_, start, part, partStart);
  if (put_) put_(replacement_);
  emitted_ = start + needle_.size();
  resume_ = start + needle_.size() + 1;
}

void StreamReplacer::reject(std::size_t start) { resume_ = start + replacement_.size() + 1; }

void StreamReplacer::feed(TextView part) {
  const std::size_t m = needle_.size();
  if (m == 0) {
    if (put_ && !part.empty()) put_(part);
    return;
  }
  if (part.empty()) return;
  const std::size_t partStart = position_;
  if (pending_ != npos) {
    if (isWordCharacter(part[0]))
      reject(pending_);
    else
      accept(pending_, part, partStart);
    pending_ = npos;
  }

  // The search of findOccurrences, resumed where the last part left it.
  std::size_t k = matched_;
  for (std::size_t i = 0; i < part.size(); ++i) {
    const char32_t c = foldCase_ ? upperAscii(part[i]) : part[i];
    while (k > 0 && c != needle_[k]) k = border_[k - 1];
    if (c == needle_[k]) ++k;
    if (k < m) continue;
    k = border_[m - 1];
    const std::size_t start = partStart + i + 1 - m;
    if (start < resume_) continue;
    ++count_.count;  // counted before the whole-word test, as replaceInText counts
    if (wholeWord_) {
      if (start > 0 && isWordCharacter(at(start - 1, part, partStart))) {
        reject(start);
        continue;
      }
      if (i + 1 == part.size()) {
        pending_ = start;
        continue;
      }
      if (isWordCharacter(part[i + 1])) {
        reject(start);
        continue;
      }
    }
    accept(start, part, partStart);
  }
  matched_ = k;
  position_ = partStart + part.size();

  // What no later occurrence can take is put; the rest is held, with the
  // character before it for the whole-word test.
  const std::size_t settled = pending_ != npos ? pending_ : position_ - matched_;
  if (emitted_ < settled) {
    putRange(emitted_, settled, part, partStart);
    emitted_ = settled;
  }
  const std::size_t keepFrom = settled > 0 ? settled - 1 : 0;
  if (keepFrom < partStart)
    held_.erase(0, keepFrom - heldStart_);
  else
    held_.clear();
  held_ += part.substr(std::max(keepFrom, partStart) - partStart);
  heldStart_ = keepFrom;
}

StreamCount StreamReplacer::finish() {
  if (pending_ != npos) {
    accept(pending_, TextView(), position_);
    pending_ = npos;
  }
  putRange(emitted_, position_, TextView(), position_);
  emitted_ = position_;
  return count_;
}

}  // namespace vantiro
