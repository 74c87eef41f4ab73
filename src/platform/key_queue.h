// The one queue of typed keys. The back end feeds it (the terminal, the
// window, the page); the program takes keys from it only (KeyPressed, ReadKey). A key without a
// character arrives as two entries: 0, then its PC scan code.
#pragma once

#include <cstdint>

// Keys typed ahead beyond this are dropped: nobody types 255 keys between two
// looks at the queue.
inline constexpr int KeyQueueCapacity = 256;

struct KeyQueue {
  std::uint8_t keys[KeyQueueCapacity] = {};
  int head = 0;   // index of the oldest key
  int count = 0;  // keys waiting
  bool endRequested = false;  // the person asked to end (closed the window): as V would
  bool noMoreKeys = false;    // no key can ever come again (set by the back end)
  // ReadKey gave the 0 of a key without a character; its scan code is next.
  bool scanCodeWaiting = false;
};

// PC scan codes of the keys that have no character.
enum ScanCode : std::uint8_t {
  ScanF1 = 59, ScanF9 = 67, ScanF10 = 68, ScanHome = 71, ScanUp = 72, ScanPgUp = 73,
  ScanLeft = 75, ScanRight = 77, ScanEnd = 79, ScanDown = 80, ScanPgDn = 81,
  ScanIns = 82, ScanDel = 83, ScanF11 = 133, ScanF12 = 134,
};

// Append one key; false (and nothing stored) when the queue is full.
inline bool PushKey(KeyQueue& q, std::uint8_t key) {
  if (q.count == KeyQueueCapacity) return false;
  q.keys[(q.head + q.count) % KeyQueueCapacity] = key;
  ++q.count;
  return true;
}

// Append a key without a character: 0 then the scan code, both or neither.
inline bool PushExtendedKey(KeyQueue& q, std::uint8_t scanCode) {
  if (q.count > KeyQueueCapacity - 2) return false;
  PushKey(q, 0);
  PushKey(q, scanCode);
  return true;
}

// Take the oldest key; false when none is waiting.
inline bool PopKey(KeyQueue& q, std::uint8_t& key) {
  if (q.count == 0) return false;
  key = q.keys[q.head];
  q.head = (q.head + 1) % KeyQueueCapacity;
  --q.count;
  return true;
}
