#pragma once

#include <functional>

class QWidget;

// Runs `run` once on the event loop after `widget` has first been painted: start-up work that
// takes a while (the sound device, the soundfont) goes behind a window already on the screen.
// Nothing runs if the widget goes first.
void RunAfterFirstPaint(QWidget* widget, std::function<void()> run);
