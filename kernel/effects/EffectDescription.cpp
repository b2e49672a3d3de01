// The effect description reader. Keys are found by plain substring search inside their
// block, so their order does not matter and only the first occurrence counts. A value starts
// right after its key (after the opening quote for quoted keys) and runs to the next double
// quote, NUL or CR, or the end of its block.
#include "kernel/effects/EffectDescription.h"

#include <algorithm>
#include <optional>

namespace EffectLibrary {
namespace {

constexpr std::string_view kAnimationTag = "[animation]";
constexpr std::string_view kEffectTag = "[effect]";
constexpr std::string_view kFrameTag = "[frame]";

std::optional<std::string_view> Value(std::string_view block, std::string_view key, bool quoted) {
  const std::size_t at = block.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  std::size_t start = at + key.size();
  if (quoted) start = std::min(block.size(), start + 1);
  std::size_t end = start;
  while (end < block.size() && block[end] != '"' && block[end] != '\0' && block[end] != '\r') ++end;
  return block.substr(start, end - start);
}

// Leading decimal digits, held at 65535.
std::uint16_t Number(std::string_view value) {
  std::uint32_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    n = std::min<std::uint32_t>(65535, n * 10 + static_cast<std::uint32_t>(c - '0'));
  }
  return static_cast<std::uint16_t>(n);
}

// Splits `text` into the pieces that each begin at an occurrence of `tag`.
std::vector<std::string_view> Blocks(std::string_view text, std::string_view tag) {
  std::vector<std::string_view> blocks;
  std::size_t at = text.find(tag);
  while (at != std::string_view::npos) {
    const std::size_t next = text.find(tag, at + tag.size());
    blocks.push_back(text.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
    at = next;
  }
  return blocks;
}

bool ParseFrame(std::string_view block, std::uint16_t effectTime, FrameRecord& frame) {
  const auto index = Value(block, "index=", false);
  if (!index) return false;
  frame.index = Number(*index);
  // Cells count from 1; a cell 0 would name a rectangle left of the image.
  if (frame.index == 0) return false;
  const auto time = Value(block, "time=", false);
  frame.time = time ? Number(*time) : effectTime;
  return frame.time != kNoTime;
}

bool ParseEffect(std::string_view block, EffectRecord& effect) {
  // The effect's own keys come before its first frame; a frame's keys are not the effect's.
  const std::string_view own = block.substr(0, block.find(kFrameTag));
  const auto name = Value(own, "[effect]=", true);
  if (!name || name->empty()) return false;
  effect.name = std::string(*name);
  const auto autohide = Value(own, "autohide=", false);
  effect.autohide = autohide && !autohide->empty() && autohide->front() == '1';
  if (const auto time = Value(own, "time=", false)) effect.time = Number(*time);
  for (std::string_view frameBlock : Blocks(block, kFrameTag)) {
    FrameRecord frame;
    if (!ParseFrame(frameBlock, effect.time, frame)) return false;
    effect.frames.push_back(frame);
  }
  return true;
}

}  // namespace

bool ParseEffectDescription(std::string_view text, AnimationRecord& out) {
  // The text ends at its first NUL, as a C string would.
  text = text.substr(0, text.find('\0'));
  const std::size_t firstEffect = text.find(kEffectTag);
  if (firstEffect == std::string_view::npos || text.find(kAnimationTag) == std::string_view::npos) return false;
  const std::string_view head = text.substr(0, firstEffect);
  AnimationRecord record;
  const auto image = Value(head, "image=", true);
  const auto frameH = Value(head, "frame_h=", false);
  const auto frameW = Value(head, "frame_w=", false);
  if (!image || image->empty() || !frameH || frameH->empty() || !frameW || frameW->empty()) return false;
  record.image = std::string(*image);
  record.frameW = Number(*frameW);
  record.frameH = Number(*frameH);

  const std::vector<std::string_view> blocks = Blocks(text.substr(firstEffect), kEffectTag);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EffectRecord effect;
    if (ParseEffect(blocks[i], effect)) {
      record.effects.push_back(std::move(effect));
    } else if (i == 0) {
      return false;
    }
  }
  out = std::move(record);
  return true;
}

}  // namespace EffectLibrary
