#include "playback/PlayerNotifier.h"

#include <algorithm>

#include "playback/ClockMs.h"

void CPlayerNotifier::RemoveObserver(PlayerObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void CPlayerNotifier::Notify(PlayerNotification notification, int32_t dueMs) {
  if (observers_.empty()) return;
  notification.atMs = dueMs + platform_.OutputLatencyMs();
  // Heard already (no output latency) and nothing before it waits: tell observers now.
  if (pending_.Empty() && MsBetween(notification.atMs, dueMs) >= 0) {
    Tell(notification);
    return;
  }
  if (pending_.Full()) Tell(pending_.Pop());
  pending_.Push(notification);
}

void CPlayerNotifier::Deliver(int32_t nowMs, bool all) {
  while (!pending_.Empty() && (all || MsBetween(pending_.Front().atMs, nowMs) >= 0))
    Tell(pending_.Pop());
}

void CPlayerNotifier::TellNow(const PlayerNotification& notification) {
  for (PlayerObserver* observer : observers_) observer->OnPlayerNotification(notification);
}

void CPlayerNotifier::Tell(const PlayerNotification& notification) {
  if (notification.kind == PlayerNotification::kNote) soundingRow_ = notification.row;
  TellNow(notification);
}
