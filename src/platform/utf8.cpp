#include "platform/utf8.h"

#include "platform/cp852.h"
#include "platform/key_queue.h"

long NextCodePoint(std::string_view text, std::size_t& at) {
  const std::size_t start = at++;
  const auto lead = static_cast<unsigned char>(text[start]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || lead >= 0xF8) return Utf8Malformed;
  if (text.size() - start <= static_cast<std::size_t>(extra)) return Utf8Cut;
  long cp = lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(text[start + k]);
    if ((next & 0xC0) != 0x80) return Utf8Malformed;
    cp = cp << 6 | (next & 0x3F);
  }
  at = start + extra + 1;
  return cp;
}

int PushTypedText(KeyQueue& keys, std::string_view text) {
  int pushed = 0;
  for (std::size_t at = 0; at < text.size();) {
    const long cp = NextCodePoint(text, at);
    if (cp < 0x20 || cp == 0x7F) continue;
    const int byte = UnicodeToCp852(static_cast<char32_t>(cp));
    if (byte >= 0 && PushKey(keys, static_cast<std::uint8_t>(byte))) ++pushed;
  }
  return pushed;
}
