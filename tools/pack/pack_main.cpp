// tavmor-pack: turns an application folder into a one-file launcher, and
// lists, verifies and extracts existing ones.
#include <filesystem>
#include <iostream>
#include <new>

#include "commands.h"
#include "errors.h"
#include "host_system.h"

namespace {

const char kUsage[] =
    "usage: tavmor-pack COMMAND [options]\n"
    "\n"
    "  build APP_DIR -o OUT.exe   make a launcher for the application in APP_DIR\n"
    "  list FILE [--json]         show the entries of a launcher or attached-data file\n"
    "  verify FILE                decode everything and check every checksum\n"
    "  extract FILE DIR           write the entries below DIR\n"
    "  notices                    the third-party notices to ship with every launcher\n"
    "\n"
    "  --help                     this text; COMMAND --help shows a command's options\n"
    "  --version                  the tool's version\n"
    "\n"
    "Exit status: 0 success, 1 a problem with the input or options, 2 an internal failure.\n";

int dispatch(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw UserError("no command given (see --help)");
  const std::string& command = arguments[0];
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "--version") {
    std::cout << "tavmor-pack " TAVMOR_PACK_VERSION "\n";
    return 0;
  }
  if (command == "build") return runBuild(rest);
  if (command == "list") return runList(rest);
  if (command == "verify") return runVerify(rest);
  if (command == "extract") return runExtract(rest);
  if (command == "notices") return runNotices(rest);
  throw UserError("unknown command " + command + " (see --help)");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return dispatch(hostArguments(argc, argv));
  } catch (const UserError& error) {
    std::cerr << "tavmor-pack: " << error.what() << "\n";
    return 1;
  } catch (const std::filesystem::filesystem_error& error) {
    // The file system refused something about a file the user named.
    std::cerr << "tavmor-pack: " << shownPath(error.path1()) << ": " << error.code().message()
              << "\n";
    return 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "tavmor-pack: internal error: out of memory\n";
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "tavmor-pack: internal error: " << error.what() << "\n";
    return 2;
  }
}
