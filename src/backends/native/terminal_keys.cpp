#include "backends/native/terminal_keys.h"

#include <cstdint>

#include "text/cp852.h"
#include "platform/key_queue.h"
#include "text/utf8.h"

namespace {

// The PC's extended code of Ctrl+@ (the terminal sends it as the byte 0).
constexpr std::uint8_t CtrlAtScanCode = 3;

int ScanCodeOfTilde(int number) {
  switch (number) {
    case 1: case 7: return ScanHome;
    case 2: return ScanIns;
    case 3: return ScanDel;
    case 4: case 8: return ScanEnd;
    case 5: return ScanPgUp;
    case 6: return ScanPgDn;
    case 11: case 12: case 13: case 14: case 15: return ScanF1 + number - 11;
    case 17: case 18: case 19: case 20: case 21: return ScanF1 + 5 + number - 17;
    case 23: return ScanF11;
    case 24: return ScanF12;
    default: return 0;
  }
}

// Scan code of a cursor or function key named by the last byte of its
// sequence (ESC [ x or ESC O x), or 0.
int ScanCodeOfFinal(std::uint8_t final) {
  switch (final) {
    case 'A': return ScanUp;
    case 'B': return ScanDown;
    case 'C': return ScanRight;
    case 'D': return ScanLeft;
    case 'H': return ScanHome;
    case 'F': return ScanEnd;
    case 'P': case 'Q': case 'R': case 'S': return ScanF1 + final - 'P';
    default: return 0;
  }
}

// One escape sequence at b[0] = ESC: bytes used (> 0), 0 when incomplete,
// -1 when it is no sequence (a lone Esc key).
int DecodeEscape(const std::uint8_t* b, int n, KeyQueue& keys) {
  if (n < 2) return 0;
  if (b[1] == 'O') {  // SS3: application cursor keys, F1 to F4
    if (n < 3) return 0;
    if (b[2] == 'M') {
      PushKey(keys, 13);
    } else if (int scan = ScanCodeOfFinal(b[2]); scan != 0) {
      PushExtendedKey(keys, static_cast<std::uint8_t>(scan));
    }
    return 3;
  }
  if (b[1] != '[') return -1;
  if (n < 3) return 0;
  if (b[2] == '[') {  // the Linux console's F1 to F5
    if (n < 4) return 0;
    if (b[3] >= 'A' && b[3] <= 'E')
      PushExtendedKey(keys, static_cast<std::uint8_t>(ScanF1 + b[3] - 'A'));
    return 4;
  }
  // CSI: parameter bytes, intermediate bytes, one final byte.
  int j = 2, number = 0;
  bool inFirst = true;
  for (; j < n && b[j] >= 0x30 && b[j] <= 0x3F; ++j) {
    if (b[j] >= '0' && b[j] <= '9' && inFirst && number < 1000) number = number * 10 + (b[j] - '0');
    else inFirst = false;
  }
  for (; j < n && b[j] >= 0x20 && b[j] <= 0x2F; ++j) {}
  if (j >= n) return 0;
  if (b[j] < 0x40 || b[j] > 0x7E) return -1;
  int scan = b[j] == '~' ? ScanCodeOfTilde(number) : ScanCodeOfFinal(b[j]);
  if (scan != 0) PushExtendedKey(keys, static_cast<std::uint8_t>(scan));
  return j + 1;
}

}  // namespace

int DecodeTerminalKeys(std::string_view bytes, bool flush, KeyQueue& keys) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  int n = static_cast<int>(bytes.size());
  int i = 0;
  while (i < n) {
    std::uint8_t c = b[i];
    if (c == 27) {
      int used = DecodeEscape(b + i, n - i, keys);
      if (used > 0) {
        i += used;
        continue;
      }
      if (used == 0 && !flush) break;
      PushKey(keys, 27);
      ++i;
      continue;
    }
    if (c >= 0x80) {
      std::size_t at = static_cast<std::size_t>(i);
      const long cp = NextCodePoint(bytes, at);
      if (cp == Utf8Cut && !flush) break;  // the rest of the character is on its way
      // A broken sequence drops its first byte; only letters beyond ASCII come as several bytes.
      if (int code = cp >= 0x80 ? UnicodeToCp852(static_cast<char32_t>(cp)) : -1; code >= 0x80)
        PushKey(keys, static_cast<std::uint8_t>(code));
      i = static_cast<int>(at);
      continue;
    }
    if (c == 0) {
      // Ctrl+@: a PC reads it as 0 and then 3, its extended code, so a 0
      // taken from the queue is always followed by a scan code.
      PushExtendedKey(keys, CtrlAtScanCode);
    } else {
      PushKey(keys, c == 127 ? 8 : c);
    }
    ++i;
  }
  return i;
}
