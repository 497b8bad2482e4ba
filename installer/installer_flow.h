// The installer's process flow: the start decision, which picks the mode and
// makes the destination folder, and the extraction job. Each works on the
// one ProgressDialog, which carries the mode and the folder between them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "archive/pack_reader.h"

class ProgressDialog;

// The installer's two global objects (globals.cpp).
extern ProgressDialog theProgressDialog;
extern PackReader thePackReader;

// 1 when the system belongs to the NT family.
int IsNtPlatform();

// Makes the first free "UnpackDir<n>" folder under the Windows directory and
// writes it into the dialog's destination folder. 1 on success.
int MakeInstallFolder(ProgressDialog& dialog);

// Makes the folder beside the executable (its own path without the
// extension), or else one that the user picks, asking again until a folder
// is made or the user gives up. 1 on success.
int MakeExtractFolder(ProgressDialog& dialog);

// Makes the destination folder of the dialog's mode. 1 on success.
int ChooseFolder(ProgressDialog& dialog);

// Makes the dialog's destination folder and, on NT, holds it open without
// delete sharing (dialog.heldFolder) until LetGoOfFolder, once it has been
// checked to be a real folder and not a link put in its place. 1 on
// success; 0 when it cannot be made or held, leaving no folder behind.
int MakeHeldFolder(ProgressDialog& dialog);

// Closes the held folder, if any: before the folder itself is removed, and
// when the job is done with it.
void LetGoOfFolder(ProgressDialog& dialog);

// Checks the payload against the check record beside it, before anything
// is asked or written: 1 when it is whole, or when there is nothing to check
// it by; 0, after telling the user that the file is damaged, when not.
int CheckPayload();

// Asks the user whether to start and in which mode, makes the folder and
// shows the progress dialog. 1 when the extraction may start; 0 when the
// installer is to end (the user has been told why, if there is a why). A
// dialog without a window ends it at once, with the stop message.
int DecideStart(ProgressDialog& dialog);

// The job's work once it has its payload (an archive in memory): extracts it
// into the dialog's destination folder, in install mode runs Setup.exe from
// there, removes the files when the mode or a failure asks for it, and closes
// the dialog. Progress goes where start-up aimed thePackReader before the
// job began; the job leaves that target alone.
void UnpackPayload(ProgressDialog& dialog, const uint8_t* payload);

// The body of the worker thread; its argument is the ProgressDialog.
// Extracts the payload into the destination folder and, in install mode,
// runs the package's Setup.exe and removes the files again. Returns 0 when
// the executable carries no payload, else 1.
unsigned __stdcall UnpackJob(void* progressDialog);

// The main thread's message loop: runs until the quit message.
void RunMessageLoop();

// Waits until the job thread has ended, serving the messages that the job
// sends meanwhile, and closes the thread handle. A null handle returns at once.
void WaitForJob(HANDLE job);
