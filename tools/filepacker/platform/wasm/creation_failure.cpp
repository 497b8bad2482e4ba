// WebAssembly: why the files in memory (tools/web/memory_files.cpp) refuse
// an entry, in the words the command gives for the same errno on POSIX, so
// that the page and the command report an archive alike.
#include <errno.h>

#include "host/system_error.h"
#include "tools/filepacker/disk_files.h"

std::string CreationFailureText(int error) {
  switch (error) {
    case EEXIST: return "a file of that name exists";
    case ENOENT: return "the folder it goes into does not exist";
    case ENAMETOOLONG: return "the name is too long for the file system";
    case EILSEQ: return "the system cannot convert code page 932 names (its iconv has no CP932)";
    default: return SystemErrorText(error);
  }
}
