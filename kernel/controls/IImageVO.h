// Handle interface of an image object: shows an image of the factory's table, whole,
// from a source rectangle, or rotated.
#pragma once

#include <string>

#include "kernel/controls/IVisibleObject.h"

namespace ControlLibrary {

class IImageVO : public IVisibleObject {
 public:
  // Finds or loads the image by name; false (and no change) when that fails. With fitSize
  // the object takes the image's size.
  virtual bool SetImage(const std::string& name, bool fitSize) = 0;
  // All zero means the whole image.
  virtual void SetSourceRect(const VORect& rect) = 0;
  virtual void SetRotation(double angle, const VOPoint& centre) = 0;
  virtual void SetRotationPoint(const VOPoint& offset) = 0;
  virtual std::string GetImageName() = 0;
  virtual VORect GetSourceRect() = 0;
};

}  // namespace ControlLibrary
