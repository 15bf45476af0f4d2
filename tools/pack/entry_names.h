// The names an application folder may give its entries. On top of what the
// format allows (entryNameFault), Windows must be able to create the file
// under exactly that name: the builder refuses the rest before it writes
// anything, and extract refuses them in attached data from elsewhere.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

// Why `name` cannot be an entry name, or an empty string when it can: the
// format's rules, then per component a trailing dot or blank (which Windows
// drops) and the reserved device names CON, PRN, AUX, NUL, COM1-9 and LPT1-9,
// with or without an extension, and the names the launcher keeps for itself:
// a component ending in ".tavmor-partial", ".tavmor-record" at the top.
std::string entryNameProblem(const std::u16string& name);

// Whether `name` ends in ".exe" without regard to case, after at least one
// other unit.
bool hasExeSuffix(const std::u16string& name);

// Collects names and finds those that Windows would put in the same place:
// two names equal without regard to case (NTFS's simple upper-case mapping),
// a file whose name is, without regard to case, a folder on another name's
// path, or a file named like the 8.3 short alias Windows may give a long
// name beside it (LONGFI~1.TXT beside LongFileName.txt).
class EntryNameSet {
 public:
  // Returns the earlier name that clashes with `name`, or an empty string
  // (and then remembers `name`).
  std::u16string add(const std::u16string& name);

 private:
  struct Place {
    bool isFile;
    std::u16string name;
  };
  std::map<std::u16string, Place> places_;
  // Each name with its folder (upper case); the second list only those in
  // 8.3 alias form.
  std::vector<std::pair<std::u16string, std::u16string>> names_, aliasForms_;
};
