#pragma once

#include <cstdint>
#include <vector>

#include "playback/NotificationQueue.h"
#include "playback/PlayerNotification.h"
#include "playback/PlayerPlatform.h"

// The one place the player tells its observers: each notification is held until the moment
// it is heard (its due time plus the output latency) and handed out in order; what stops
// playback, or closes a take, is told at once. Remembers the phrase of the note told last.
class CPlayerNotifier {
 public:
  explicit CPlayerNotifier(PlayerPlatform& platform) : platform_(platform) {}
  CPlayerNotifier(const CPlayerNotifier&) = delete;
  CPlayerNotifier& operator=(const CPlayerNotifier&) = delete;

  void AddObserver(PlayerObserver* observer) { observers_.push_back(observer); }
  void RemoveObserver(PlayerObserver* observer);

  // Something due at dueMs: told when it is heard (at once where nothing waits before it and
  // the output has no latency). Its atMs is set here. Nothing is kept without observers.
  void Notify(PlayerNotification notification, int32_t dueMs);
  // Hands out what has become audible by nowMs; everything when `all`.
  void Deliver(int32_t nowMs, bool all);
  // Tells every observer now, after nothing else.
  void TellNow(const PlayerNotification& notification);

  // The phrase of the note observers heard last (0 until one is heard, or after a reset).
  int32_t SoundingRow() const { return soundingRow_; }
  void ResetSoundingRow() { soundingRow_ = 0; }

 private:
  void Tell(const PlayerNotification& notification);

  PlayerPlatform& platform_;
  std::vector<PlayerObserver*> observers_;
  CNotificationQueue pending_;
  int32_t soundingRow_ = 0;
};
