// Loading an effect description into frame objects and playing its effects frame by frame.
#include "kernel/effects/AnimationEffect.h"

#include <cstdint>

#include "kernel/common/GameFile.h"
#include "kernel/controls/IFactory.h"

namespace EffectLibrary {

FrameObjectSource FrameObjectSource::FromControlFactory() {
  FrameObjectSource source;
  source.create = []() -> ControlLibrary::IImageVO* {
    ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
    return factory != nullptr ? factory->CreateImageVO() : nullptr;
  };
  source.destroy = [](ControlLibrary::IImageVO* vo) {
    if (ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory()) factory->DeleteVO(vo);
  };
  return source;
}

AnimationEffectImpl::AnimationEffectImpl(std::uint32_t id, EffectMessageObserver* observer,
                                         TimeLibrary::ITimeSystem* timeSystem, FrameObjectSource frames)
    : EffectImplBase(id, observer, timeSystem), mFrames(std::move(frames)) {}

AnimationEffectImpl::~AnimationEffectImpl() {
  QuiesceTimer();
  ReleaseDescription();
}

void AnimationEffectImpl::ReleaseDescription() {
  if (mDescription && mFrames.destroy) ForEachFrame([this](ControlLibrary::IImageVO* vo) { mFrames.destroy(vo); });
  mDescription.reset();
  mEffectIndex = -1;
  mFrameIndex = -1;
}

void AnimationEffectImpl::ForEachFrame(const std::function<void(ControlLibrary::IImageVO*)>& fn) {
  if (!mDescription) return;
  for (EffectRecord& effect : mDescription->effects) {
    for (FrameRecord& frame : effect.frames) {
      if (frame.frameVO != nullptr) fn(frame.frameVO);
    }
  }
}

const EffectRecord* AnimationEffectImpl::PlayableEffect(std::int16_t index) const {
  if (!mDescription || index < 0 || static_cast<std::size_t>(index) >= mDescription->effects.size()) return nullptr;
  const EffectRecord& effect = mDescription->effects[static_cast<std::size_t>(index)];
  return effect.frames.empty() ? nullptr : &effect;
}

void AnimationEffectImpl::ShowFrame(std::int16_t effectIndex, std::int16_t frameIndex, bool visible) {
  const EffectRecord* effect = PlayableEffect(effectIndex);
  if (effect == nullptr || frameIndex < 0 || static_cast<std::size_t>(frameIndex) >= effect->frames.size()) return;
  if (ControlLibrary::IImageVO* vo = effect->frames[static_cast<std::size_t>(frameIndex)].frameVO)
    vo->SetVisible(visible);
}

void AnimationEffectImpl::RunFrameTimer(std::uint16_t ms) {
  mTimer->Stop();
  mTimer->SetTimes(ms, ms);
  mTimer->SetEndless(false);
  mTimer->Start(false, 0);
}

std::int32_t AnimationEffectImpl::GetEffectCount() {
  return mDescription ? static_cast<std::int32_t>(mDescription->effects.size()) : 0;
}

void AnimationEffectImpl::ShowFirstFrame(std::int16_t effectIndex, bool visible) {
  Busy busy(this);
  ShowFrame(effectIndex, 0, visible);
}

void AnimationEffectImpl::StartEffect(std::int16_t effectIndex) {
  const EffectRecord* effect = PlayableEffect(effectIndex);
  if (effect == nullptr) return;
  // A series of frames of time 0 ends here and now, and its finish is reported while busy,
  // under the callback lock, as the timer's reports are.
  Busy busy(this);
  // Starting over in the middle of a series: the frame shown so far goes away.
  if (mEffectIndex >= 0) ShowFrame(mEffectIndex, mFrameIndex, false);
  mEffectIndex = effectIndex;
  mFrameIndex = 0;
  ShowFrame(mEffectIndex, 0, true);
  PlayFrames(*effect);
}

bool AnimationEffectImpl::ShowNextFrame(const EffectRecord& effect) {
  const auto next = static_cast<std::size_t>(mFrameIndex) + 1;
  // Frames past the reach of the 16-bit frame index cannot be played: the series ends.
  if (next >= effect.frames.size() || next > static_cast<std::size_t>(INT16_MAX)) return false;
  ShowFrame(mEffectIndex, static_cast<std::int16_t>(next), true);
  ShowFrame(mEffectIndex, mFrameIndex, false);
  mFrameIndex = static_cast<std::int16_t>(next);
  return true;
}

void AnimationEffectImpl::PlayFrames(const EffectRecord& effect) {
  // The timer takes no period of 0, so a frame of time 0 passes at once.
  while (effect.frames[static_cast<std::size_t>(mFrameIndex)].time == 0) {
    if (!ShowNextFrame(effect)) {
      FinishSeries(effect);
      return;
    }
  }
  RunFrameTimer(effect.frames[static_cast<std::size_t>(mFrameIndex)].time);
}

void AnimationEffectImpl::FinishSeries(const EffectRecord& effect) {
  // A series of time 0 may end inside StartEffect, over the frame time of one it replaced.
  mTimer->Stop();
  if (effect.autohide) ShowFrame(mEffectIndex, mFrameIndex, false);
  mEffectIndex = -1;
  mFrameIndex = -1;
  // Last: the observer may destroy this effect from it.
  NotifyFinished();
}

void AnimationEffectImpl::TimerTicked() { NotifyStep(); }

void AnimationEffectImpl::TimerFinished() {
  const EffectRecord* effect = PlayableEffect(mEffectIndex);
  if (effect == nullptr || mFrameIndex < 0) return;
  if (ShowNextFrame(*effect)) {
    // Hiding the frame before may have reached an observer that destroyed the animation:
    // its frame timer is not started again.
    if (IsRetired()) return;
    PlayFrames(*effect);
  } else {
    FinishSeries(*effect);
  }
}

void AnimationEffectImpl::SetVisible(bool visible) {
  Busy busy(this);
  if (!visible) ForEachFrame([](ControlLibrary::IImageVO* vo) { vo->SetVisible(false); });
}

void AnimationEffectImpl::Stop() {
  Busy busy(this);
  mTimer->Stop();
  ForEachFrame([](ControlLibrary::IImageVO* vo) { vo->SetVisible(false); });
}

void AnimationEffectImpl::SetPosition(int x, int y) {
  ForEachFrame([x, y](ControlLibrary::IImageVO* vo) { vo->SetPosition(x, y); });
}

void AnimationEffectImpl::SetAlignment(std::uint32_t horizontal, std::uint32_t vertical) {
  ForEachFrame([horizontal, vertical](ControlLibrary::IImageVO* vo) { vo->SetAlignment(horizontal, vertical); });
}

void AnimationEffectImpl::SetLayer(std::uint16_t layer) {
  ForEachFrame([layer](ControlLibrary::IImageVO* vo) { vo->SetLayer(layer); });
}

bool AnimationEffectImpl::Load(const std::string& fileName) {
  CommonLibrary::GameFile file(fileName);
  if (!file.Open(CommonLibrary::GameFile::kModeReadWrite)) return false;
  std::string text;
  char chunk[512];
  std::size_t got = 0;
  do {
    got = file.ReadBytes(chunk, sizeof(chunk));
    text.append(chunk, got);
  } while (got == sizeof(chunk));
  file.Close();

  auto description = std::make_unique<AnimationRecord>();
  if (!ParseEffectDescription(text, *description)) return false;
  // Giving the old frames back hides them.
  Busy busy(this);
  mTimer->Stop();
  ReleaseDescription();
  mDescription = std::move(description);
  // Each frame gets its own image object showing its cell of the strip; they start hidden.
  const std::string image = "effects/" + mDescription->image;
  const int w = mDescription->frameW;
  const int h = mDescription->frameH;
  for (EffectRecord& effect : mDescription->effects) {
    for (FrameRecord& frame : effect.frames) {
      frame.frameVO = mFrames.create ? mFrames.create() : nullptr;
      if (frame.frameVO == nullptr) continue;
      frame.frameVO->SetImage(image, false);
      frame.frameVO->SetVisible(false);
      frame.frameVO->SetSize(w, h);
      frame.frameVO->SetSourceRect({(frame.index - 1) * w, 0, w, h});
    }
  }
  return true;
}

}  // namespace EffectLibrary
