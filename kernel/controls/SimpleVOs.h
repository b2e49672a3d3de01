// The four simplest visual objects: image, one-line text label, link and rectangle, each
// an implementation over VisibleObject_impl and a handle over BaseVO_bridge.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/controls/BaseVOBridge.h"
#include "kernel/controls/Handles.h"
#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"

namespace ControlLibrary {

class ImageVO_impl : public VisibleObject_impl {
 public:
  explicit ImageVO_impl(std::uint32_t id);
  ~ImageVO_impl() override;
  void Draw() override;
  bool SetImage(const std::string& name, bool fitSize);
  void SetSourceRect(const VORect& rect) { mSource = rect; }
  void SetRotation(double angle, const VOPoint& centre) {
    mAngle = angle;
    mCentre = centre;
  }
  void SetRotationPoint(const VOPoint& offset) { mOffset = offset; }
  std::string GetImageName();
  VORect GetSourceRect() const { return mSource; }

 private:
  int mImageId = -1;
  VORect mSource;
  double mAngle = 0.0;
  VOPoint mCentre;
  VOPoint mOffset;
};

// Shared by the label and the link: the font reference they hold.
class TextVOBase : public VisibleObject_impl {
 public:
  explicit TextVOBase(std::uint32_t id);
  ~TextVOBase() override;

 protected:
  // Swaps the held font reference.
  void HoldFont(IFont* font);
  // The current area one pixel wider and taller, moved by the parent's corner.
  VORect CurrentAreaPlusOne(const VOSize& extent);

  IFont* mFont = nullptr;
  std::string mText;
};

class StringVO_impl : public TextVOBase {
 public:
  explicit StringVO_impl(std::uint32_t id) : TextVOBase(id) {}
  void Update(std::vector<VORect>& fillList) override;
  void Draw() override;
  void SetFont(IFont* font);
  void SetText(const std::string& text);
  std::string GetText() const { return mText; }
  void SetShadow(bool shadow) { mShadow = shadow; }
  void SetShadowOffset(std::uint16_t dx, std::uint16_t dy) { mShadowOffset = {dx, dy}; }
  void SetShadowColor(const VOColor& color) { mShadowColor = color; }

 private:
  bool mShadow = false;
  VOColor mShadowColor{0, 0, 0};
  VOPoint mShadowOffset;
};

class LinkVO_impl : public TextVOBase {
 public:
  explicit LinkVO_impl(std::uint32_t id) : TextVOBase(id) {}
  void Update(std::vector<VORect>& fillList) override;
  void Draw() override;
  void OnMouseEnter() override;
  void OnMouseLeave() override;
  void OnMouseDown(int x, int y, int button, int clicks) override;
  void SetFont(IFont* font);
  void SetText(const std::string& text);
  std::string GetText() const { return mText; }
  void SetAddress(const std::string& address) { mAddress = address; }
  void SetHoverColor(const VOColor& color);

 private:
  std::string mAddress;
  VOColor mHoverColor{0, 0, 0};
};

class RectVO_impl : public VisibleObject_impl {
 public:
  explicit RectVO_impl(std::uint32_t id);
  void Draw() override;
  void SetFillMode(std::uint32_t mode);

 private:
  std::uint32_t mFillMode = 0;
};

class ImageVO_bridge : public BaseVO_bridge<IImageVO, ImageVO_impl> {
 public:
  explicit ImageVO_bridge(std::uint32_t id) : BaseVO_bridge(new ImageVO_impl(id)) {}
  bool SetImage(const std::string& name, bool fitSize) override { return mImpl->SetImage(name, fitSize); }
  void SetSourceRect(const VORect& rect) override { mImpl->SetSourceRect(rect); }
  void SetRotation(double angle, const VOPoint& centre) override { mImpl->SetRotation(angle, centre); }
  void SetRotationPoint(const VOPoint& offset) override { mImpl->SetRotationPoint(offset); }
  std::string GetImageName() override { return mImpl->GetImageName(); }
  VORect GetSourceRect() override { return mImpl->GetSourceRect(); }
};

class StringVO_Bridge : public BaseVO_bridge<IStringVO, StringVO_impl> {
 public:
  explicit StringVO_Bridge(std::uint32_t id) : BaseVO_bridge(new StringVO_impl(id)) {}
  void SetFont(IFont* font) override { mImpl->SetFont(font); }
  void SetText(const std::string& text) override { mImpl->SetText(text); }
  std::string GetText() override { return mImpl->GetText(); }
  void SetShadow(bool shadow) override { mImpl->SetShadow(shadow); }
  void SetShadowOffset(std::uint16_t dx, std::uint16_t dy) override { mImpl->SetShadowOffset(dx, dy); }
  void SetShadowColor(const VOColor& color) override { mImpl->SetShadowColor(color); }
};

class LinkVO_Bridge : public BaseVO_bridge<ILinkVO, LinkVO_impl> {
 public:
  explicit LinkVO_Bridge(std::uint32_t id) : BaseVO_bridge(new LinkVO_impl(id)) {}
  void SetFont(IFont* font) override { mImpl->SetFont(font); }
  void SetText(const std::string& text) override { mImpl->SetText(text); }
  std::string GetText() override { return mImpl->GetText(); }
  void SetAddress(const std::string& address) override { mImpl->SetAddress(address); }
  void SetHoverColor(const VOColor& color) override { mImpl->SetHoverColor(color); }
};

class RectVO_bridge : public BaseVO_bridge<IRectVO, RectVO_impl> {
 public:
  explicit RectVO_bridge(std::uint32_t id) : BaseVO_bridge(new RectVO_impl(id)) {}
  void SetFillMode(std::uint32_t mode) override { mImpl->SetFillMode(mode); }
};

}  // namespace ControlLibrary
