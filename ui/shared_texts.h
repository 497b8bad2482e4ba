// The texts that more than one of the installer's windows and message boxes
// shows, each kept once: every copy is carried by every download.
#pragma once

// The title of both dialogs.
extern const char kDialogCaption[];
// The title of most message boxes.
extern const char kBoxCaption[];
// Why install mode cannot go on, ending with the request to log on as an
// administrator, which the start decision also shows on its own.
extern const char kCannotUnpackForInstall[];
const char* NeedAdministratorText();
