// The animation effect: plays the frame series of an effect description, one image object
// per frame showing one cell of the description's strip image.
#pragma once

#include <functional>
#include <memory>

#include "kernel/effects/EffectBase.h"
#include "kernel/effects/EffectDescription.h"

namespace EffectLibrary {

// Where the frames' image objects come from and go back to. By default the control factory.
struct FrameObjectSource {
  std::function<ControlLibrary::IImageVO*()> create;
  std::function<void(ControlLibrary::IImageVO*)> destroy;

  static FrameObjectSource FromControlFactory();
};

class AnimationEffectImpl : public EffectImplBase<IAnimationEffect> {
 public:
  AnimationEffectImpl(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem,
                      FrameObjectSource frames = FrameObjectSource::FromControlFactory());
  ~AnimationEffectImpl() override;

  void SetDuration(std::int32_t) override {}
  bool Start(bool, std::uint16_t) override { return false; }
  void Stop() override;
  void SetVisible(bool visible) override;

  void ShowFirstFrame(std::int16_t effectIndex, bool visible) override;
  void StartEffect(std::int16_t effectIndex) override;
  void Reserved() override {}
  std::int32_t GetEffectCount() override;
  bool Load(const std::string& fileName) override;
  void SetPosition(int x, int y) override;
  void SetAlignment(std::uint32_t horizontal, std::uint32_t vertical) override;
  void SetLayer(std::uint16_t layer) override;

  const AnimationRecord* GetDescription() const { return mDescription.get(); }
  std::int16_t GetPlayingEffect() const { return mEffectIndex; }
  std::int16_t GetPlayingFrame() const { return mFrameIndex; }

 protected:
  void TimerTicked() override;
  void TimerFinished() override;

 private:
  const EffectRecord* PlayableEffect(std::int16_t index) const;
  void ForEachFrame(const std::function<void(ControlLibrary::IImageVO*)>& fn);
  void ShowFrame(std::int16_t effectIndex, std::int16_t frameIndex, bool visible);
  void RunFrameTimer(std::uint16_t ms);
  // Moves the playing series on to its next frame; false after the last one.
  bool ShowNextFrame(const EffectRecord& effect);
  // Runs the current frame's time; frames of time 0 pass at once, and past the last frame
  // the series finishes.
  void PlayFrames(const EffectRecord& effect);
  void FinishSeries(const EffectRecord& effect);
  void ReleaseDescription();

  FrameObjectSource mFrames;
  std::int16_t mEffectIndex = -1;
  std::int16_t mFrameIndex = -1;
  std::unique_ptr<AnimationRecord> mDescription;
};

}  // namespace EffectLibrary
