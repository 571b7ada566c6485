#include "playback/TextBuffer.h"

char textBuffer[kTextBufferSize];
