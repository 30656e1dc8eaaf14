#include "app/placement_history.h"

namespace picmap {

void PlacementHistory::Changed(const Placement& before, const Placement& after) {
  if (before == after) return;
  if (undo_.size() >= kMaxSteps) undo_.erase(undo_.begin());
  undo_.push_back(before);
  redo_.clear();
}

bool PlacementHistory::Undo(Placement& current) {
  if (undo_.empty()) return false;
  redo_.push_back(current);
  current = undo_.back();
  undo_.pop_back();
  return true;
}

bool PlacementHistory::Redo(Placement& current) {
  if (redo_.empty()) return false;
  undo_.push_back(current);
  current = redo_.back();
  redo_.pop_back();
  return true;
}

void PlacementHistory::Clear() {
  undo_.clear();
  redo_.clear();
}

}  // namespace picmap
