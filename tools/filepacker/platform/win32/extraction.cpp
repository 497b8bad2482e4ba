// Win32: the extractor posts its progress to a window, as in the installer.
// With a console on stderr the extraction runs on a worker thread and this
// thread turns the posted messages into a progress bar; otherwise it simply
// runs here.
#include "tools/filepacker/extraction.h"

#include <windows.h>

namespace {

constexpr UINT kProgressMessage = WM_APP + 1;
constexpr UINT kDoneMessage = WM_APP + 2;

struct Job {
  PackReader* reader;
  const uint8_t* archive;
  const char* folder;
  UnpackReport* report;
  HWND window;
  int result;
};

DWORD WINAPI ExtractOnWorker(void* parameter) {
  Job* job = static_cast<Job*>(parameter);
  job->result = job->reader->ExtractFromMemory(job->archive, job->folder, job->report);
  PostMessageA(job->window, kDoneMessage, 0, 0);
  return 0;
}

}  // namespace

int RunExtraction(PackReader& reader, const uint8_t* archive, const char* folder, UnpackReport* report) {
  HWND window = nullptr;
  if (IsConsole(stderr)) {
    window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  if (window == nullptr) {
    reader.SetProgressTarget(nullptr, 0);
    return reader.ExtractFromMemory(archive, folder, report);
  }
  Job job{&reader, archive, folder, report, window, 0};
  reader.SetProgressTarget(window, kProgressMessage);
  HANDLE thread = CreateThread(nullptr, 0, ExtractOnWorker, &job, 0, nullptr);
  if (thread == nullptr) {
    reader.SetProgressTarget(nullptr, 0);
    DestroyWindow(window);
    return reader.ExtractFromMemory(archive, folder, report);
  }
  ProgressBar bar(stderr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == window && message.message == kProgressMessage) {
      bar.Show(static_cast<int32_t>(message.wParam), static_cast<int32_t>(message.lParam));
    } else if (message.hwnd == window && message.message == kDoneMessage) {
      break;
    } else {
      DispatchMessageA(&message);
    }
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  reader.SetProgressTarget(nullptr, 0);
  // Progress posted after the worker's last message is of no use now.
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
  }
  DestroyWindow(window);
  bar.End();
  return job.result;
}
