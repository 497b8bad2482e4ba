// POSIX: errno, in the words that matter when an entry is created.
#include <errno.h>

#include "host/system_error.h"
#include "tools/filepacker/disk_files.h"

std::string CreationFailureText(int error) {
  switch (error) {
    case EEXIST: return "a file of that name exists";
    case ENOENT: return "the folder it goes into does not exist";
    case ENOTDIR: return "a part of its path is not a folder (or is a symbolic link, which is never followed)";
    case ELOOP: return "a symbolic link stands in its path; links are never followed";
    case EACCES:
    case EPERM: return "permission denied";
    case ENOSPC: return "the disk is full";
    case EDQUOT: return "the disk quota is used up";
    case EROFS: return "the file system is read-only";
    case EISDIR: return "a folder of that name exists";
    case ENAMETOOLONG: return "the name is too long for the file system";
    case EILSEQ: return "the system cannot convert code page 932 names (its iconv has no CP932)";
    case EFBIG: return "the file is too large for the file system";
    case EIO: return "an input/output error";
    default: return SystemErrorText(error);
  }
}
