// filepacker: packs, lists, tests and extracts the installer's archives.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <string>

#include "archive/archive_format.h"
#include "base/system_libraries.h"

#include "packer/archive_writer.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/embedded_stub.h"
#include "tools/filepacker/fault_report.h"

namespace {

// How files are packed: the same options for pack and installer.
void AddPackingOptions(CLI::App* command, PackRequest& request) {
  using namespace archive_format;
  command->add_option("-b,--block-size", request.blockSize,
                      "Bytes per chunk (default " + std::to_string(kDefaultBlockSize) + ")")
      ->check(CLI::Range(kMinBlockSize, kMaxBlockSize));
  command->add_flag("--adaptive", request.adaptive,
                    "Cut files into pieces of varying length (at most the block size) that code smaller; "
                    "by default every piece but a file's last is exactly the block size");
  command->add_option("-j,--jobs", request.jobs, "Encoding threads (default: one per hardware thread)")
      ->check(CLI::Range(1, kMaxJobs));
  command->add_flag("--dereference", request.dereference,
                    "Pack the file that a symbolic link points to, under the link's name; by default a link is "
                    "refused, naming its target");
}

// The version, and whether this build carries the installer program that
// `installer` needs: a packager's first question about an unfamiliar copy.
std::string VersionText() {
  const size_t stubBytes = EmbeddedStub().size();
  return std::string("filepacker " FILEPACKER_VERSION "\n") +
         (stubBytes == 0 ? "installer program: not carried (`filepacker installer` needs --stub)"
                         : "installer program: carried (" + std::to_string(stubBytes) + " bytes)");
}

// What running out of memory means to each command, and what helps.
std::string OutOfMemoryText(const CLI::App* command) {
  const std::string name = command->get_name();
  const std::string packing = " was stopped and no temporary file is left (packing holds about two blocks per "
                              "thread: fewer threads, -j, or a smaller block size, -b, need less)";
  if (name == "pack") return "out of memory; packing" + packing;
  if (name == "installer") return "out of memory; making the installer" + packing;
  return "out of memory; " + name + " was stopped (it reads the archive a piece at a time, but keeps a record of "
         "each entry and chunk: free some memory and run it again)";
}

}  // namespace

int main(int argc, char** argv) {
  // filepacker.exe is unpacked and run wherever a user put it, often a
  // download folder: whatever it loads from here on comes from the system.
  KeepLibrariesToTheSystemFolder();
  CLI::App app{std::string("Packs, lists, tests and extracts ") + archive_format::kMagic +
                   " archives, and makes and opens installers.",
               "filepacker"};
  app.set_version_flag("--version", VersionText(),
                       "Print the version and whether the installer program is carried, and exit");
  app.require_subcommand(1);

  PackRequest pack;
  CLI::App* packCommand = app.add_subcommand("pack", "Pack files, and the top-level files of folders, into ARCHIVE");
  AddPackingOptions(packCommand, pack);
  packCommand->add_flag("-f,--force", pack.force, "Replace an existing ARCHIVE");
  packCommand->add_option("-o,--output", pack.archive, "The archive to write")->required();
  packCommand->add_option("paths", pack.paths, "Files and folders to pack")->required();

  InstallerRequest installer;
  CLI::App* installerCommand = app.add_subcommand(
      "installer", "Make the installer INSTALLER.exe: pack files and folders as pack does, or take --archive");
  AddPackingOptions(installerCommand, installer.pack);
  installerCommand->add_flag("-f,--force", installer.pack.force, "Replace an existing INSTALLER.exe");
  installerCommand->add_flag("--json", installer.json, "One JSON object on stdout");
  installerCommand->add_flag("--allow-no-setup", installer.allowNoSetup,
                             "Allow a package without a top-level Setup.exe (the installer then only unpacks)");
  installerCommand->add_option("--stub", installer.stub,
                               "The installer program without a payload (default: the one built into filepacker)");
  CLI::Option* archiveOption = installerCommand->add_option(
      "--archive", installer.archive, "Carry this archive (or the payload of this installer) instead of packing");
  installerCommand->add_option("-o,--output", installer.output, "The installer to write")->required();
  CLI::Option* installerPaths = installerCommand->add_option("paths", installer.pack.paths, "Files and folders to pack");
  archiveOption->excludes(installerPaths)
      ->excludes(installerCommand->get_option("--block-size"))
      ->excludes(installerCommand->get_option("--adaptive"));

  std::string archive, folder;
  bool json = false;
  CLI::App* listCommand =
      app.add_subcommand("list", "List the entries of ARCHIVE (an archive or an installer); \"!\" marks names the installer could not create");
  listCommand->add_flag("--json", json, "One JSON object on stdout");
  listCommand->add_option("archive", archive, "The archive")->required();

  CLI::App* testCommand = app.add_subcommand(
      "test", "Check that the installer would extract ARCHIVE (an archive or an installer) into its install folder, writing nothing");
  testCommand->add_flag("--json", json, "One JSON object on stdout");
  testCommand->add_option("archive", archive, "The archive")->required();

  CLI::App* extractCommand =
      app.add_subcommand("extract", "Extract ARCHIVE (an archive or an installer) into the existing folder DEST, as the installer does");
  extractCommand->add_flag("--json", json, "One JSON object on stdout");
  extractCommand->add_option("archive", archive, "The archive")->required();
  extractCommand->add_option("dest", folder, "An existing folder")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error);
    PrintError(error.what());
    std::fputs("Run with --help for more information.\n", stderr);
    return kExitUsage;
  }

  // Running out of memory unwinds to here; on the way every temporary file
  // is removed.
  CLI::App* command = app.get_subcommands().front();
  try {
    if (packCommand->parsed()) return RunPack(pack);
    if (installerCommand->parsed()) return RunInstaller(installer);
    if (listCommand->parsed()) return RunList(archive, json);
    if (testCommand->parsed()) return RunTest(archive, json);
    return RunExtract(archive, folder, json);
  } catch (const std::bad_alloc&) {
    return ReportFailure(command == installerCommand ? installer.json : json, kExitFailed, RefusalCode::kOutOfMemory,
                         OutOfMemoryText(command));
  }
}
