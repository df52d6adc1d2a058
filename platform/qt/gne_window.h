// The general library's window helpers: they need a window system, so they live on the Qt side.
#pragma once

#include <string>

class QWidget;

// Width and height of a window's frame and caption together: its outer size minus its inner one.
void GneGetFrameSize(const QWidget* window, int* width, int* height);

// The first visible top-level window whose title (CP932) and class name both match; an empty or
// null argument matches any. The class name of a window is its Qt class (for example "QDialog").
QWidget* GneFindWindow(const char* title, const char* class_name);

// 0 for small dialog units (average character width below 9 pixels), else 1 for a screen of 120
// pixels per logical inch, else 2.
int GneGetDisplayClass();
