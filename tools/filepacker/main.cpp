// filepacker: packs, lists, tests and extracts the installer's archives.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "packer/archive_writer.h"
#include "tools/filepacker/commands.h"

void PrintError(const std::string& message) { std::fprintf(stderr, "filepacker: %s\n", message.c_str()); }

int main(int argc, char** argv) {
  CLI::App app{"Packs, lists, tests and extracts FILE_PACKER 1.00 archives.", "filepacker"};
  app.set_version_flag("--version", "filepacker 1.63");
  app.require_subcommand(1);

  PackRequest pack;
  CLI::App* packCommand = app.add_subcommand("pack", "Pack files, and the top-level files of folders, into ARCHIVE");
  packCommand->add_option("-b,--block-size", pack.blockSize, "Bytes per chunk (default 200000)")
      ->check(CLI::Range(1024, 4000000));
  packCommand->add_flag("-f,--force", pack.force, "Replace an existing ARCHIVE");
  packCommand->add_flag("--adaptive", pack.adaptive,
                        "Cut files into pieces of varying length (at most the block size) that code smaller; "
                        "by default every piece but a file's last is exactly the block size");
  packCommand->add_option("-j,--jobs", pack.jobs, "Encoding threads (default: one per hardware thread)")
      ->check(CLI::Range(1, kMaxJobs));
  packCommand->add_option("-o,--output", pack.archive, "The archive to write")->required();
  packCommand->add_option("paths", pack.paths, "Files and folders to pack")->required();

  std::string archive, folder;
  bool json = false;
  CLI::App* listCommand = app.add_subcommand("list", "List the entries of ARCHIVE");
  listCommand->add_flag("--json", json, "One JSON object on stdout");
  listCommand->add_option("archive", archive, "The archive")->required();

  CLI::App* testCommand = app.add_subcommand("test", "Decode every chunk of ARCHIVE without writing anything");
  testCommand->add_flag("--json", json, "One JSON object on stdout");
  testCommand->add_option("archive", archive, "The archive")->required();

  CLI::App* extractCommand =
      app.add_subcommand("extract", "Extract ARCHIVE into the existing folder DEST, as the installer does");
  extractCommand->add_flag("--json", json, "One JSON object on stdout");
  extractCommand->add_option("archive", archive, "The archive")->required();
  extractCommand->add_option("dest", folder, "An existing folder")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error);
    PrintError(std::string(error.what()) + "\nRun with --help for more information.");
    return kExitUsage;
  }

  if (packCommand->parsed()) return RunPack(pack);
  if (listCommand->parsed()) return RunList(archive, json);
  if (testCommand->parsed()) return RunTest(archive, json);
  return RunExtract(archive, folder, json);
}
