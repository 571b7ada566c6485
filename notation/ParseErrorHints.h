#pragma once

class ScoreParseError;

// A line for the learner, in Chinese (UTF-8), on what a parse error means and how the
// notation writes it instead, for each message the score parser and the side files raise;
// "" for any other message. The messages themselves stay as they are.
const char* ParseErrorHint(const char* message);
const char* ParseErrorHint(const ScoreParseError& error);
