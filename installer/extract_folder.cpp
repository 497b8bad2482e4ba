#include "installer/installer_flow.h"  // windows.h first: commdlg.h needs it

#include <commdlg.h>

#include <cstring>

#include "base/platform/win32/system_libraries.h"
#include "installer/shift_jis_path.h"
#include "ui/progress_dialog.h"
#include "ui/shared_texts.h"

namespace {

const char kRetryFormat[] =
    "既に存在しているか、アクセス権がないなどの理由で、\n解凍先ディレクトリ [ %s ] を\n作成できませんん。\n"
    "他のディレクトリを選択してください。";
const char kSaveAsTitle[] = "解凍先ディレクトリの選択[ Kormit Ver 1.63 ]";
// One filter with an empty description and the pattern "*.*", then the end
// of the list: 00 2A 2E 2A 00 00.
const char kAnyFileFilter[] = "\0*.*\0";

// The Save-As dialog, from the common dialogs loaded from the system folder
// (not imported, so that the loader never looks for them beside the
// program). 0, as for a cancel, when they cannot be loaded.
BOOL ShowSaveAs(OPENFILENAMEA& saveAs) {
  typedef BOOL(WINAPI * GetSaveFileNameACall)(OPENFILENAMEA*);
  const auto show = reinterpret_cast<GetSaveFileNameACall>(
      reinterpret_cast<void*>(SystemLibraryFunction("comdlg32.dll", "GetSaveFileNameA")));
  return show != nullptr && show(&saveAs);
}

// The executable's full path in the ANSI code page (932 on a Japanese
// Windows), or an empty one when it has none there that names the same
// file. The ANSI path that NT would give replaces a character that the
// code page cannot hold by its best fit: a yen sign (U+00A5) by 0x5C, a
// backslash, so "Kormit¥..¥x.exe" would make the folder elsewhere; "Ü" by
// "U", another folder that someone else may have made. So NT's path is read
// as it is held, in UTF-16, and taken only when it converts exactly and the
// ANSI functions, which get it, read it back the same. The ANSI code page,
// not 932 itself: the folder is made by the ANSI functions, which read its
// bytes in that code page, and a Western Windows then keeps the folder
// beside a path such as "José\Kormit.exe" as it always did. Windows 98 and
// Me hold paths in their code page already.
void ReadOwnPath(char* path) {
  ZeroMemory(path, kPathBufferSize);
  if (!IsNtPlatform()) {
    const DWORD length = GetModuleFileNameA(nullptr, path, kPathBufferSize);
    // A cut-off module path names some other place.
    if (length == 0 || length >= static_cast<DWORD>(kPathBufferSize)) path[0] = '\0';
    return;
  }
  WCHAR wide[kPathBufferSize];
  WCHAR readBack[kPathBufferSize];
  const DWORD length = GetModuleFileNameW(nullptr, wide, kPathBufferSize);
  BOOL lossy = FALSE;
  if (length == 0 || length >= static_cast<DWORD>(kPathBufferSize) ||
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, path, kPathBufferSize, nullptr, &lossy) == 0 ||
      lossy ||
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, readBack, kPathBufferSize) !=
          static_cast<int>(length) + 1 ||
      std::memcmp(readBack, wide, (length + 1) * sizeof(WCHAR)) != 0) {
    ZeroMemory(path, kPathBufferSize);
  }
}

}  // namespace

int MakeExtractFolder(ProgressDialog& dialog) {
  char* folder = dialog.destinationFolder;
  // Without a path of its own the user picks the folder, as after a failed
  // creation.
  ReadOwnPath(folder);
  CutExtension(folder);
  if (folder[0] != '\0' && MakeHeldFolder(dialog)) return 1;

  char chosen[kPathBufferSize] = "Kormit";  // kept between rounds
  OPENFILENAMEA saveAs;
  ZeroMemory(&saveAs, sizeof saveAs);
  saveAs.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // 76: the form every system knows
  saveAs.hInstance = GetModuleHandleA(nullptr);
  saveAs.lpstrFilter = kAnyFileFilter;
  saveAs.lpstrFile = chosen;
  saveAs.nMaxFile = kPathBufferSize;
  saveAs.lpstrTitle = kSaveAsTitle;
  saveAs.Flags = OFN_HIDEREADONLY;

  for (;;) {
    char message[sizeof kRetryFormat + kPathBufferSize];
    wsprintfA(message, kRetryFormat, folder);
    if (MessageBoxA(dialog.window, message, kBoxCaption, MB_OKCANCEL) != IDOK) return 0;
    if (!ShowSaveAs(saveAs)) return 0;
    lstrcpynA(folder, chosen, kPathBufferSize);
    if (MakeHeldFolder(dialog)) return 1;
  }
}
