// The base of the game's two screens, the interface through which a screen reports to the
// game object, and the interfaces through which the field manager and the tutorial window
// reach the puzzle screen.
#pragma once

#include <atomic>
#include <cstdint>

namespace Doduderor {

// The game object's side: a screen reports here. Every callback is empty in the interface.
class GameModuleObserver {
 public:
  virtual ~GameModuleObserver() = default;
  virtual void OnModuleFinished(std::uint32_t moduleId) {}
  virtual void OnExitRequest() {}
  virtual void OnQuitRequest() {}
  virtual void OnOptionsRequest() {}
};

// Module ids of the two screens.
constexpr std::uint32_t kStartModuleId = 1;
constexpr std::uint32_t kGameModuleId = 3;

class GameModule {
 public:
  GameModule(GameModuleObserver* observer, std::uint32_t id) : observer(observer), id(id) {}
  virtual ~GameModule() = default;
  virtual std::uint32_t GetId() { return id; }
  // Builds the screen's controls.
  virtual void Init() {}
  // Gives the screen's controls back to the control factory.
  virtual void Release() {}
  virtual void Show() { active = true; }
  virtual void Hide() { active = false; }
  virtual bool IsActive() { return active; }

 protected:
  GameModuleObserver* observer;
  std::uint32_t id;
  // Read by timer callbacks on the timing thread.
  std::atomic<bool> active{false};
};

// The puzzle screen as the field manager sees it.
class IGameMgr {
 public:
  // The field is full.
  virtual void OnLevelComplete() = 0;
  virtual bool IsTutorialShown() = 0;
  // A line was selected during the tutorial; true when that moved the tutorial on.
  virtual bool OnTutorialLineSelected(bool horizontal) = 0;
  virtual void AdvanceTutorial() = 0;
  virtual bool IsPaused() = 0;
  virtual bool IsTutorialPlacementStep() = 0;
  // Called after a placement; the same as AdvanceTutorial.
  virtual void AdvanceTutorialAfterPlacement() = 0;

 protected:
  ~IGameMgr() = default;
};

// The puzzle screen as the tutorial window sees it.
class IGameHelpMgr {
 public:
  virtual void LockField() = 0;
  virtual void MarkHorizontalLines() = 0;
  virtual void HelpUnused1() = 0;
  virtual void MarkVerticalLines() = 0;
  virtual void HelpUnused2() = 0;
  virtual void PauseGame() = 0;

 protected:
  ~IGameHelpMgr() = default;
};

}  // namespace Doduderor
