#pragma once

namespace testsupport {

// The program's 216-character demonstration score, for tests that do not link the player;
// those that do use the player's own kBuiltInScore (a test of the program checks that the
// two agree).
extern const char kBuiltInScore[216 + 1];

}  // namespace testsupport
