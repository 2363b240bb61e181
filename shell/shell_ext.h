// The shell extension object: takes the selection, starts the update check and adds the
// rename page, living as long as the page does.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "engine/platform.h"
#include "engine/rename_state.h"
#include "shell/com_base.h"
#include "ui/isolation.h"
#include "win32/file_system.h"
#include "win32/handles.h"

namespace lark {

extern const CLSID CLSID_ShellExt;
// "Larkspindle_" + a fixed GUID + "_Mutex": present while any object lives.
extern const wchar_t kInstanceMutexName[];

class CShellExt : public IShellExtInit, public IShellPropSheetExt {
 public:
  // Creates an object and asks it for `iid`; the object dies again when that fails. Its
  // Rename journals in the user's own journal folder. Neither overload throws.
  static HRESULT create(REFIID iid, void** out);
  // The same, with its seams handed in (a test's own): the activation functions its
  // isolation-aware calls use, to reach the refused and the plain paths, and the folder
  // its Rename journals in, none when null.
  static HRESULT create(REFIID iid, void** out, const ActivationFunctions& activation,
                        std::unique_ptr<JournalFolder> journals);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY programKey) override;
  STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) override;
  STDMETHODIMP ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replacePage, LPARAM parameter) override;

  static UINT CALLBACK renamePageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);

 private:
  CShellExt(const ActivationFunctions& activation, std::unique_ptr<JournalFolder> journals);
  virtual ~CShellExt();

  struct HeldLock {
    HeldLock() { ModuleLock::lock(); }
    ~HeldLock() { ModuleLock::unlock(); }
  };
  HeldLock moduleLock;
  // One thread (the sheet's apartment) touches an object: a plain count suffices.
  LONG references = 0;
  const ActivationFunctions activation;
  // What the page's actions open: the real file system, for the page window. Before the
  // record, which points at it, so that it outlives the record.
  Win32FileSystemSource fileSystems;
  // Where Rename records each run, so that the Undo program can take it back; none when
  // null. Before the record too, for the same reason.
  std::unique_ptr<JournalFolder> journals;
  RenameState state;
  // Declared last so that it goes first: the mutex is closed, then the state (stopping
  // its update check), and last the module lock.
  UniqueKernelHandle instanceMutex;
};

}  // namespace lark
