// Win32: the disk and progress helpers of the extractor's tests.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/archive/extract_test_support.h"

namespace archive_test {

namespace {

uint64_t ToUint64(const FILETIME& time) {
  return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

}  // namespace

DiskStatus StatusOf(const std::string& path) {
  DiskStatus status;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return status;
  status.exists = true;
  status.attributes = attributes;
  status.writable = !(attributes & FILE_ATTRIBUTE_READONLY);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    FILETIME creation, lastAccess, lastWrite;
    if (GetFileTime(file, &creation, &lastAccess, &lastWrite)) {
      status.creationTime = ToUint64(creation);
      status.lastAccessTime = ToUint64(lastAccess);
      status.lastWriteTime = ToUint64(lastWrite);
    }
    CloseHandle(file);
  }
  return status;
}

// Wine keeps its files on a POSIX file system, which cannot take a creation
// time.
bool CreationTimeIsKept() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}

// Progress is posted to a message-only window and collected from its queue.
struct ProgressLog::Native {
  HWND window = nullptr;
};

ProgressLog::ProgressLog() : native_(new Native) {
  native_->window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (native_->window == nullptr) ADD_FAILURE() << "cannot create the progress window";
}

ProgressLog::~ProgressLog() {
  if (native_->window != nullptr) DestroyWindow(native_->window);
}

constexpr UINT kProgressMessage = WM_USER + 10;

void ProgressLog::Attach(PackReader& reader) { reader.SetProgressTarget(native_->window, kProgressMessage); }

std::vector<std::pair<int32_t, int32_t>> ProgressLog::Collect() {
  MSG message;
  while (PeekMessageA(&message, native_->window, kProgressMessage, kProgressMessage, PM_REMOVE)) {
    received_.emplace_back(static_cast<int32_t>(message.wParam), static_cast<int32_t>(message.lParam));
  }
  return received_;
}

}  // namespace archive_test
