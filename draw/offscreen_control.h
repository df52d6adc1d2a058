// The control that hosts a picture: the platform's picture host under the name the pictures
// use. It reports press, release (also x = y = -1 when the pointer leaves while pressed),
// move, double-click, right-click and single-file drops; see platform/qt/picture_host.h.
#pragma once

#include "platform/qt/picture_host.h"

class COffScreenControl : public plat::PictureHost {
 public:
  explicit COffScreenControl(QWidget* parent = nullptr) : plat::PictureHost(parent) {}
};
