#include <gtest/gtest.h>

#include <string>

#include "platform/key_queue.h"
#include "backends/native/terminal_keys.h"

namespace {

// Every key in the queue, as numbers separated by blanks.
std::string Drain(KeyQueue& keys) {
  std::string out;
  std::uint8_t key;
  while (PopKey(keys, key)) out += std::to_string(key) + " ";
  return out;
}

std::string Decoded(std::string_view bytes, bool flush = true) {
  KeyQueue keys;
  int used = DecodeTerminalKeys(bytes, flush, keys);
  EXPECT_EQ(used, static_cast<int>(bytes.size())) << "for a complete input";
  return Drain(keys);
}

}  // namespace

TEST(TerminalKeys, CursorAndFunctionKeysBecomeZeroAndTheScanCode) {
  EXPECT_EQ(Decoded("\x1b[A"), "0 72 ");    // Up, normal cursor mode
  EXPECT_EQ(Decoded("\x1bOA"), "0 72 ");    // Up, application cursor mode
  EXPECT_EQ(Decoded("\x1b[20~"), "0 67 ");  // F9
  EXPECT_EQ(Decoded("\x1b[B\x1b[D\x1b[C"), "0 80 0 75 0 77 ");
  EXPECT_EQ(Decoded("\x1b[H\x1b[F\x1b[1~\x1b[4~\x1b[7~\x1b[8~"), "0 71 0 79 0 71 0 79 0 71 0 79 ");
  EXPECT_EQ(Decoded("\x1b[2~\x1b[3~\x1b[5~\x1b[6~"), "0 82 0 83 0 73 0 81 ");
  EXPECT_EQ(Decoded("\x1bOP\x1bOS\x1b[15~\x1b[17~\x1b[21~\x1b[23~\x1b[24~"),
            "0 59 0 62 0 63 0 64 0 68 0 133 0 134 ");
  EXPECT_EQ(Decoded("\x1b[11~\x1b[[A\x1b[[E"), "0 59 0 59 0 63 ");  // rxvt F1, Linux console F1, F5
  EXPECT_EQ(Decoded("\x1b[1;5A"), "0 72 ");  // Ctrl-Up counts as Up
}

TEST(TerminalKeys, PlainKeysEnterBackspaceAndEsc) {
  EXPECT_EQ(Decoded("aZ 1"), "97 90 32 49 ");
  EXPECT_EQ(Decoded("\r"), "13 ");
  EXPECT_EQ(Decoded("\x7f\b"), "8 8 ");
  EXPECT_EQ(Decoded("\x1b"), "27 ");
  EXPECT_EQ(Decoded("\x1bx"), "27 120 ");     // Alt-x: Esc, then x
  EXPECT_EQ(Decoded("\x1b[99~q"), "113 ");    // unknown sequences vanish whole
  EXPECT_EQ(Decoded("\x1bOM"), "13 ");        // keypad Enter
}

// A 0 read from the queue is always followed by a scan code, so a reader
// that takes the pair never swallows the key typed after Ctrl+@.
TEST(TerminalKeys, NulByteIsCtrlAtWithItsExtendedCode) {
  EXPECT_EQ(Decoded(std::string("\0a", 2)), "0 3 97 ");
  EXPECT_EQ(Decoded(std::string("4\0\0" "2", 4)), "52 0 3 0 3 50 ");
  KeyQueue keys;
  for (int i = 0; i < KeyQueueCapacity - 1; ++i) PushKey(keys, 'x');
  DecodeTerminalKeys(std::string_view("\0", 1), true, keys);  // no room for the pair: neither half
  EXPECT_EQ(keys.count, KeyQueueCapacity - 1);
}

TEST(TerminalKeys, IncompleteSequenceWaitsUntilFlushed) {
  KeyQueue keys;
  EXPECT_EQ(DecodeTerminalKeys("a\x1b", false, keys), 1);
  EXPECT_EQ(DecodeTerminalKeys("\x1b[2", false, keys), 0);
  EXPECT_EQ(DecodeTerminalKeys("\xc3", false, keys), 0);
  EXPECT_EQ(Drain(keys), "97 ");
  EXPECT_EQ(DecodeTerminalKeys("\x1b[2", true, keys), 3);  // gave up: Esc, '[', '2'
  EXPECT_EQ(Drain(keys), "27 91 50 ");
}

TEST(TerminalKeys, Utf8CharactersBecomeCodePage852) {
  EXPECT_EQ(Decoded("\xc3\xa9\xc5\x91\xc3\x9c"), "130 139 154 ");  // é ő Ü
  EXPECT_EQ(Decoded("\xe2\x82\xac" "a"), "97 ");                    // € is not in the code page
  EXPECT_EQ(Decoded("\xc3\xa9\xc5"), "130 ");  // a cut one, flushed, is dropped
}
