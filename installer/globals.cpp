// The installer's two global objects. Both live in this one file so that
// they are constructed in this order: the dialog, then the extractor (whose
// destructor runs at process exit).
#include "installer/installer_flow.h"
#include "ui/progress_dialog.h"

ProgressDialog theProgressDialog;
PackReader thePackReader;
