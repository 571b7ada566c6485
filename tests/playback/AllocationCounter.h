#pragma once

// Number of global operator new calls so far in this program (the counting replacement
// is linked in with AllocationCounter.cpp).
long AllocationCount();
