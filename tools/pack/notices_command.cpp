// tavmor-pack notices: prints the notices of the third-party code that every
// launcher this tool writes contains, for a packager to ship beside the
// application. The text is the last part of THIRD-PARTY-NOTICES.txt as
// scripts/make-notices wrote it when the tool was built, so it names what
// this very stub holds.
#include <iostream>
#include <stdexcept>
#include <string_view>

#include "commands.h"
#include "errors.h"
#include "launcher_stub.h"

namespace {

const char kNoticesUsage[] =
    "usage: tavmor-pack notices\n"
    "\n"
    "Prints the notices of the third-party code in every launcher this tool\n"
    "writes (zstd's decoder, the checksum code, parts of the Windows runtime),\n"
    "with their licences. Ship this text beside the application.\n";

// The first line of the launcher's part (scripts/make-notices writes it).
constexpr std::string_view kLauncherHeading =
    "Third-party code in every launcher written by tavmor-pack\n";

}  // namespace

int runNotices(const std::vector<std::string>& arguments) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::cout << kNoticesUsage;
    return 0;
  }
  if (!arguments.empty()) throw UserError("notices takes no arguments (see notices --help)");
  const EmbeddedFile file = thirdPartyNotices();
  const std::string_view all(reinterpret_cast<const char*>(file.data), file.size);
  const size_t start = all.find(std::string("\n") + std::string(kLauncherHeading));
  if (start == std::string_view::npos) {
    throw std::logic_error("the notices this tool carries have no launcher part");
  }
  std::cout << all.substr(start + 1);
  return 0;
}
