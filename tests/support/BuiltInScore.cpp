#include "tests/support/BuiltInScore.h"

namespace testsupport {

const char kBuiltInScore[] =
    "s=100,0.1,1,0.1,2,0.1,3,0.1,4,0.1,5,0.1,6,0.1,7,1,10|0.1,1,0.1,3,0.1,5,0.1,3,1,1|"
    "1,1,1,3,1,5,1,3,0.1,1,0.1,3,0.1,5,0.1,3,10,1|0.11,10,0.01,10,0.11,5,0.01,5,0.11,3,"
    "0.01,3,0.11,1,0.01,1,0.11,5,0.01,4,0.11,3,0.01,2,10,1";
static_assert(sizeof(kBuiltInScore) == 216 + 1, "the built-in score has 216 characters");

}  // namespace testsupport
