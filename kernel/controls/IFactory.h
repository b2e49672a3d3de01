// The control factory's interface to the game: everything the game shows or plays is made
// here and handed back here. The one factory of the process is reached through
// GetControlFactory().
#pragma once

#include <string>

#include "kernel/controls/Handles.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"
#include "kernel/controls/ITextVOs.h"
#include "kernel/controls/Observers.h"

namespace ControlLibrary {

class IFactory {
 public:
  virtual ~IFactory() = default;
  virtual IFont* CreateFont() = 0;
  // Releases of handles lower the count and delete the handle at 0.
  virtual void Release(IFont* font) = 0;
  virtual IToolTip* CreateToolTip() = 0;
  virtual void Release(IToolTip* toolTip) = 0;
  virtual ICursor* CreateCursor() = 0;
  virtual void Release(ICursor* cursor) = 0;
  virtual ISound* CreateSound() = 0;
  // Deletes the handle whatever its count.
  virtual void ReleaseSound(ISound* sound) = 0;
  // Objects are created hidden. Deleting lowers the count and removes the object at 0.
  virtual IRectVO* CreateRectVO() = 0;
  virtual void DeleteVO(IDialogVO* vo) = 0;
  virtual void DeleteVO(ITextBoxVO* vo) = 0;
  virtual void DeleteVO(IEditBoxVO* vo) = 0;
  virtual void DeleteVO(ICheckBoxVO* vo) = 0;
  virtual void DeleteVO(IButtonVO* vo) = 0;
  virtual void DeleteVO(ILinkVO* vo) = 0;
  virtual void DeleteVO(IStringVO* vo) = 0;
  virtual void DeleteVO(IImageVO* vo) = 0;
  virtual void DeleteVO(IRectVO* vo) = 0;
  virtual IImageVO* CreateImageVO() = 0;
  virtual IStringVO* CreateStringVO() = 0;
  virtual ILinkVO* CreateLinkVO() = 0;
  virtual IButtonVO* CreateButtonVO() = 0;
  virtual ICheckBoxVO* CreateCheckBoxVO() = 0;
  virtual IEditBoxVO* CreateEditBoxVO() = 0;
  virtual ITextBoxVO* CreateTextBoxVO() = 0;
  virtual IDialogVO* CreateDialogVO() = 0;
  virtual void SetDefaultCursor(ICursor* cursor) = 0;
  // Adds an archive to the process's pak files; the directory argument is not used.
  virtual void AddPakFile(const std::string& directory, const std::string& pakName) = 0;
  virtual std::string GetAppDataFolder() = 0;
  virtual void AddKeybdSysObserver(KeybdSysMessageObserver* observer) = 0;
  // Done by the observer's own destructor.
  virtual void RemoveKeybdSysObserver(KeybdSysMessageObserver* observer) = 0;
};

// The process's factory, or null before CreateControlFactory / after DestroyControlFactory.
IFactory* GetControlFactory();

}  // namespace ControlLibrary
