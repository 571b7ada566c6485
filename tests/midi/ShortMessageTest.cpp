#include <gtest/gtest.h>

#include <vector>

#include "midi/ShortMessage.h"

namespace {

TEST(ShortMessageTest, SplitsWordsIntoTheirBytes) {
  struct Case {
    uint32_t word;
    std::vector<int> bytes;  // empty: dropped
  };
  const Case cases[] = {
      {0x7F3C90, {0x90, 0x3C, 0x7F}},  // note-on, channel 1, middle C, velocity 127
      {0x7F4590, {0x90, 0x45, 0x7F}},
      {0x004580, {0x80, 0x45, 0x00}},  // note-off
      {0x7F07B3, {0xB3, 0x07, 0x7F}},  // controller on channel 4
      {0x0005C0, {0xC0, 0x05}},        // program change: two bytes, the third ignored
      {0x7F05C0, {0xC0, 0x05}},
      {0x0040D0, {0xD0, 0x40}},
      {0x4000E0, {0xE0, 0x00, 0x40}},  // pitch bend centre
      {0x0000F8, {0xF8}},              // clock
      {0x0000FF, {0xFF}},              // reset
      {0x7F8290, {}},                  // note 130: no valid key byte
      {0x803C90, {}},                  // velocity byte out of range
      {0x7F3C10, {}},                  // no status byte
      {0x0000F0, {}},                  // system exclusive has no place here
      {0x0000F7, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.word);
    midi::ShortMessageBytes m;
    const bool valid = midi::DecodeShortMessage(c.word, m);
    ASSERT_EQ(valid, !c.bytes.empty());
    if (!valid) continue;
    ASSERT_EQ(m.length, static_cast<int>(c.bytes.size()));
    for (int i = 0; i < m.length; ++i) EXPECT_EQ(m.bytes[i], c.bytes[i]) << "byte " << i;
  }
}

}  // namespace
